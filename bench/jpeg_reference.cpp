// The native side of the run benchmark: libjpeg-turbo's encoder (tjCompress2: quality 60, 4:2:0, the
// accurate integer DCT, output buffer allocated beforehand) on the very pixels run_bench captured, and
// our encoder on them natively too. Prints our JPEG step as a ratio to libjpeg-turbo's time, and the file
// sizes side by side.
//
//   jpeg_reference FOLDER [repetitions]     (FOLDER holds run_bench's ours.tsv and capture-*.bmp)

#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ijl/encoder.h"

namespace {

using Clock = std::chrono::steady_clock;

double MedianMs(int repetitions, const std::function<void()>& work) {
  std::vector<double> times;
  work();  // warm caches and pages
  for (int i = 0; i < repetitions; ++i) {
    const auto start = Clock::now();
    work();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

struct Bmp {
  int width = 0, height = 0;
  size_t stride = 0;
  std::vector<unsigned char> bits;  // bottom-up, as the DIB held them
};

bool ReadBmp(const std::string& path, Bmp& bmp) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.size() < 54 || data[0] != 'B' || data[1] != 'M') return false;
  auto u32 = [&](size_t at) { return data[at] | data[at + 1] << 8 | data[at + 2] << 16 | uint32_t(data[at + 3]) << 24; };
  const uint32_t offset = u32(10);
  bmp.width = static_cast<int>(u32(18));
  bmp.height = static_cast<int>(u32(22));
  if ((data[28] | data[29] << 8) != 24 || bmp.width <= 0 || bmp.height <= 0) return false;
  bmp.stride = (static_cast<size_t>(bmp.width) * 3 + 3) & ~size_t{3};
  if (data.size() < offset + bmp.stride * bmp.height) return false;
  bmp.bits.assign(data.begin() + offset, data.begin() + offset + bmp.stride * bmp.height);
  return true;
}

class MemorySink final : public ijl::Sink {
 public:
  bool Put(const uint8_t* data, size_t size) override {
    bytes.insert(bytes.end(), data, data + size);
    return true;
  }
  std::vector<uint8_t> bytes;
};

class FileSink final : public ijl::Sink {
 public:
  explicit FileSink(std::FILE* file) : file_(file) {}
  bool Put(const uint8_t* data, size_t size) override { return std::fwrite(data, 1, size, file_) == size; }

 private:
  std::FILE* file_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: jpeg_reference FOLDER [repetitions]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
  std::ifstream table(folder + "/ours.tsv");
  if (!table) {
    std::fprintf(stderr, "no %s/ours.tsv: run run_bench first\n", folder.c_str());
    return 2;
  }

  std::printf("JPEG at quality 60: our step against libjpeg-turbo on the same pixels (median of %d, ms)\n\n",
              repetitions);
  std::printf("%-10s %11s %11s %7s | %10s %10s %7s | %9s %9s %6s\n", "size", "ours/Wine", "turbo+file", "ratio",
              "ours enc", "turbo enc", "ratio", "ours B", "turbo B", "size");
  std::string line;
  bool all_met = true;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string size;
    double ours_file_ms = 0, ours_encode_wine_ms = 0;
    size_t ours_bytes = 0;
    fields >> size >> ours_file_ms >> ours_encode_wine_ms >> ours_bytes;
    Bmp bmp;
    if (!ReadBmp(folder + "/capture-" + size + ".bmp", bmp)) {
      std::fprintf(stderr, "cannot read the capture of %s\n", size.c_str());
      return 1;
    }

    tjhandle handle = tjInitCompress();
    unsigned long capacity = tjBufSize(bmp.width, bmp.height, TJSAMP_420);
    unsigned char* jpeg = tjAlloc(static_cast<int>(capacity));
    unsigned long turbo_bytes = 0;
    auto turbo = [&] {
      turbo_bytes = capacity;
      if (tjCompress2(handle, bmp.bits.data(), bmp.width, static_cast<int>(bmp.stride), bmp.height, TJPF_BGR, &jpeg,
                      &turbo_bytes, TJSAMP_420, 60, TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC) != 0) {
        std::fprintf(stderr, "libjpeg-turbo: %s\n", tjGetErrorStr2(handle));
        std::exit(1);
      }
    };
    const std::string turbo_path = folder + "/turbo-" + size + ".jpg";
    const double turbo_ms = MedianMs(repetitions, turbo);
    const double turbo_file_ms = MedianMs(repetitions, [&] {
      turbo();
      std::FILE* out = std::fopen(turbo_path.c_str(), "wb");
      std::fwrite(jpeg, 1, turbo_bytes, out);
      std::fclose(out);
    });

    const ijl::Pixels pixels{bmp.bits.data() + (bmp.height - 1) * bmp.stride, -static_cast<ptrdiff_t>(bmp.stride),
                             bmp.width, bmp.height};
    MemorySink memory;
    memory.bytes.reserve(capacity);
    const double ours_ms = MedianMs(repetitions, [&] {
      memory.bytes.clear();
      ijl::Encode(pixels, 60, memory);
    });
    const std::string ours_path = folder + "/ours-" + size + ".jpg";
    std::FILE* out = std::fopen(ours_path.c_str(), "wb");
    FileSink file(out);
    ijl::Encode(pixels, 60, file);
    std::fclose(out);
    tjFree(jpeg);
    tjDestroy(handle);

    const double ratio = ours_file_ms / turbo_file_ms;
    const double size_ratio = static_cast<double>(ours_bytes) / static_cast<double>(turbo_bytes);
    all_met = all_met && ratio <= 1.25 && size_ratio <= 1.10;
    std::printf("%-10s %11.2f %11.2f %7.2f | %10.2f %10.2f %7.2f | %9zu %9lu %6.3f\n", size.c_str(), ours_file_ms,
                turbo_file_ms, ratio, ours_ms, turbo_ms, ours_ms / turbo_ms, ours_bytes, turbo_bytes, size_ratio);
  }
  std::printf("\nours/Wine: WriteJpegFile in the Windows build under Wine (temporary file, encoding, moving into\n"
              "place); turbo+file: tjCompress2 and writing the file natively. enc: the encoders alone, natively,\n"
              "into memory. Goals: time ratio at most 1.25, size ratio at most 1.10: %s\n",
              all_met ? "met for every size" : "NOT met for every size");
  return 0;
}

// The native side of the JPEG comparison: libjpeg-turbo's encoder (tjCompress2: quality 60, 4:2:0, the
// accurate integer DCT, output buffer allocated beforehand), with and without writing the file, and our
// encoder natively at its best vector level and at SSE2, on the very pixels run_bench captured, taking
// turns repetition by repetition. Each call is one round: it reads our figures from Wine
// (ours-jpeg.tsv, just written by run_bench --jpeg) and adds a line per size to rounds.tsv. --summary
// prints the medians over the rounds: our JPEG step and our encoder as ratios to libjpeg-turbo's times,
// each beside its goal, and the file sizes side by side.
//
//   jpeg_reference FOLDER [repetitions]
//   jpeg_reference --summary FOLDER

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

#include "median.h"
#include "jpeg/encoder/encoder.h"
#include "platform/runtime/cpu.h"

namespace {

using Clock = std::chrono::steady_clock;

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

class FileSink final : public jpeg::Sink {
 public:
  explicit FileSink(std::FILE* file) : file_(file) {}
  bool Put(const uint8_t* data, size_t size) override { return std::fwrite(data, 1, size, file_) == size; }

 private:
  std::FILE* file_;
};

struct Round {
  double ours_file = 0, ours_wine_encode = 0, turbo_file = 0, turbo_encode = 0, ours_native_encode = 0;
  double ours_native_sse2 = 0;
  size_t ours_bytes = 0, turbo_bytes = 0;
  std::string wine_level;
};

constexpr double kStepGoal = 1.25, kEncoderGoal = 0.70, kSizeGoal = 1.10;

const char* Verdict(bool met) { return met ? "met" : "NOT met"; }

int Summary(const std::string& folder) {
  std::ifstream in(folder + "/rounds.tsv");
  std::vector<std::string> sizes;
  std::vector<std::vector<Round>> rounds;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string size;
    Round r;
    fields >> size >> r.ours_file >> r.ours_wine_encode >> r.ours_bytes >> r.turbo_file >> r.turbo_encode >>
        r.ours_native_encode >> r.turbo_bytes >> r.ours_native_sse2 >> r.wine_level;
    auto at = std::find(sizes.begin(), sizes.end(), size);
    if (at == sizes.end()) {
      sizes.push_back(size);
      rounds.emplace_back();
      at = sizes.end() - 1;
    }
    rounds[at - sizes.begin()].push_back(r);
  }
  if (sizes.empty()) {
    std::fprintf(stderr, "no rounds in %s/rounds.tsv\n", folder.c_str());
    return 1;
  }
  const char* native_level = rt::SimdLevelName(jpeg::EncodeLevel(rt::BestSimdLevel()));
  std::printf("JPEG at quality 60, our step against libjpeg-turbo on the same pixels\n"
              "(medians over %zu rounds, each the median of its repetitions; milliseconds)\n"
              "Our encoder: %s under Wine, %s natively (and SSE2 natively for comparison); libjpeg-turbo: its\n"
              "own choice (AVX2 where the processor has it). One thread on both sides.\n\n",
              rounds.front().size(), rounds.front().front().wine_level.c_str(), native_level);
  std::printf("%-10s %9s %10s %6s %7s | %8s %8s %9s %6s %6s %7s | %8s %8s %6s %7s\n", "size", "ours/Wine",
              "turbo+file", "ratio", "goal", "ours enc", "SSE2 enc", "turbo enc", "ratio", "SSE2", "goal", "ours B",
              "turbo B", "size", "goal");
  bool step_met = true, encoder_met = true, size_met = true;
  for (size_t i = 0; i < sizes.size(); ++i) {
    std::vector<double> file, turbo_file, ratio, enc, sse2, turbo_enc, enc_ratio, sse2_ratio;
    for (const Round& r : rounds[i]) {
      file.push_back(r.ours_file);
      turbo_file.push_back(r.turbo_file);
      ratio.push_back(r.ours_file / r.turbo_file);
      enc.push_back(r.ours_native_encode);
      sse2.push_back(r.ours_native_sse2);
      turbo_enc.push_back(r.turbo_encode);
      enc_ratio.push_back(r.ours_native_encode / r.turbo_encode);
      sse2_ratio.push_back(r.ours_native_sse2 / r.turbo_encode);
    }
    const Round& last = rounds[i].back();
    const double size_ratio = static_cast<double>(last.ours_bytes) / static_cast<double>(last.turbo_bytes);
    step_met = step_met && Median(ratio) <= kStepGoal;
    encoder_met = encoder_met && Median(enc_ratio) <= kEncoderGoal;
    size_met = size_met && size_ratio <= kSizeGoal;
    std::printf("%-10s %9.2f %10.2f %6.2f <= %4.2f | %8.2f %8.2f %9.2f %6.2f %6.2f <= %4.2f | %8zu %8zu %6.3f <= %4.2f\n",
                sizes[i].c_str(), Median(file), Median(turbo_file), Median(ratio), kStepGoal, Median(enc),
                Median(sse2), Median(turbo_enc), Median(enc_ratio), Median(sse2_ratio), kEncoderGoal, last.ours_bytes,
                last.turbo_bytes, size_ratio, kSizeGoal);
  }
  std::printf("\nours/Wine: the run's JPEG step (WriteNewJpegFile: temporary file, encoding, moving into place\n"
              "under a free name) in the Windows build under Wine. turbo+file: tjCompress2 and writing the file,\n"
              "natively. enc: the encoders alone, natively, into memory, taking turns. ratio: the median of the\n"
              "rounds' ratios; SSE2: the same for our encoder held to SSE2.\n"
              "Goals: the step at most %.2f of libjpeg-turbo's with its file: %s for every size; the encoder at\n"
              "most %.2f of tjCompress2: %s for every size; files at most %.2f of its size: %s for every size.\n",
              kStepGoal, Verdict(step_met), kEncoderGoal, Verdict(encoder_met), kSizeGoal, Verdict(size_met));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::string(argv[1]) == "--summary") return Summary(argv[2]);
  if (argc < 2) {
    std::fprintf(stderr, "usage: jpeg_reference FOLDER [repetitions] | --summary FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
  std::ifstream table(folder + "/ours-jpeg.tsv");
  if (!table) {
    std::fprintf(stderr, "no %s/ours-jpeg.tsv: run run_bench --jpeg first\n", folder.c_str());
    return 2;
  }
  std::FILE* rounds = std::fopen((folder + "/rounds.tsv").c_str(), "a");
  if (!rounds) return 1;

  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string size;
    Round r;
    fields >> size >> r.ours_file >> r.ours_wine_encode >> r.ours_bytes >> r.wine_level;
    if (r.wine_level.empty()) r.wine_level.assign(1, '?');
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
    auto turbo_file = [&] {
      turbo();
      std::FILE* out = std::fopen(turbo_path.c_str(), "wb");
      std::fwrite(jpeg, 1, turbo_bytes, out);
      std::fclose(out);
    };
    const jpeg::Pixels pixels{bmp.bits.data() + (bmp.height - 1) * bmp.stride, -static_cast<ptrdiff_t>(bmp.stride),
                             bmp.width, bmp.height};
    jpeg::MemorySink memory;
    memory.bytes.reserve(capacity);
    auto ours = [&] {
      memory.bytes.clear();
      jpeg::Encode(pixels, 60, memory);
    };
    auto ours_sse2 = [&] {
      memory.bytes.clear();
      jpeg::Encode(pixels, 60, memory, rt::SimdLevel::kSse2);
    };

    // Taking turns, so that a busy moment of the machine falls on both.
    std::vector<double> turbo_ms, turbo_file_ms, ours_ms, sse2_ms;
    auto time = [](const std::function<void()>& work) {
      const auto start = Clock::now();
      work();
      return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    turbo_file();
    ours();
    for (int i = 0; i < repetitions; ++i) {
      turbo_ms.push_back(time(turbo));
      turbo_file_ms.push_back(time(turbo_file));
      ours_ms.push_back(time(ours));
      sse2_ms.push_back(time(ours_sse2));
    }
    const std::string ours_path = folder + "/ours-" + size + ".jpg";
    std::FILE* out = std::fopen(ours_path.c_str(), "wb");
    FileSink file(out);
    jpeg::Encode(pixels, 60, file);
    std::fclose(out);
    tjFree(jpeg);
    tjDestroy(handle);
    std::fprintf(rounds, "%s\t%.3f\t%.3f\t%zu\t%.3f\t%.3f\t%.3f\t%lu\t%.3f\t%s\n", size.c_str(), r.ours_file,
                 r.ours_wine_encode, r.ours_bytes, Median(turbo_file_ms), Median(turbo_ms), Median(ours_ms), turbo_bytes,
                 Median(sse2_ms), r.wine_level.c_str());
  }
  std::fclose(rounds);
  return 0;
}

// JPEG encoder fuzzer: any size up to 200x200, quality, row order and pixels, in memory that ends
// exactly where the last row ends (no padding), so that a read past the picture is caught. Every file
// must decode, with libjpeg-turbo, to a picture of the same size, and every vector level this processor
// runs must write the same bytes.

#include <turbojpeg.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "jpeg/encoder/encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int width = 1 + data[0] % 200, height = 1 + data[1] % 200, quality = data[2] % 101;
  const bool bottom_up = data[3] & 1;
  data += 4;
  size -= 4;
  const size_t stride = static_cast<size_t>(width) * 3;
  std::vector<uint8_t> pixels(stride * height);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = size ? data[i % size] : static_cast<uint8_t>(i);

  jpeg::Pixels picture{pixels.data(), static_cast<ptrdiff_t>(stride), width, height};
  if (bottom_up) picture = {pixels.data() + stride * (height - 1), -static_cast<ptrdiff_t>(stride), width, height};
  jpeg::MemorySink sink;
  if (jpeg::Encode(picture, quality, sink, rt::SimdLevel::kSse2) != jpeg::EncodeResult::kOk) __builtin_trap();
  for (rt::SimdLevel level : {rt::SimdLevel::kAvx2}) {
    if (jpeg::EncodeLevel(level) != level) continue;
    jpeg::MemorySink wider;
    if (jpeg::Encode(picture, quality, wider, level) != jpeg::EncodeResult::kOk || wider.bytes != sink.bytes)
      __builtin_trap();
  }

  tjhandle handle = tjInitDecompress();
  int w = 0, h = 0, subsampling = 0, colourspace = 0;
  std::vector<uint8_t> decoded(stride * height);
  if (tjDecompressHeader3(handle, sink.bytes.data(), sink.bytes.size(), &w, &h, &subsampling, &colourspace) != 0 ||
      w != width || h != height ||
      tjDecompress2(handle, sink.bytes.data(), sink.bytes.size(), decoded.data(), width, 0, height, TJPF_BGR, 0) != 0)
    __builtin_trap();
  tjDestroy(handle);
  return 0;
}

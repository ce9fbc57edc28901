// Resampling fuzzer: sizes and pixels from the input; the fast kernel must equal the literal
// arithmetic byte for byte, raise the same error for the same input, and stay inside its buffers.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/kernels.h"
#include "kernels/reference_resample.h"

namespace {

struct Owned {
  Owned(int32_t w, int32_t h) : stride((w * 3 + 3) & ~3), bytes(static_cast<size_t>(stride) * static_cast<size_t>(h)) {
    image = {bytes.empty() ? nullptr : bytes.data(), w, h, stride};
  }
  int32_t stride;
  std::vector<uint8_t> bytes;
  pixels::Image image;
};

long Run(void (*resample)(const pixels::Image&, const pixels::Image&), const pixels::Image& source,
         const pixels::Image& target) {
  try {
    resample(source, target);
  } catch (const rt::Error& e) {
    return e.number();
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  // Small sizes most of the time, now and then a long row or a tall column.
  const int32_t w = 1 + data[0] % 40, h = 1 + data[1] % 40;
  const int32_t new_w = 1 + (data[2] & 0x80 ? (data[2] & 0x7F) * 37 : data[2] % 64);
  const int32_t new_h = 1 + (data[3] & 0x80 ? (data[3] & 0x7F) * 29 : data[3] % 64);
  Owned source(w, h), fast(new_w, new_h), literal(new_w, new_h);
  for (size_t i = 0; i < source.bytes.size(); ++i) source.bytes[i] = size > 4 ? data[4 + i % (size - 4)] : 0;
  const long fast_error = Run(pixels::ResampleBilinear, source.image, fast.image);
  const long literal_error = Run(reference::ResampleBilinear, source.image, literal.image);
  if (fast_error != literal_error) __builtin_trap();
  if (fast_error == 0 && fast.bytes != literal.bytes) __builtin_trap();
  return 0;
}

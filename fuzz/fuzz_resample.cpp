// Resampling fuzzer: sizes and pixels from the input; the fast kernel, at every vector level this
// processor has, must equal the literal arithmetic byte for byte, raise the same error for the same
// input, and stay inside its buffers.

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

template <typename Resample>
long Run(Resample resample, const pixels::Image& source, const pixels::Image& target) {
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
  // A long row or a tall column, not both: a picture of millions of pixels makes a run take seconds.
  const bool tall = (data[3] & 0x80) && !(data[2] & 0x80);
  const int32_t new_h = 1 + (tall ? (data[3] & 0x7F) * 29 : data[3] % 64);
  Owned source(w, h), literal(new_w, new_h);
  for (size_t i = 0; i < source.bytes.size(); ++i) source.bytes[i] = size > 4 ? data[4 + i % (size - 4)] : 0;
  const long literal_error = Run(reference::ResampleBilinear, source.image, literal.image);
  for (rt::SimdLevel level : {rt::SimdLevel::kSse2, rt::SimdLevel::kAvx2, rt::SimdLevel::kAvx512}) {
    if (pixels::ResampleLevel(level) != level) continue;
    Owned fast(new_w, new_h);
    const long fast_error = Run(
        [level](const pixels::Image& from, const pixels::Image& to) { pixels::ResampleBilinear(from, to, level); },
        source.image, fast.image);
    if (fast_error != literal_error) __builtin_trap();
    if (fast_error == 0 && fast.bytes != literal.bytes) __builtin_trap();
  }
  return 0;
}

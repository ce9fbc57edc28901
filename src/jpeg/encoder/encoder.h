#pragma once
// A baseline JPEG encoder for 24-bit blue-green-red pixels: JFIF, YCbCr with 2x2 chroma subsampling,
// the quantisation tables of the JPEG standard scaled for a quality of 1..100 as the reference library
// scales them, and the standard Huffman tables. Free of Windows, so it also builds natively for the
// sanitizers, the fuzzer and the comparison with other encoders.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/runtime/cpu.h"

namespace jpeg {

// Pixels of three bytes (blue, green, red). `top_row` is the picture's top row; each next row down lies
// `row_step` bytes further on (negative for memory stored bottom-up).
struct Pixels {
  const uint8_t* top_row = nullptr;
  ptrdiff_t row_step = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// Where the encoded bytes go, in order.
class Sink {
 public:
  // False stops the encoding with EncodeResult::kSinkFailed.
  virtual bool Put(const uint8_t* data, size_t size) = 0;

 protected:
  ~Sink() = default;
};

// Collects the encoded bytes in memory.
class MemorySink final : public Sink {
 public:
  bool Put(const uint8_t* data, size_t size) override {
    bytes.insert(bytes.end(), data, data + size);
    return true;
  }
  std::vector<uint8_t> bytes;
};

enum class EncodeResult {
  kOk,
  kBadImage,     // no pixels, or a size outside 1..65535
  kBadQuality,   // outside 0..100 (0 is taken as 1)
  kOutOfMemory,
  kSinkFailed,
};

// Encodes the whole picture into `sink`. Quality 0 is taken as 1, as the reference library takes it.
// The vector level is the widest this processor runs.
EncodeResult Encode(const Pixels& pixels, int quality, Sink& sink);

// The same at the widest level up to `level` that the encoder has and the processor runs. Every level
// writes the same bytes.
EncodeResult Encode(const Pixels& pixels, int quality, Sink& sink, rt::SimdLevel level);

// The level Encode uses when asked for `wanted`: at most AVX2, and no more than the processor has.
rt::SimdLevel EncodeLevel(rt::SimdLevel wanted);

// The pieces, for tests.
namespace detail {

// The 8x8 forward DCT of level-shifted samples (sample - 128), scaled by 8 (the orthonormal transform
// times 8), in the transposed order: out[u * 8 + v] is horizontal frequency u, vertical frequency v.
void ForwardDct(const uint8_t* samples, ptrdiff_t stride, int16_t out[64]);

// round(|c| / divisor) with the sign of c, halves away from zero, for the transposed coefficients.
void Quantise(const int16_t in[64], const uint16_t divisors[64], int16_t out[64]);

// The quantisation table (natural order, as written to the file) for a quality of 1..100.
void ScaledTable(const uint8_t base[64], int quality, uint8_t out[64]);
extern const uint8_t kLuminanceBase[64];
extern const uint8_t kChrominanceBase[64];
// Natural index of each zigzag position.
extern const uint8_t kZigzag[64];

}  // namespace detail
}  // namespace jpeg

// Colour conversion at the SSE2 level: two rows of blue-green-red pixels to luminance, and to the
// chrominance of each 2x2 square, with the JFIF weights in fixed point.
//
// Luminance takes 15-bit weights per pixel, chrominance 13-bit weights on the sums of the four pixels
// of a 2x2 square (so the average is taken before the conversion, which is the same linear map).
// Pixels are handled four to a vector, one 32-bit lane each (the arithmetic is transform.h's);
// the last pixels of a row, one square at a time, in plain integers.

#include <emmintrin.h>

#include <cstring>

#include "jpeg/encoder/encoder.h"
#include "jpeg/encoder/kernels.h"
#include "jpeg/encoder/transform.h"
#include "platform/lanes/sse2.h"

namespace jpeg::detail {
namespace {

using L = lanes::Sse2;

inline __m128i Load32(const uint8_t* p) {
  int32_t word;
  std::memcpy(&word, p, 4);
  return _mm_cvtsi32_si128(word);
}

inline void Store4(uint8_t* out, __m128i bytes) {
  const int32_t word = _mm_cvtsi128_si32(bytes);
  std::memcpy(out, &word, 4);
}

inline uint8_t Clamp255(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

inline uint8_t LumaOf(const uint8_t* p) { return static_cast<uint8_t>((kYB * p[0] + kYG * p[1] + kYR * p[2] + (1 << 14)) >> 15); }

// Four pixels (12 bytes from p; 13 are read) as four 32-bit lanes: blue | green << 8 | red << 16, the
// top byte the next pixel's blue. Four loads and three unpacks: loads are cheaper than byte shifts.
inline __m128i FourPixels(const uint8_t* p) {
  const __m128i p01 = _mm_unpacklo_epi32(Load32(p), Load32(p + 3));
  const __m128i p23 = _mm_unpacklo_epi32(Load32(p + 6), Load32(p + 9));
  return _mm_unpacklo_epi64(p01, p23);
}

}  // namespace

void ConvertRowPairSse2(const uint8_t* row0, const uint8_t* row1, int32_t count, uint8_t* y0, uint8_t* y1, uint8_t* cb,
                    uint8_t* cr) {
  static const ColourWeights<L> k;
  const __m128i low_mask = _mm_set1_epi32(0x00FF00FF);  // blue and red; green shifted down apart
  int32_t x = 0;
  // Eight pixels of each row at a time, while the loads (up to the ninth pixel's blue) stay within the row.
  for (; x + 9 <= count; x += 8) {
    const uint8_t* a = row0 + 3 * x;
    const uint8_t* b = row1 + 3 * x;
    const __m128i a0 = FourPixels(a), a1 = FourPixels(a + 12);
    const __m128i b0 = FourPixels(b), b1 = FourPixels(b + 12);
    const __m128i a0_br = _mm_and_si128(a0, low_mask), a0_g = _mm_srli_epi16(a0, 8);
    const __m128i a1_br = _mm_and_si128(a1, low_mask), a1_g = _mm_srli_epi16(a1, 8);
    const __m128i b0_br = _mm_and_si128(b0, low_mask), b0_g = _mm_srli_epi16(b0, 8);
    const __m128i b1_br = _mm_and_si128(b1, low_mask), b1_g = _mm_srli_epi16(b1, 8);
    const __m128i ya = _mm_packs_epi32(Luma<L>(a0_br, a0_g, k), Luma<L>(a1_br, a1_g, k));
    const __m128i yb = _mm_packs_epi32(Luma<L>(b0_br, b0_g, k), Luma<L>(b1_br, b1_g, k));
    const __m128i ys = _mm_packus_epi16(ya, yb);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(y0 + x), ys);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(y1 + x), _mm_srli_si128(ys, 8));

    // Vertical sums, then each pair of columns (lanes 0+1 and 2+3, results in lanes 0 and 2).
    const __m128i br0 = SquareSums<L>(a0_br, b0_br), g0 = SquareSums<L>(a0_g, b0_g);
    const __m128i br1 = SquareSums<L>(a1_br, b1_br), g1 = SquareSums<L>(a1_g, b1_g);
    const __m128i u0 = _mm_shuffle_epi32(Chroma<L>(br0, g0, k.cb_br, k.cb_g, k), _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i u1 = _mm_shuffle_epi32(Chroma<L>(br1, g1, k.cb_br, k.cb_g, k), _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i v0 = _mm_shuffle_epi32(Chroma<L>(br0, g0, k.cr_br, k.cr_g, k), _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i v1 = _mm_shuffle_epi32(Chroma<L>(br1, g1, k.cr_br, k.cr_g, k), _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i uv = _mm_packus_epi16(
        _mm_packs_epi32(_mm_unpacklo_epi64(u0, u1), _mm_unpacklo_epi64(v0, v1)), _mm_setzero_si128());
    Store4(cb + x / 2, uv);
    Store4(cr + x / 2, _mm_srli_si128(uv, 4));
  }
  for (; x < count; x += 2) {
    const uint8_t* a = row0 + 3 * x;
    const uint8_t* b = row1 + 3 * x;
    y0[x] = LumaOf(a);
    y0[x + 1] = LumaOf(a + 3);
    y1[x] = LumaOf(b);
    y1[x + 1] = LumaOf(b + 3);
    const int blue = a[0] + a[3] + b[0] + b[3];
    const int green = a[1] + a[4] + b[1] + b[4];
    const int red = a[2] + a[5] + b[2] + b[5];
    cb[x / 2] = Clamp255((kCbB * blue + kCbG * green + kCbR * red + kChromaBias) >> 15);
    cr[x / 2] = Clamp255((kCrB * blue + kCrG * green + kCrR * red + kChromaBias) >> 15);
  }
}

}  // namespace jpeg::detail

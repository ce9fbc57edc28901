// The encoder's kernels with AVX2, built with its own flags and chosen at run time.
//
// The transform takes two blocks at once, one in each 128-bit half of the registers. The arithmetic is
// transform.h's, whose every operation works on the halves apart, so each half goes through exactly
// the steps of the SSE2 level and gives the same coefficients: the proof of range there holds here
// word for word. The colour conversion does sixteen pixels of each row at a time with the same
// arithmetic; a byte shuffle spreads blue and red into the halves of each 32-bit lane and green alone
// into the low half, where the SSE2 level masks and shifts. The result of every multiply-add is the same
// integer either way, since the weights of the other bytes are 0.
//
// Nothing here is shared with the other translation units (see kernels.h).

#include <immintrin.h>

#include "jpeg/encoder/kernels.h"
#include "jpeg/encoder/transform.h"
#include "platform/lanes/avx2.h"

namespace jpeg::detail {
namespace {

using L = lanes::Avx2;

// The categories of a row of each block, to each block's own.
void StoreCategories(__m256i q, uint16_t* a, uint16_t* b) {
  const __m256i category = Categories<L>(q);
  _mm_store_si128(reinterpret_cast<__m128i*>(a), _mm256_castsi256_si128(category));
  _mm_store_si128(reinterpret_cast<__m128i*>(b), _mm256_extracti128_si256(category, 1));
}

// Pixels 0..3 from p and 0..3 from p + 24 (four bytes past the twelfth of each are read).
__m256i Load(const uint8_t* p) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 24)), 1);
}

}  // namespace

void TransformPairAvx2(const uint8_t* a, const uint8_t* b, size_t stride, const QuantTable& table,
                       QuantisedBlock out[2]) {
  __m256i r[8];
  const __m256i centre = _mm256_set1_epi16(128);
  for (int i = 0; i < 8; ++i) {
    const __m128i rows = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + i * stride)),
                                            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + i * stride)));
    r[i] = _mm256_sub_epi16(_mm256_cvtepu8_epi16(rows), centre);
  }
  Dct<L>(r);

  const __m256i zero = _mm256_setzero_si256();
  uint64_t nonzero_a = 0, nonzero_b = 0;
  for (int i = 0; i < 8; i += 2) {
    const __m256i q0 = QuantiseRow<L>(r[i], table, i), q1 = QuantiseRow<L>(r[i + 1], table, i + 1);
    _mm256_store_si256(reinterpret_cast<__m256i*>(out[0].coef + 8 * i), _mm256_permute2x128_si256(q0, q1, 0x20));
    _mm256_store_si256(reinterpret_cast<__m256i*>(out[1].coef + 8 * i), _mm256_permute2x128_si256(q0, q1, 0x31));
    StoreCategories(q0, out[0].category + 8 * i, out[1].category + 8 * i);
    StoreCategories(q1, out[0].category + 8 * i + 8, out[1].category + 8 * i + 8);
    // Bytes 0..15 say which of block a's rows i and i + 1 are zero, bytes 16..31 block b's.
    const uint32_t zeros = static_cast<uint32_t>(_mm256_movemask_epi8(
        _mm256_packs_epi16(_mm256_cmpeq_epi16(q0, zero), _mm256_cmpeq_epi16(q1, zero))));
    nonzero_a |= static_cast<uint64_t>(~zeros & 0xFFFF) << (8 * i);
    nonzero_b |= static_cast<uint64_t>(~zeros >> 16) << (8 * i);
  }
  out[0].nonzero = nonzero_a;
  out[1].nonzero = nonzero_b;
}

void ConvertRowPairAvx2(const uint8_t* row0, const uint8_t* row1, int32_t count, uint8_t* y0, uint8_t* y1,
                        uint8_t* cb, uint8_t* cr) {
  const __m256i br_pick = _mm256_setr_epi8(0, -1, 2, -1, 3, -1, 5, -1, 6, -1, 8, -1, 9, -1, 11, -1,  //
                                           0, -1, 2, -1, 3, -1, 5, -1, 6, -1, 8, -1, 9, -1, 11, -1);
  const __m256i g_pick = _mm256_setr_epi8(1, -1, -1, -1, 4, -1, -1, -1, 7, -1, -1, -1, 10, -1, -1, -1,  //
                                          1, -1, -1, -1, 4, -1, -1, -1, 7, -1, -1, -1, 10, -1, -1, -1);
  const ColourWeights<L> k;
  const __m256i chroma_order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);

  int32_t x = 0;
  // Sixteen pixels of each row at a time, while the loads (to four bytes past the sixteenth pixel) stay
  // within the row. Vector 0 holds pixels 0..3 and 8..11, vector 1 pixels 4..7 and 12..15, so that
  // packing the two puts the sixteen in order.
  for (; x + 18 <= count; x += 16) {
    const uint8_t* p = row0 + 3 * x;
    const uint8_t* q = row1 + 3 * x;
    const __m256i a0 = Load(p), a1 = Load(p + 12), b0 = Load(q), b1 = Load(q + 12);
    const __m256i a0_br = _mm256_shuffle_epi8(a0, br_pick), a0_g = _mm256_shuffle_epi8(a0, g_pick);
    const __m256i a1_br = _mm256_shuffle_epi8(a1, br_pick), a1_g = _mm256_shuffle_epi8(a1, g_pick);
    const __m256i b0_br = _mm256_shuffle_epi8(b0, br_pick), b0_g = _mm256_shuffle_epi8(b0, g_pick);
    const __m256i b1_br = _mm256_shuffle_epi8(b1, br_pick), b1_g = _mm256_shuffle_epi8(b1, g_pick);
    const __m256i ya = _mm256_packs_epi32(Luma<L>(a0_br, a0_g, k), Luma<L>(a1_br, a1_g, k));  // row 0, in order
    const __m256i yb = _mm256_packs_epi32(Luma<L>(b0_br, b0_g, k), Luma<L>(b1_br, b1_g, k));
    // Halves: row 0 pixels 0..7, row 1 0..7 | row 0 8..15, row 1 8..15.
    const __m256i ys = _mm256_permute4x64_epi64(_mm256_packus_epi16(ya, yb), _MM_SHUFFLE(3, 1, 2, 0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(y0 + x), _mm256_castsi256_si128(ys));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(y1 + x), _mm256_extracti128_si256(ys, 1));

    // Vertical sums, then each pair of columns, valid in the even 32-bit lanes: of vector 0 the squares
    // 0, 1 | 4, 5, of vector 1 the squares 2, 3 | 6, 7.
    const __m256i br0 = SquareSums<L>(a0_br, b0_br), g0 = SquareSums<L>(a0_g, b0_g);
    const __m256i br1 = SquareSums<L>(a1_br, b1_br), g1 = SquareSums<L>(a1_g, b1_g);
    // Vector 1's squares into the odd lanes, then per half the order 0, 2, 1, 3: squares in order.
    auto squares = [&](__m256i w_br, __m256i w_g) {
      const __m256i c = _mm256_blend_epi32(Chroma<L>(br0, g0, w_br, w_g, k),
                                           _mm256_slli_epi64(Chroma<L>(br1, g1, w_br, w_g, k), 32), 0xAA);
      return _mm256_shuffle_epi32(c, _MM_SHUFFLE(3, 1, 2, 0));
    };
    const __m256i u = squares(k.cb_br, k.cb_g), v = squares(k.cr_br, k.cr_g);
    // Per half: cb 0..3, cr 0..3 | cb 4..7, cr 4..7 as bytes in the low eight; then cb 0..7, cr 0..7.
    const __m256i uv = _mm256_packus_epi16(_mm256_packs_epi32(u, v), _mm256_setzero_si256());
    const __m128i bytes = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(uv, chroma_order));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(cb + x / 2), bytes);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(cr + x / 2), _mm_srli_si128(bytes, 8));
  }
  if (x < count) ConvertRowPairSse2(row0 + 3 * x, row1 + 3 * x, count - x, y0 + x, y1 + x, cb + x / 2, cr + x / 2);
}

}  // namespace jpeg::detail

#pragma once
// The forward DCT and the quantisation of one 8x8 block, inline for the encoder's block loop.
//
// The transform is the separable DCT with 13-bit cosines, two fractional bits kept between the passes.
// The first pass runs down the columns of the block (each vector one row, so no transposition is
// needed), then the block is transposed once and the second pass runs down again: the result comes out
// transposed, which the quantisation table and the zigzag order are arranged for. The even half of each
// pass is the usual butterfly; the odd half multiplies the four differences by the 4x4 cosine matrix,
// two products to a pmaddwd. With samples of -128..127 no 16-bit sum can overflow: a first-pass output
// is at most 4 * 1024 in magnitude, and a second-pass sum at most 8 times that.

#include <emmintrin.h>

#include <cstdint>

#include "platform/ijl/encoder.h"
#include "platform/ijl/encoder_kernels.h"
#include "platform/ijl/encoder_simd.h"

namespace ijl::detail {

// One 1-D pass down the eight vectors (in place). Pass 1 keeps kPass1Bits fractional bits, pass 2
// removes them.
template <int kPass>
inline void DctPass(__m128i r[8]) {
  const __m128i s07 = _mm_add_epi16(r[0], r[7]), d07 = _mm_sub_epi16(r[0], r[7]);
  const __m128i s16 = _mm_add_epi16(r[1], r[6]), d16 = _mm_sub_epi16(r[1], r[6]);
  const __m128i s25 = _mm_add_epi16(r[2], r[5]), d25 = _mm_sub_epi16(r[2], r[5]);
  const __m128i s34 = _mm_add_epi16(r[3], r[4]), d34 = _mm_sub_epi16(r[3], r[4]);
  const __m128i t10 = _mm_add_epi16(s07, s34), t13 = _mm_sub_epi16(s07, s34);
  const __m128i t11 = _mm_add_epi16(s16, s25), t12 = _mm_sub_epi16(s16, s25);

  constexpr int shift = kPass == 1 ? kConstBits - kPass1Bits : kConstBits + kPass1Bits;
  const __m128i round = _mm_set1_epi32(1 << (shift - 1));
  auto rotate = [&](__m128i lo, __m128i hi, __m128i k) {
    __m128i a = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(lo, k), round), shift);
    __m128i b = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(hi, k), round), shift);
    return _mm_packs_epi32(a, b);
  };
  auto rotate4 = [&](__m128i lo01, __m128i hi01, __m128i lo23, __m128i hi23, __m128i k01, __m128i k23) {
    __m128i a = _mm_add_epi32(_mm_madd_epi16(lo01, k01), _mm_madd_epi16(lo23, k23));
    __m128i b = _mm_add_epi32(_mm_madd_epi16(hi01, k01), _mm_madd_epi16(hi23, k23));
    a = _mm_srai_epi32(_mm_add_epi32(a, round), shift);
    b = _mm_srai_epi32(_mm_add_epi32(b, round), shift);
    return _mm_packs_epi32(a, b);
  };

  if (kPass == 1) {
    r[0] = _mm_slli_epi16(_mm_add_epi16(t10, t11), kPass1Bits);
    r[4] = _mm_slli_epi16(_mm_sub_epi16(t10, t11), kPass1Bits);
  } else {
    const __m128i half = _mm_set1_epi16(1 << (kPass1Bits - 1));
    r[0] = _mm_srai_epi16(_mm_add_epi16(_mm_add_epi16(t10, t11), half), kPass1Bits);
    r[4] = _mm_srai_epi16(_mm_add_epi16(_mm_sub_epi16(t10, t11), half), kPass1Bits);
  }
  const __m128i e_lo = _mm_unpacklo_epi16(t13, t12), e_hi = _mm_unpackhi_epi16(t13, t12);
  r[2] = rotate(e_lo, e_hi, Pair(kCos2, kCos6));
  r[6] = rotate(e_lo, e_hi, Pair(kCos6, -kCos2));

  const __m128i a_lo = _mm_unpacklo_epi16(d07, d16), a_hi = _mm_unpackhi_epi16(d07, d16);
  const __m128i b_lo = _mm_unpacklo_epi16(d25, d34), b_hi = _mm_unpackhi_epi16(d25, d34);
  r[1] = rotate4(a_lo, a_hi, b_lo, b_hi, Pair(kCos1, kCos3), Pair(kCos5, kCos7));
  r[3] = rotate4(a_lo, a_hi, b_lo, b_hi, Pair(kCos3, -kCos7), Pair(-kCos1, -kCos5));
  r[5] = rotate4(a_lo, a_hi, b_lo, b_hi, Pair(kCos5, -kCos1), Pair(kCos7, kCos3));
  r[7] = rotate4(a_lo, a_hi, b_lo, b_hi, Pair(kCos7, -kCos5), Pair(kCos3, -kCos1));
}

inline void Transpose8x8(__m128i r[8]) {
  const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
  const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
  const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
  const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
  r[0] = _mm_unpacklo_epi64(b0, b4);
  r[1] = _mm_unpackhi_epi64(b0, b4);
  r[2] = _mm_unpacklo_epi64(b1, b5);
  r[3] = _mm_unpackhi_epi64(b1, b5);
  r[4] = _mm_unpacklo_epi64(b2, b6);
  r[5] = _mm_unpackhi_epi64(b2, b6);
  r[6] = _mm_unpacklo_epi64(b3, b7);
  r[7] = _mm_unpackhi_epi64(b3, b7);
}

// Eight rows of eight samples, level-shifted to 16-bit lanes.
inline void LoadRows(const __m128i bytes[8], __m128i r[8]) {
  const __m128i zero = _mm_setzero_si128(), centre = _mm_set1_epi16(128);
  for (int i = 0; i < 8; ++i) r[i] = _mm_sub_epi16(_mm_unpacklo_epi8(bytes[i], zero), centre);
}

inline void Dct(__m128i r[8]) {
  DctPass<1>(r);
  Transpose8x8(r);
  DctPass<2>(r);
}

inline __m128i QuantiseVector(__m128i c, const QuantTable& table, int i) {
  const __m128i d = _mm_load_si128(reinterpret_cast<const __m128i*>(table.divisor + 8 * i));
  const __m128i h = _mm_load_si128(reinterpret_cast<const __m128i*>(table.half + 8 * i));
  const __m128i m = _mm_load_si128(reinterpret_cast<const __m128i*>(table.reciprocal + 8 * i));
  const __m128i sign = _mm_srai_epi16(c, 15);
  const __m128i y = _mm_add_epi16(_mm_sub_epi16(_mm_xor_si128(c, sign), sign), h);  // |c| + d/2, below 2^16
  __m128i q = _mm_mulhi_epu16(y, m);  // floor(y / d) or one less
  const __m128i rest = _mm_sub_epi16(y, _mm_mullo_epi16(q, d));
  q = _mm_sub_epi16(q, _mm_cmpgt_epi16(rest, _mm_sub_epi16(d, _mm_set1_epi16(1))));
  return _mm_sub_epi16(_mm_xor_si128(q, sign), sign);
}

// The entropy coder's view of eight quantised coefficients (QuantisedBlock::category). For a
// magnitude m, `ones` (m with every bit below its top bit set) is the mask of its bit length, and the
// bits of a negative value - 1 are those of ~m, that is m ^ ones. The bit length is read from the
// exponent of m as a float, exact for every m below 2^24: 127 + floor(log2 m), so the length is the
// exponent less 126, and m = 0 (all bits clear) comes out below zero and is raised to 0.
inline void StoreCategories(__m128i q, uint16_t out[8]) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i sign = _mm_srai_epi16(q, 15);
  const __m128i m = _mm_sub_epi16(_mm_xor_si128(q, sign), sign);
  __m128i ones = _mm_or_si128(m, _mm_srli_epi16(m, 1));
  ones = _mm_or_si128(ones, _mm_srli_epi16(ones, 2));
  ones = _mm_or_si128(ones, _mm_srli_epi16(ones, 4));
  ones = _mm_or_si128(ones, _mm_srli_epi16(ones, 8));
  const __m128i extra = _mm_xor_si128(m, _mm_and_si128(ones, sign));
  // The even and the odd 16-bit lanes as 32-bit integers, converted apart and put back together.
  const __m128i even = _mm_and_si128(m, _mm_set1_epi32(0xFFFF)), odd = _mm_srli_epi32(m, 16);
  const __m128i e_even = _mm_srli_epi32(_mm_castps_si128(_mm_cvtepi32_ps(even)), 23);
  const __m128i e_odd = _mm_srli_epi32(_mm_castps_si128(_mm_cvtepi32_ps(odd)), 23);
  const __m128i exponent = _mm_or_si128(e_even, _mm_slli_epi32(e_odd, 16));
  const __m128i bits = _mm_max_epi16(_mm_sub_epi16(exponent, _mm_set1_epi16(126)), zero);
  _mm_store_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(_mm_slli_epi16(bits, 12), extra));
}

}  // namespace ijl::detail

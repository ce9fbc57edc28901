// The encoder's kernels with AVX2, built with its own flags and chosen at run time.
//
// The transform takes two blocks at once, one in each 128-bit half of the registers. Every instruction
// it uses works on the halves apart (unpacks, packs, pmaddwd, shifts), so each half goes through
// exactly the steps of the SSE2 code in encoder_dct.h, and gives the same coefficients: the proof of
// range there holds here word for word. The colour conversion does sixteen pixels of each row at a time
// with the arithmetic of encoder_colour.cpp; a byte shuffle spreads blue and red into the halves of
// each 32-bit lane and green alone into the low half, where the SSE2 code masks and shifts. The result
// of every multiply-add is the same integer either way, since the weights of the other bytes are 0.
//
// Nothing here is inline or shared with the other translation units (see encoder_kernels.h).

#include <immintrin.h>

#include "platform/ijl/encoder_kernels.h"

namespace ijl::detail {
namespace {

__m256i Pair256(int a, int b) {
  return _mm256_set1_epi32(static_cast<int>((static_cast<uint32_t>(b) << 16) | static_cast<uint16_t>(a)));
}

template <int kPass>
void DctPass(__m256i r[8]) {
  const __m256i s07 = _mm256_add_epi16(r[0], r[7]), d07 = _mm256_sub_epi16(r[0], r[7]);
  const __m256i s16 = _mm256_add_epi16(r[1], r[6]), d16 = _mm256_sub_epi16(r[1], r[6]);
  const __m256i s25 = _mm256_add_epi16(r[2], r[5]), d25 = _mm256_sub_epi16(r[2], r[5]);
  const __m256i s34 = _mm256_add_epi16(r[3], r[4]), d34 = _mm256_sub_epi16(r[3], r[4]);
  const __m256i t10 = _mm256_add_epi16(s07, s34), t13 = _mm256_sub_epi16(s07, s34);
  const __m256i t11 = _mm256_add_epi16(s16, s25), t12 = _mm256_sub_epi16(s16, s25);

  constexpr int shift = kPass == 1 ? kConstBits - kPass1Bits : kConstBits + kPass1Bits;
  const __m256i round = _mm256_set1_epi32(1 << (shift - 1));
  auto rotate = [&](__m256i lo, __m256i hi, __m256i k) {
    __m256i a = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(lo, k), round), shift);
    __m256i b = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(hi, k), round), shift);
    return _mm256_packs_epi32(a, b);
  };
  auto rotate4 = [&](__m256i lo01, __m256i hi01, __m256i lo23, __m256i hi23, __m256i k01, __m256i k23) {
    __m256i a = _mm256_add_epi32(_mm256_madd_epi16(lo01, k01), _mm256_madd_epi16(lo23, k23));
    __m256i b = _mm256_add_epi32(_mm256_madd_epi16(hi01, k01), _mm256_madd_epi16(hi23, k23));
    a = _mm256_srai_epi32(_mm256_add_epi32(a, round), shift);
    b = _mm256_srai_epi32(_mm256_add_epi32(b, round), shift);
    return _mm256_packs_epi32(a, b);
  };

  if (kPass == 1) {
    r[0] = _mm256_slli_epi16(_mm256_add_epi16(t10, t11), kPass1Bits);
    r[4] = _mm256_slli_epi16(_mm256_sub_epi16(t10, t11), kPass1Bits);
  } else {
    const __m256i half = _mm256_set1_epi16(1 << (kPass1Bits - 1));
    r[0] = _mm256_srai_epi16(_mm256_add_epi16(_mm256_add_epi16(t10, t11), half), kPass1Bits);
    r[4] = _mm256_srai_epi16(_mm256_add_epi16(_mm256_sub_epi16(t10, t11), half), kPass1Bits);
  }
  const __m256i e_lo = _mm256_unpacklo_epi16(t13, t12), e_hi = _mm256_unpackhi_epi16(t13, t12);
  r[2] = rotate(e_lo, e_hi, Pair256(kCos2, kCos6));
  r[6] = rotate(e_lo, e_hi, Pair256(kCos6, -kCos2));

  const __m256i a_lo = _mm256_unpacklo_epi16(d07, d16), a_hi = _mm256_unpackhi_epi16(d07, d16);
  const __m256i b_lo = _mm256_unpacklo_epi16(d25, d34), b_hi = _mm256_unpackhi_epi16(d25, d34);
  r[1] = rotate4(a_lo, a_hi, b_lo, b_hi, Pair256(kCos1, kCos3), Pair256(kCos5, kCos7));
  r[3] = rotate4(a_lo, a_hi, b_lo, b_hi, Pair256(kCos3, -kCos7), Pair256(-kCos1, -kCos5));
  r[5] = rotate4(a_lo, a_hi, b_lo, b_hi, Pair256(kCos5, -kCos1), Pair256(kCos7, kCos3));
  r[7] = rotate4(a_lo, a_hi, b_lo, b_hi, Pair256(kCos7, -kCos5), Pair256(kCos3, -kCos1));
}

void Transpose8x8(__m256i r[8]) {
  const __m256i a0 = _mm256_unpacklo_epi16(r[0], r[1]), a1 = _mm256_unpackhi_epi16(r[0], r[1]);
  const __m256i a2 = _mm256_unpacklo_epi16(r[2], r[3]), a3 = _mm256_unpackhi_epi16(r[2], r[3]);
  const __m256i a4 = _mm256_unpacklo_epi16(r[4], r[5]), a5 = _mm256_unpackhi_epi16(r[4], r[5]);
  const __m256i a6 = _mm256_unpacklo_epi16(r[6], r[7]), a7 = _mm256_unpackhi_epi16(r[6], r[7]);
  const __m256i b0 = _mm256_unpacklo_epi32(a0, a2), b1 = _mm256_unpackhi_epi32(a0, a2);
  const __m256i b2 = _mm256_unpacklo_epi32(a1, a3), b3 = _mm256_unpackhi_epi32(a1, a3);
  const __m256i b4 = _mm256_unpacklo_epi32(a4, a6), b5 = _mm256_unpackhi_epi32(a4, a6);
  const __m256i b6 = _mm256_unpacklo_epi32(a5, a7), b7 = _mm256_unpackhi_epi32(a5, a7);
  r[0] = _mm256_unpacklo_epi64(b0, b4);
  r[1] = _mm256_unpackhi_epi64(b0, b4);
  r[2] = _mm256_unpacklo_epi64(b1, b5);
  r[3] = _mm256_unpackhi_epi64(b1, b5);
  r[4] = _mm256_unpacklo_epi64(b2, b6);
  r[5] = _mm256_unpackhi_epi64(b2, b6);
  r[6] = _mm256_unpacklo_epi64(b3, b7);
  r[7] = _mm256_unpackhi_epi64(b3, b7);
}

__m256i Broadcast(const uint16_t* row) {
  return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(row)));
}

__m256i Quantise(__m256i c, const QuantTable& table, int i) {
  const __m256i d = Broadcast(table.divisor + 8 * i);
  const __m256i h = Broadcast(table.half + 8 * i);
  const __m256i m = Broadcast(table.reciprocal + 8 * i);
  const __m256i sign = _mm256_srai_epi16(c, 15);
  const __m256i y = _mm256_add_epi16(_mm256_sub_epi16(_mm256_xor_si256(c, sign), sign), h);
  __m256i q = _mm256_mulhi_epu16(y, m);
  const __m256i rest = _mm256_sub_epi16(y, _mm256_mullo_epi16(q, d));
  q = _mm256_sub_epi16(q, _mm256_cmpgt_epi16(rest, _mm256_sub_epi16(d, _mm256_set1_epi16(1))));
  return _mm256_sub_epi16(_mm256_xor_si256(q, sign), sign);
}

// Categories of a row of each block (see StoreCategories in encoder_dct.h for the reasoning).
void StoreCategories(__m256i q, uint16_t* a, uint16_t* b) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i sign = _mm256_srai_epi16(q, 15);
  const __m256i m = _mm256_abs_epi16(q);
  __m256i ones = _mm256_or_si256(m, _mm256_srli_epi16(m, 1));
  ones = _mm256_or_si256(ones, _mm256_srli_epi16(ones, 2));
  ones = _mm256_or_si256(ones, _mm256_srli_epi16(ones, 4));
  ones = _mm256_or_si256(ones, _mm256_srli_epi16(ones, 8));
  const __m256i extra = _mm256_xor_si256(m, _mm256_and_si256(ones, sign));
  // The even and the odd 16-bit lanes as 32-bit integers, converted apart and put back: no shuffle.
  const __m256i even = _mm256_and_si256(m, _mm256_set1_epi32(0xFFFF)), odd = _mm256_srli_epi32(m, 16);
  const __m256i e_even = _mm256_srli_epi32(_mm256_castps_si256(_mm256_cvtepi32_ps(even)), 23);
  const __m256i e_odd = _mm256_srli_epi32(_mm256_castps_si256(_mm256_cvtepi32_ps(odd)), 23);
  const __m256i exponent = _mm256_or_si256(e_even, _mm256_slli_epi32(e_odd, 16));
  const __m256i bits = _mm256_max_epi16(_mm256_sub_epi16(exponent, _mm256_set1_epi16(126)), zero);
  const __m256i category = _mm256_or_si256(_mm256_slli_epi16(bits, 12), extra);
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
  DctPass<1>(r);
  Transpose8x8(r);
  DctPass<2>(r);

  const __m256i zero = _mm256_setzero_si256();
  uint64_t nonzero_a = 0, nonzero_b = 0;
  for (int i = 0; i < 8; i += 2) {
    const __m256i q0 = Quantise(r[i], table, i), q1 = Quantise(r[i + 1], table, i + 1);
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
  const __m256i y_br = Pair256(kYB, kYR), y_g = Pair256(kYG, 0), y_round = _mm256_set1_epi32(1 << 14);
  const __m256i cb_br = Pair256(kCbB, kCbR), cb_g = Pair256(kCbG, 0);
  const __m256i cr_br = Pair256(kCrB, kCrR), cr_g = Pair256(kCrG, 0);
  const __m256i bias = _mm256_set1_epi32(kChromaBias);
  const __m256i chroma_order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  auto luma = [&](__m256i br, __m256i g) {
    const __m256i y = _mm256_add_epi32(_mm256_madd_epi16(br, y_br), _mm256_madd_epi16(g, y_g));
    return _mm256_srli_epi32(_mm256_add_epi32(y, y_round), 15);
  };
  auto chroma = [&](__m256i br, __m256i g, __m256i w_br, __m256i w_g) {
    const __m256i c = _mm256_add_epi32(_mm256_madd_epi16(br, w_br), _mm256_madd_epi16(g, w_g));
    return _mm256_srai_epi32(_mm256_add_epi32(c, bias), 15);
  };

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
    const __m256i ya = _mm256_packs_epi32(luma(a0_br, a0_g), luma(a1_br, a1_g));  // row 0, pixels in order
    const __m256i yb = _mm256_packs_epi32(luma(b0_br, b0_g), luma(b1_br, b1_g));
    // Halves: row 0 pixels 0..7, row 1 0..7 | row 0 8..15, row 1 8..15.
    const __m256i ys = _mm256_permute4x64_epi64(_mm256_packus_epi16(ya, yb), _MM_SHUFFLE(3, 1, 2, 0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(y0 + x), _mm256_castsi256_si128(ys));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(y1 + x), _mm256_extracti128_si256(ys, 1));

    // Vertical sums, then each pair of columns, valid in the even 32-bit lanes: of vector 0 the squares
    // 0, 1 | 4, 5, of vector 1 the squares 2, 3 | 6, 7.
    __m256i br0 = _mm256_add_epi16(a0_br, b0_br), g0 = _mm256_add_epi16(a0_g, b0_g);
    __m256i br1 = _mm256_add_epi16(a1_br, b1_br), g1 = _mm256_add_epi16(a1_g, b1_g);
    br0 = _mm256_add_epi16(br0, _mm256_srli_epi64(br0, 32));
    g0 = _mm256_add_epi16(g0, _mm256_srli_epi64(g0, 32));
    br1 = _mm256_add_epi16(br1, _mm256_srli_epi64(br1, 32));
    g1 = _mm256_add_epi16(g1, _mm256_srli_epi64(g1, 32));
    // Vector 1's squares into the odd lanes, then per half the order 0, 2, 1, 3: squares in order.
    auto squares = [&](__m256i w_br, __m256i w_g) {
      const __m256i c = _mm256_blend_epi32(chroma(br0, g0, w_br, w_g),
                                           _mm256_slli_epi64(chroma(br1, g1, w_br, w_g), 32), 0xAA);
      return _mm256_shuffle_epi32(c, _MM_SHUFFLE(3, 1, 2, 0));
    };
    const __m256i u = squares(cb_br, cb_g), v = squares(cr_br, cr_g);
    // Per half: cb 0..3, cr 0..3 | cb 4..7, cr 4..7 as bytes in the low eight; then cb 0..7, cr 0..7.
    const __m256i uv = _mm256_packus_epi16(_mm256_packs_epi32(u, v), _mm256_setzero_si256());
    const __m128i bytes = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(uv, chroma_order));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(cb + x / 2), bytes);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(cr + x / 2), _mm_srli_si128(bytes, 8));
  }
  if (x < count) ConvertRowPairSse2(row0 + 3 * x, row1 + 3 * x, count - x, y0 + x, y1 + x, cb + x / 2, cr + x / 2);
}

}  // namespace ijl::detail

// The quantisation tables, the transform and quantisation of two blocks at the SSE2 level, and the
// transform and the quantisation as single calls for the tests.

#include <algorithm>

#include "jpeg/encoder/encoder.h"
#include "jpeg/encoder/kernels.h"
#include "jpeg/encoder/transform.h"
#include "platform/lanes/sse2.h"

namespace jpeg::detail {

const uint8_t kLuminanceBase[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,   //
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,   //
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,   //
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99,
};

const uint8_t kChrominanceBase[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,  //
    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
};

void ScaledTable(const uint8_t base[64], int quality, uint8_t out[64]) {
  quality = std::clamp(quality, 1, 100);
  const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
  for (int i = 0; i < 64; ++i) out[i] = static_cast<uint8_t>(std::clamp((base[i] * scale + 50) / 100, 1, 255));
}

void QuantTable::Set(const uint8_t base[64], int quality) {
  ScaledTable(base, quality, natural);
  for (int v = 0; v < 8; ++v)
    for (int u = 0; u < 8; ++u) SetDivisor(u * 8 + v, static_cast<uint16_t>(8 * natural[v * 8 + u]));
}

void QuantTable::SetDivisor(int i, uint16_t d) {
  divisor[i] = d;
  half[i] = static_cast<uint16_t>(d / 2);
  reciprocal[i] = static_cast<uint16_t>(65536u / d);  // d >= 8, so it fits
}

namespace {

using L = lanes::Sse2;

// Eight rows of eight samples, level-shifted to 16-bit lanes.
void LoadRows(const uint8_t* samples, ptrdiff_t stride, __m128i r[8]) {
  const __m128i zero = _mm_setzero_si128(), centre = _mm_set1_epi16(128);
  for (int i = 0; i < 8; ++i) {
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(samples + i * stride));
    r[i] = _mm_sub_epi16(_mm_unpacklo_epi8(bytes, zero), centre);
  }
}

void TransformOne(const uint8_t* samples, size_t stride, const QuantTable& table, QuantisedBlock& out) {
  __m128i r[8];
  LoadRows(samples, static_cast<ptrdiff_t>(stride), r);
  Dct<L>(r);
  const __m128i zero = _mm_setzero_si128();
  uint64_t nonzero = 0;
  for (int i = 0; i < 8; i += 2) {
    const __m128i q0 = QuantiseRow<L>(r[i], table, i), q1 = QuantiseRow<L>(r[i + 1], table, i + 1);
    _mm_store_si128(reinterpret_cast<__m128i*>(out.coef + 8 * i), q0);
    _mm_store_si128(reinterpret_cast<__m128i*>(out.coef + 8 * i + 8), q1);
    _mm_store_si128(reinterpret_cast<__m128i*>(out.category + 8 * i), Categories<L>(q0));
    _mm_store_si128(reinterpret_cast<__m128i*>(out.category + 8 * i + 8), Categories<L>(q1));
    const int zeros = _mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(q0, zero), _mm_cmpeq_epi16(q1, zero)));
    nonzero |= static_cast<uint64_t>(static_cast<uint16_t>(~zeros)) << (8 * i);
  }
  out.nonzero = nonzero;
}

}  // namespace

void TransformPairSse2(const uint8_t* a, const uint8_t* b, size_t stride, const QuantTable& table,
                       QuantisedBlock out[2]) {
  TransformOne(a, stride, table, out[0]);
  TransformOne(b, stride, table, out[1]);
}

void ForwardDct(const uint8_t* samples, ptrdiff_t stride, int16_t out[64]) {
  __m128i r[8];
  LoadRows(samples, stride, r);
  Dct<L>(r);
  for (int i = 0; i < 8; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * i), r[i]);
}

void Quantise(const int16_t in[64], const uint16_t divisors[64], int16_t out[64]) {
  QuantTable table;
  for (int i = 0; i < 64; ++i) table.SetDivisor(i, divisors[i]);
  for (int i = 0; i < 8; ++i) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8 * i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * i), QuantiseRow<L>(c, table, i));
  }
}

}  // namespace jpeg::detail

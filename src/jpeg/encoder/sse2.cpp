// The encoder's kernels at the SSE2 level, which every x86-64 processor has (transform.h's loops over
// 128-bit vectors), and the transform and the quantisation as single calls for the tests.

#include "jpeg/encoder/encoder.h"
#include "jpeg/encoder/kernels.h"
#include "jpeg/encoder/transform.h"
#include "platform/lanes/sse2.h"

namespace jpeg::detail {
namespace {

using L = lanes::Sse2;

}  // namespace

void ConvertRowPairSse2(const uint8_t* row0, const uint8_t* row1, int32_t count, uint8_t* y0, uint8_t* y1, uint8_t* cb,
                        uint8_t* cr) {
  ConvertRowPairFrom<L>(row0, row1, 0, count, y0, y1, cb, cr);
}

bool TransformPairSse2(const uint8_t* a, const uint8_t* b, size_t stride, const QuantTable& table,
                       QuantisedBlock out[2]) {
  return TransformPairOver<L>(a, b, stride, table, out);
}

void ForwardDct(const uint8_t* samples, ptrdiff_t stride, int16_t out[64]) {
  L::V r[8];
  LoadBlocks<L>(&samples, stride, r);
  Dct<L>(r);
  for (int i = 0; i < 8; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * i), r[i]);
}

void Quantise(const int16_t in[64], const uint16_t divisors[64], int16_t out[64]) {
  QuantTable table;
  for (int i = 0; i < 64; ++i) table.SetDivisor(i, divisors[i]);
  for (int i = 0; i < 8; ++i) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8 * i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * i), QuantiseRow<L>(c, table, i).Value());
  }
}

}  // namespace jpeg::detail

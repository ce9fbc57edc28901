// The resampler's two passes with AVX-512 (F and BW; compiled with them enabled, called only where
// cpuid reports them). Byte for byte what the narrower levels give: the same arithmetic, wider.

#include <immintrin.h>

#include "image/resample_simd.h"

namespace pixels::simd {
namespace {

// round-half-even(n / 2^q) in each 32-bit element, n >= 0 and n + 2^(q-1) < 2^31.
__m512i RoundShift(__m512i n, __m128i shift, __m512i below_half) {
  const __m512i odd = _mm512_and_si512(_mm512_srl_epi32(n, shift), _mm512_set1_epi32(1));
  return _mm512_srl_epi32(_mm512_add_epi32(_mm512_add_epi32(n, below_half), odd), shift);
}

}  // namespace

void BlendRowsAvx512(const uint8_t* top, const uint8_t* next, uint8_t* out, int32_t first, int32_t last,
                     uint32_t keep, uint32_t take, int q) {
  const uint32_t below_half = (1u << (q - 1)) - 1;
  const bool whole = q <= 15;
  const __m512i weights_high = _mm512_set1_epi32(static_cast<int>(((take >> 8) << 16) | (keep >> 8)));
  const __m512i weights_low = _mm512_set1_epi32(
      static_cast<int>(whole ? (take << 16) | keep : ((take & 0xFF) << 16) | (keep & 0xFF)));
  const __m512i bias = _mm512_set1_epi32(static_cast<int>(below_half));
  const __m128i shift = _mm_cvtsi32_si128(q);
  int32_t k = first;
  for (; k + 31 <= last; k += 32) {
    _mm_prefetch(reinterpret_cast<const char*>(top + k + kPrefetchAhead), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(next + k + kPrefetchAhead), _MM_HINT_T0);
    const __m512i a = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(top + k)));
    const __m512i b = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(next + k)));
    __m512i result[2];
    for (int half = 0; half < 2; ++half) {
      // Per 128-bit lane, the low unpack takes words 0-3 and the high one 4-7; the lane-wise pack
      // below puts them back in order.
      const __m512i pairs = half == 0 ? _mm512_unpacklo_epi16(a, b) : _mm512_unpackhi_epi16(a, b);
      const __m512i n = whole ? _mm512_madd_epi16(pairs, weights_low)
                              : _mm512_add_epi32(_mm512_slli_epi32(_mm512_madd_epi16(pairs, weights_high), 8),
                                                 _mm512_madd_epi16(pairs, weights_low));
      result[half] = RoundShift(n, shift, bias);
    }
    const __m512i words = _mm512_packs_epi32(result[0], result[1]);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), _mm512_cvtepi16_epi8(words));
  }
  for (; k <= last; ++k) {
    const uint32_t n = top[k] * keep + next[k] * take;
    out[k] = static_cast<uint8_t>((n + below_half + ((n >> q) & 1u)) >> q);
  }
}

void BlendColumnsAvx512(const uint8_t* const* blended, uint8_t* const* out, int rows, const ColumnGroup* groups,
                        int32_t count, int q, bool whole) {
  const __m128i shift = _mm_cvtsi32_si128(q);
  const __m512i bias = _mm512_set1_epi32(static_cast<int>((1u << (q - 1)) - 1));
  for (int32_t g = 0; g < count; ++g) {
    const ColumnGroup& group = groups[g];
    const __m512i pick = _mm512_load_si512(group.pick);
    const __m512i low = _mm512_load_si512(group.weights_low);
    const __m512i high = _mm512_load_si512(group.weights_high);
    for (int r = 0; r < rows; ++r) {
      const uint8_t* m = blended[r];
      __m512i window = _mm512_castsi128_si512(_mm_loadu_si128(reinterpret_cast<const __m128i*>(m + group.base[0])));
      window = _mm512_inserti32x4(window, _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + group.base[1])), 1);
      window = _mm512_inserti32x4(window, _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + group.base[2])), 2);
      window = _mm512_inserti32x4(window, _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + group.base[3])), 3);
      const __m512i pairs = _mm512_shuffle_epi8(window, pick);
      __m512i n = _mm512_madd_epi16(pairs, low);
      if (!whole) n = _mm512_add_epi32(_mm512_slli_epi32(_mm512_madd_epi16(pairs, high), 9), n);
      // Sixteen results below 256, one per 32-bit element and in order: narrowed straight to bytes.
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out[r] + 16 * g), _mm512_cvtepi32_epi8(RoundShift(n, shift, bias)));
    }
  }
}

}  // namespace pixels::simd

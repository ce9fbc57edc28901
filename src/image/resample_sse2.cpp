// The resampler's first pass with SSE2, which every x86-64 processor has (and in plain code elsewhere).

#include "image/resample_simd.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace pixels::simd {

void BlendRowsSse2(const uint8_t* top, const uint8_t* next, uint8_t* out, int32_t first, int32_t last, uint32_t keep,
                   uint32_t take, int q) {
  const uint32_t below_half = (1u << (q - 1)) - 1;
  int32_t k = first;
#if defined(__SSE2__) || defined(_M_X64)
  // Eight bytes at a time: pmaddwd forms a * keep + b * take from 16-bit halves of the weights,
  // (a * keep_hi + b * take_hi) * 256 + (a * keep_lo + b * take_lo), all exact in 32 bits.
  const __m128i weights_hi = _mm_set1_epi32(static_cast<int>(((take >> 8) << 16) | (keep >> 8)));
  const __m128i weights_lo = _mm_set1_epi32(static_cast<int>(((take & 0xFF) << 16) | (keep & 0xFF)));
  const bool single = q <= 15;
  const __m128i weights_whole = _mm_set1_epi32(static_cast<int>((take << 16) | keep));
  const __m128i bias = _mm_set1_epi32(static_cast<int>(below_half));
  const __m128i one = _mm_set1_epi32(1);
  const __m128i shift = _mm_cvtsi32_si128(q);
  const __m128i zero = _mm_setzero_si128();
  for (; k + 7 <= last; k += 8) {
    _mm_prefetch(reinterpret_cast<const char*>(top + k + kPrefetchAhead), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(next + k + kPrefetchAhead), _MM_HINT_T0);
    const __m128i a = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top + k)), zero);
    const __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(next + k)), zero);
    __m128i result[2];
    for (int half = 0; half < 2; ++half) {
      const __m128i pairs = half == 0 ? _mm_unpacklo_epi16(a, b) : _mm_unpackhi_epi16(a, b);
      // Weights below 2^15 fit pmaddwd whole.
      const __m128i n = single ? _mm_madd_epi16(pairs, weights_whole)
                               : _mm_add_epi32(_mm_slli_epi32(_mm_madd_epi16(pairs, weights_hi), 8),
                                               _mm_madd_epi16(pairs, weights_lo));
      const __m128i odd = _mm_and_si128(_mm_srl_epi32(n, shift), one);
      result[half] = _mm_srl_epi32(_mm_add_epi32(_mm_add_epi32(n, bias), odd), shift);
    }
    const __m128i words = _mm_packs_epi32(result[0], result[1]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(words, zero));
  }
#endif
  for (; k <= last; ++k) {
    const uint32_t n = top[k] * keep + next[k] * take;
    out[k] = static_cast<uint8_t>((n + below_half + ((n >> q) & 1u)) >> q);
  }
}

}  // namespace pixels::simd

// The resampler's first pass with SSE2, which every x86-64 processor has (and in plain code elsewhere).

#include "image/resample_lanes.h"
#include "image/resample_simd.h"

namespace pixels::simd {

void BlendRowsSse2(const uint8_t* top, const uint8_t* next, uint8_t* out, int32_t first, int32_t last, uint32_t keep,
                   uint32_t take, int q) {
  int32_t k = first;
#if defined(ORVANE_RESAMPLE_VECTORS)
  // Eight bytes at a time.
  const RowWeights<lanes::Sse2> weights(keep, take, q);
  const __m128i zero = _mm_setzero_si128();
  for (; k + 7 <= last; k += 8) {
    _mm_prefetch(reinterpret_cast<const char*>(top + k + kPrefetchAhead), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(next + k + kPrefetchAhead), _MM_HINT_T0);
    const __m128i a = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top + k)), zero);
    const __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(next + k)), zero);
    const __m128i words = BlendWords<lanes::Sse2>(a, b, weights);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(words, zero));
  }
#endif
  BlendRowTail(top, next, out, k, last, keep, take, q);
}

}  // namespace pixels::simd

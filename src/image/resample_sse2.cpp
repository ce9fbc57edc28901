// The resampler's first pass with SSE2, which every x86-64 processor has (and in plain code elsewhere).

#include "image/resample_lanes.h"
#include "image/resample_simd.h"

namespace pixels::simd {
namespace {

#if defined(ORVANE_RESAMPLE_VECTORS)
struct Sse2Lanes {
  using V = __m128i;
  static V Set32(int v) { return _mm_set1_epi32(v); }
  static V And(V a, V b) { return _mm_and_si128(a, b); }
  static V Add32(V a, V b) { return _mm_add_epi32(a, b); }
  static V ShiftLeft32(V a, int n) { return _mm_slli_epi32(a, n); }
  static V ShiftRightBy32(V a, __m128i count) { return _mm_srl_epi32(a, count); }
  static V MultiplyAdd16(V a, V b) { return _mm_madd_epi16(a, b); }
  static V InterleaveLow16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
  static V InterleaveHigh16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
  static V PackSigned32(V a, V b) { return _mm_packs_epi32(a, b); }
};
#endif

}  // namespace

void BlendRowsSse2(const uint8_t* top, const uint8_t* next, uint8_t* out, int32_t first, int32_t last, uint32_t keep,
                   uint32_t take, int q) {
  int32_t k = first;
#if defined(ORVANE_RESAMPLE_VECTORS)
  // Eight bytes at a time.
  const RowWeights<Sse2Lanes> weights(keep, take, q);
  const __m128i zero = _mm_setzero_si128();
  for (; k + 7 <= last; k += 8) {
    _mm_prefetch(reinterpret_cast<const char*>(top + k + kPrefetchAhead), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(next + k + kPrefetchAhead), _MM_HINT_T0);
    const __m128i a = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top + k)), zero);
    const __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(next + k)), zero);
    const __m128i words = BlendWords<Sse2Lanes>(a, b, weights);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(words, zero));
  }
#endif
  BlendRowTail(top, next, out, k, last, keep, take, q);
}

}  // namespace pixels::simd

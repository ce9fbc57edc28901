// The resampler's two passes with AVX-512 (F and BW; compiled with them enabled, called only where
// cpuid reports them). Byte for byte what the narrower levels give: the same arithmetic, wider.

#include <immintrin.h>

#include "image/resample_lanes.h"
#include "image/resample_simd.h"
#include "platform/lanes/avx512.h"

namespace pixels::simd {
namespace {

using L = lanes::Avx512;

}  // namespace

void BlendRowsAvx512(const uint8_t* top, const uint8_t* next, uint8_t* out, int32_t first, int32_t last,
                     uint32_t keep, uint32_t take, int q) {
  const RowWeights<L> weights(keep, take, q);
  int32_t k = first;
  for (; k + 31 <= last; k += 32) {
    _mm_prefetch(reinterpret_cast<const char*>(top + k + kPrefetchAhead), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(next + k + kPrefetchAhead), _MM_HINT_T0);
    const __m512i a = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(top + k)));
    const __m512i b = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(next + k)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), _mm512_cvtepi16_epi8(BlendWords<L>(a, b, weights)));
  }
  BlendRowTail(top, next, out, k, last, keep, take, q);
}

void BlendColumnsAvx512(const uint8_t* const* blended, uint8_t* const* out, int rows, const ColumnGroup* groups,
                        int32_t count, int q, bool whole, const RowsAhead& ahead) {
  const __m128i shift = _mm_cvtsi32_si128(q);
  const __m512i bias = _mm512_set1_epi32(static_cast<int>((1u << (q - 1)) - 1));
  AskAhead asking(ahead, count);
  for (int32_t g = 0; g < count; ++g) {
    asking.Step();
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
      // Sixteen results below 256, one per 32-bit element and in order: narrowed straight to bytes.
      const __m512i result = BlendPicked<L>(pairs, low, high, whole, shift, bias);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out[r] + 16 * g), _mm512_cvtepi32_epi8(result));
    }
  }
}

}  // namespace pixels::simd

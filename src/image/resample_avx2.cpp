// The resampler's two passes with AVX2 (compiled with AVX2 enabled; called only where cpuid reports
// it). Byte for byte what the SSE2 and plain code give: the arithmetic is the same, only wider.

#include <immintrin.h>

#include "image/resample_lanes.h"
#include "image/resample_simd.h"
#include "platform/lanes/avx2.h"

namespace pixels::simd {
namespace {

using L = lanes::Avx2;

}  // namespace

void BlendRowsAvx2(const uint8_t* top, const uint8_t* next, uint8_t* out, int32_t first, int32_t last, uint32_t keep,
                   uint32_t take, int q) {
  const RowWeights<L> weights(keep, take, q);
  int32_t k = first;
  for (; k + 31 <= last; k += 32) {
    _mm_prefetch(reinterpret_cast<const char*>(top + k + kPrefetchAhead), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(next + k + kPrefetchAhead), _MM_HINT_T0);
    __m256i words[2];
    for (int part = 0; part < 2; ++part) {
      const __m256i a = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(top + k + 16 * part)));
      const __m256i b = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(next + k + 16 * part)));
      words[part] = BlendWords<L>(a, b, weights);
    }
    // The lane-wise pack gives quarters 0, 2, 1, 3 of the 32 bytes.
    const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(words[0], words[1]), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), bytes);
  }
  BlendRowTail(top, next, out, k, last, keep, take, q);
}

void BlendColumnsAvx2(const uint8_t* const* blended, uint8_t* const* out, int rows, const ColumnGroup* groups,
                      int32_t count, int q, bool whole, const RowsAhead& ahead) {
  const __m128i shift = _mm_cvtsi32_si128(q);
  const __m256i bias = _mm256_set1_epi32(static_cast<int>((1u << (q - 1)) - 1));
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0);
  AskAhead asking(ahead, count);
  for (int32_t g = 0; g < count; ++g) {
    asking.Step();
    const ColumnGroup& group = groups[g];
    __m256i pick[2], low[2], high[2];
    for (int half = 0; half < 2; ++half) {
      pick[half] = _mm256_load_si256(reinterpret_cast<const __m256i*>(group.pick + 32 * half));
      low[half] = _mm256_load_si256(reinterpret_cast<const __m256i*>(group.weights_low + 8 * half));
      high[half] = _mm256_load_si256(reinterpret_cast<const __m256i*>(group.weights_high + 8 * half));
    }
    for (int r = 0; r < rows; ++r) {
      const uint8_t* m = blended[r];
      __m256i result[2];
      for (int half = 0; half < 2; ++half) {
        const __m256i window = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(m + group.base[2 * half]))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + group.base[2 * half + 1])), 1);
        const __m256i pairs = _mm256_shuffle_epi8(window, pick[half]);
        result[half] = BlendPicked<L>(pairs, low[half], high[half], whole, shift, bias);
      }
      // Lanes hold output bytes 0-3 | 4-7 and 8-11 | 12-15; the lane-wise packs leave them as the
      // 32-bit elements 0, 4, 1, 5.
      const __m256i words = _mm256_packs_epi32(result[0], result[1]);
      const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words), order);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out[r] + 16 * g), _mm256_castsi256_si128(bytes));
    }
  }
}

}  // namespace pixels::simd

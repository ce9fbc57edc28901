#pragma once
// The AVX-512 level's lanes (F and BW): four 128-bit lanes to a vector, each worked on as SSE2 works on
// its one (see sse2.h for the contract and what each operation does). Only for files compiled with
// AVX-512F and AVX-512BW enabled.
// It names what the resampler uses; the encoder stops at AVX2.

#if !defined(__AVX512F__) || !defined(__AVX512BW__)
#error "platform/lanes/avx512.h belongs in files compiled for AVX-512F and AVX-512BW"
#endif

#include <immintrin.h>

#include <cstdint>

#include "platform/lanes/avx2.h"

namespace lanes {
namespace {

struct Avx512 {
  using V = __m512i;
  static constexpr int kBytes = 64;
  static constexpr int kLanes = 4;
  using Narrower = Avx2;

  static V Set32(int v) { return _mm512_set1_epi32(v); }
  static V And(V a, V b) { return _mm512_and_si512(a, b); }
  static V Add32(V a, V b) { return _mm512_add_epi32(a, b); }
  static V MultiplyAdd16(V a, V b) { return _mm512_madd_epi16(a, b); }
  static V ShiftLeft32(V a, int n) { return _mm512_slli_epi32(a, n); }
  static V ShiftRightBy32(V a, __m128i count) { return _mm512_srl_epi32(a, count); }
  static V PackSigned32(V a, V b) { return _mm512_packs_epi32(a, b); }
  static V InterleaveLow16(V a, V b) { return _mm512_unpacklo_epi16(a, b); }
  static V InterleaveHigh16(V a, V b) { return _mm512_unpackhi_epi16(a, b); }
  static V ShuffleBytes(V a, V table) { return _mm512_shuffle_epi8(a, table); }

  static V LoadAligned(const void* p) { return _mm512_load_si512(p); }
  static V LoadBytesAsWords(const uint8_t* p) {
    return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
  }
  static void StoreWordsAsBytes(uint8_t* p, V a, V b) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm512_cvtepi16_epi8(a));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 32), _mm512_cvtepi16_epi8(b));
  }
  static V LoadWindows(const uint8_t* base, const int32_t* offsets) {
    V window = _mm512_castsi128_si512(_mm_loadu_si128(reinterpret_cast<const __m128i*>(base + offsets[0])));
    window = _mm512_inserti32x4(window, _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + offsets[1])), 1);
    window = _mm512_inserti32x4(window, _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + offsets[2])), 2);
    return _mm512_inserti32x4(window, _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + offsets[3])), 3);
  }
  static void StoreSixteen32AsBytes(uint8_t* p, const V* r) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm512_cvtepi32_epi8(r[0]));
  }
};

}  // namespace
}  // namespace lanes

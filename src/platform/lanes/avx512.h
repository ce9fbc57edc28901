#pragma once
// The AVX-512 level's lanes (F and BW): four 128-bit lanes to a vector, each worked on as SSE2 works on
// its one (see sse2.h for the contract). Only for files compiled with AVX-512F and AVX-512BW enabled.
// It names what the resampler uses; the encoder stops at AVX2.

#if !defined(__AVX512F__) || !defined(__AVX512BW__)
#error "platform/lanes/avx512.h belongs in files compiled for AVX-512F and AVX-512BW"
#endif

#include <immintrin.h>

#include <cstdint>

namespace lanes {
namespace {

struct Avx512 {
  using V = __m512i;
  static constexpr int kBytes = 64;

  static V Set32(int v) { return _mm512_set1_epi32(v); }
  static V And(V a, V b) { return _mm512_and_si512(a, b); }
  static V Add32(V a, V b) { return _mm512_add_epi32(a, b); }
  static V MultiplyAdd16(V a, V b) { return _mm512_madd_epi16(a, b); }
  static V ShiftLeft32(V a, int n) { return _mm512_slli_epi32(a, n); }
  static V ShiftRightBy32(V a, __m128i count) { return _mm512_srl_epi32(a, count); }
  static V PackSigned32(V a, V b) { return _mm512_packs_epi32(a, b); }
  static V InterleaveLow16(V a, V b) { return _mm512_unpacklo_epi16(a, b); }
  static V InterleaveHigh16(V a, V b) { return _mm512_unpackhi_epi16(a, b); }
};

}  // namespace
}  // namespace lanes

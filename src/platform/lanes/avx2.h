#pragma once
// The AVX2 level's lanes: two 128-bit lanes to a vector, each worked on as SSE2 works on its one (see
// sse2.h for the contract). Only for files compiled with AVX2 enabled.

#if !defined(__AVX2__)
#error "platform/lanes/avx2.h belongs in files compiled for AVX2"
#endif

#include <immintrin.h>

#include <cstdint>

namespace lanes {
namespace {

struct Avx2 {
  using V = __m256i;
  static constexpr int kBytes = 32;

  static V Zero() { return _mm256_setzero_si256(); }
  static V Set16(int v) { return _mm256_set1_epi16(static_cast<int16_t>(v)); }
  static V Set32(int v) { return _mm256_set1_epi32(v); }
  static V Pair(int a, int b) {
    return _mm256_set1_epi32(static_cast<int>((static_cast<uint32_t>(b) << 16) | static_cast<uint16_t>(a)));
  }
  static V Row(const uint16_t* p) {
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(p)));
  }

  static V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
  static V Sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
  static V Add32(V a, V b) { return _mm256_add_epi32(a, b); }
  static V MultiplyAdd16(V a, V b) { return _mm256_madd_epi16(a, b); }
  static V MultiplyHighUnsigned16(V a, V b) { return _mm256_mulhi_epu16(a, b); }
  static V MultiplyLow16(V a, V b) { return _mm256_mullo_epi16(a, b); }
  static V Greater16(V a, V b) { return _mm256_cmpgt_epi16(a, b); }
  static V Max16(V a, V b) { return _mm256_max_epi16(a, b); }
  static V And(V a, V b) { return _mm256_and_si256(a, b); }
  static V Or(V a, V b) { return _mm256_or_si256(a, b); }
  static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
  static V ShiftLeft16(V a, int n) { return _mm256_slli_epi16(a, n); }
  static V ShiftRight16(V a, int n) { return _mm256_srli_epi16(a, n); }
  static V ShiftRightArithmetic16(V a, int n) { return _mm256_srai_epi16(a, n); }
  static V ShiftLeft32(V a, int n) { return _mm256_slli_epi32(a, n); }
  static V ShiftRight32(V a, int n) { return _mm256_srli_epi32(a, n); }
  static V ShiftRightBy32(V a, __m128i count) { return _mm256_srl_epi32(a, count); }
  static V ShiftRightArithmetic32(V a, int n) { return _mm256_srai_epi32(a, n); }
  static V ShiftRight64(V a, int n) { return _mm256_srli_epi64(a, n); }
  static V PackSigned32(V a, V b) { return _mm256_packs_epi32(a, b); }
  static V InterleaveLow16(V a, V b) { return _mm256_unpacklo_epi16(a, b); }
  static V InterleaveHigh16(V a, V b) { return _mm256_unpackhi_epi16(a, b); }
  static V InterleaveLow32(V a, V b) { return _mm256_unpacklo_epi32(a, b); }
  static V InterleaveHigh32(V a, V b) { return _mm256_unpackhi_epi32(a, b); }
  static V InterleaveLow64(V a, V b) { return _mm256_unpacklo_epi64(a, b); }
  static V InterleaveHigh64(V a, V b) { return _mm256_unpackhi_epi64(a, b); }
  static V FloatBits(V a) { return _mm256_castps_si256(_mm256_cvtepi32_ps(a)); }
};

}  // namespace
}  // namespace lanes

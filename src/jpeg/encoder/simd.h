#pragma once
// SSE2, the baseline: the lanes of transform.h at 128 bits, and the loads and stores the SSE2
// stages share. Included only by the SSE2 files, never by a wider level's.

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace jpeg::detail {
namespace {

struct Sse2Lanes {
  using V = __m128i;
  static V Zero() { return _mm_setzero_si128(); }
  static V Set16(int v) { return _mm_set1_epi16(static_cast<int16_t>(v)); }
  static V Set32(int v) { return _mm_set1_epi32(v); }
  // Two 16-bit weights in every 32-bit lane, a in the low half and b in the high half: what pmaddwd
  // multiplies a lane's two 16-bit values by.
  static V Pair(int a, int b) {
    return _mm_set1_epi32(static_cast<int>((static_cast<uint32_t>(b) << 16) | static_cast<uint16_t>(a)));
  }
  // A row of eight 16-bit values of a table (aligned).
  static V Row(const uint16_t* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); }

  static V Add16(V a, V b) { return _mm_add_epi16(a, b); }
  static V Sub16(V a, V b) { return _mm_sub_epi16(a, b); }
  static V Add32(V a, V b) { return _mm_add_epi32(a, b); }
  static V MultiplyAdd16(V a, V b) { return _mm_madd_epi16(a, b); }
  static V MultiplyHighUnsigned16(V a, V b) { return _mm_mulhi_epu16(a, b); }
  static V MultiplyLow16(V a, V b) { return _mm_mullo_epi16(a, b); }
  static V Greater16(V a, V b) { return _mm_cmpgt_epi16(a, b); }
  static V Max16(V a, V b) { return _mm_max_epi16(a, b); }
  static V And(V a, V b) { return _mm_and_si128(a, b); }
  static V Or(V a, V b) { return _mm_or_si128(a, b); }
  static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
  static V ShiftLeft16(V a, int n) { return _mm_slli_epi16(a, n); }
  static V ShiftRight16(V a, int n) { return _mm_srli_epi16(a, n); }
  static V ShiftRightArithmetic16(V a, int n) { return _mm_srai_epi16(a, n); }
  static V ShiftLeft32(V a, int n) { return _mm_slli_epi32(a, n); }
  static V ShiftRight32(V a, int n) { return _mm_srli_epi32(a, n); }
  static V ShiftRightArithmetic32(V a, int n) { return _mm_srai_epi32(a, n); }
  static V ShiftRight64(V a, int n) { return _mm_srli_epi64(a, n); }
  static V PackSigned32(V a, V b) { return _mm_packs_epi32(a, b); }
  static V InterleaveLow16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
  static V InterleaveHigh16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
  static V InterleaveLow32(V a, V b) { return _mm_unpacklo_epi32(a, b); }
  static V InterleaveHigh32(V a, V b) { return _mm_unpackhi_epi32(a, b); }
  static V InterleaveLow64(V a, V b) { return _mm_unpacklo_epi64(a, b); }
  static V InterleaveHigh64(V a, V b) { return _mm_unpackhi_epi64(a, b); }
  // The bits of each 32-bit integer converted to a float.
  static V FloatBits(V a) { return _mm_castps_si128(_mm_cvtepi32_ps(a)); }
};

inline __m128i Load32(const uint8_t* p) {
  int32_t word;
  std::memcpy(&word, p, 4);
  return _mm_cvtsi32_si128(word);
}

inline void Store4(uint8_t* out, __m128i bytes) {
  const int32_t word = _mm_cvtsi128_si32(bytes);
  std::memcpy(out, &word, 4);
}

}  // namespace
}  // namespace jpeg::detail

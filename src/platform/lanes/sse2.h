#pragma once
// The vector instructions of one level, named once for the code that is written over the vector width
// (the resampler's passes, the encoder's transform and colour conversion): a lanes struct per level,
// SSE2 here, AVX2 and AVX-512BW beside it. L::V is the vector; every operation works on each 128-bit
// lane apart, as the SSE2 instruction does, so a wider vector gives, lane by lane, the integers SSE2
// gives.
//
// Include a level's header only in files compiled with that level's flags (the wider ones refuse to
// compile elsewhere). Everything here is in an unnamed namespace: each file that includes it gets its
// own copy, so no function compiled for a wider level is ever an inline function shared with other
// files, which the linker could pick for every caller, on processors that lack the instructions.

#if !defined(__SSE2__) && !defined(_M_X64)
#error "platform/lanes/sse2.h belongs in files compiled for x86-64 (SSE2)"
#endif

#include <emmintrin.h>

#include <cstdint>

namespace lanes {
namespace {

struct Sse2 {
  using V = __m128i;
  static constexpr int kBytes = 16;

  static V Zero() { return _mm_setzero_si128(); }
  static V Set16(int v) { return _mm_set1_epi16(static_cast<int16_t>(v)); }
  static V Set32(int v) { return _mm_set1_epi32(v); }
  // Two 16-bit weights in every 32-bit element, a in the low half and b in the high half: what
  // MultiplyAdd16 multiplies an element's two 16-bit values by.
  static V Pair(int a, int b) {
    return _mm_set1_epi32(static_cast<int>((static_cast<uint32_t>(b) << 16) | static_cast<uint16_t>(a)));
  }
  // Eight 16-bit values of a table (aligned), in every lane.
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
  // By a count held in the low 64 bits of `count`, the same for every element.
  static V ShiftRightBy32(V a, __m128i count) { return _mm_srl_epi32(a, count); }
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

}  // namespace
}  // namespace lanes

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

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace lanes {
namespace {

struct Sse2 {
  using V = __m128i;
  static constexpr int kBytes = 16;
  static constexpr int kLanes = 1;
  using Narrower = void;  // the level a row loop hands its last few columns to: none, plain code

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
  // Each lane moved down by n bytes, zeros coming in.
  template <int n>
  static V ShiftRightBytes(V a) {
    return _mm_srli_si128(a, n);
  }
  static V PackSigned32(V a, V b) { return _mm_packs_epi32(a, b); }
  static V InterleaveLow16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
  static V InterleaveHigh16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
  static V InterleaveLow32(V a, V b) { return _mm_unpacklo_epi32(a, b); }
  static V InterleaveHigh32(V a, V b) { return _mm_unpackhi_epi32(a, b); }
  static V InterleaveLow64(V a, V b) { return _mm_unpacklo_epi64(a, b); }
  static V InterleaveHigh64(V a, V b) { return _mm_unpackhi_epi64(a, b); }
  // The bits of each 32-bit integer converted to a float.
  static V FloatBits(V a) { return _mm_castps_si128(_mm_cvtepi32_ps(a)); }
  static V Equal16(V a, V b) { return _mm_cmpeq_epi16(a, b); }
  static V PackSigned16(V a, V b) { return _mm_packs_epi16(a, b); }
  static V PackUnsigned16(V a, V b) { return _mm_packus_epi16(a, b); }
  // Word 0 of each lane in all eight words of the lane.
  static V FirstWordOfEachLane(V a) { return _mm_shuffle_epi32(_mm_shufflelo_epi16(a, 0), 0); }
  // The top bit of each byte, byte i at bit i.
  static uint32_t MoveMask8(V a) { return static_cast<uint32_t>(_mm_movemask_epi8(a)); }
  // Per lane: elements 0 and 2 of a, then elements 0 and 2 of b (32-bit elements); and 1 and 3.
  static V EvenElements32(V a, V b) {
    return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
  }
  static V OddElements32(V a, V b) {
    return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(3, 1, 3, 1)));
  }

  // kBytes / 2 bytes from p, widened to 16-bit words.
  static V LoadBytesAsWords(const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
  }
  // The words of a, then those of b (each 0..255), as kBytes bytes at p.
  static void StoreWordsAsBytes(uint8_t* p, V a, V b) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(a, b));
  }
  // Eight bytes for each lane j from its own place, p[j] + offset, widened to 16-bit words.
  static V LoadEightBytesEach(const uint8_t* const* p, ptrdiff_t offset) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p[0] + offset)), _mm_setzero_si128());
  }
  // Lane j of a, then lane j of b, as 32 bytes at first + j * step (aligned to 32 bytes).
  static void StoreLanePairs(uint8_t* first, ptrdiff_t step, V a, V b) {
    (void)step;
    _mm_store_si128(reinterpret_cast<__m128i*>(first), a);
    _mm_store_si128(reinterpret_cast<__m128i*>(first + 16), b);
  }
  // Bytes 0-7 of each lane to `low`, bytes 8-15 to `high`, lane after lane.
  static void StoreHalvesApart(uint8_t* low, uint8_t* high, V v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(low), v);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(high), _mm_srli_si128(v, 8));
  }
  // Bytes 0-3 of each lane to `first`, bytes 4-7 to `second`, lane after lane.
  static void StoreQuartersApart(uint8_t* first, uint8_t* second, V v) {
    StoreFour(first, v);
    StoreFour(second, _mm_srli_si128(v, 4));
  }
  // Four bytes from p into the low element, and the low element's four bytes to p.
  static V LoadFour(const uint8_t* p) {
    int32_t word;
    std::memcpy(&word, p, 4);
    return _mm_cvtsi32_si128(word);
  }
  static void StoreFour(uint8_t* p, V v) {
    const int32_t word = _mm_cvtsi128_si32(v);
    std::memcpy(p, &word, 4);
  }

  // Four pixels of three bytes (blue, green, red) for each lane j, from p + 24 * j, one to a 32-bit
  // element: blue | red << 16 in `br`, green in the low half of `g` (the high half holds another byte,
  // for weights of 0). Reads the kPixelReach bytes from p. Four loads and three unpacks, then a mask
  // and a shift: loads are cheaper than byte shifts.
  static constexpr int kPixelReach = 13;
  static void LoadPixels(const uint8_t* p, V& br, V& g) {
    const V p01 = _mm_unpacklo_epi32(LoadFour(p), LoadFour(p + 3));
    const V p23 = _mm_unpacklo_epi32(LoadFour(p + 6), LoadFour(p + 9));
    const V pixels = _mm_unpacklo_epi64(p01, p23);  // blue | green << 8 | red << 16 | next blue << 24
    br = _mm_and_si128(pixels, _mm_set1_epi32(0x00FF00FF));
    g = _mm_srli_epi16(pixels, 8);
  }
};

}  // namespace
}  // namespace lanes

#pragma once
// The AVX2 level's lanes: two 128-bit lanes to a vector, each worked on as SSE2 works on its one (see
// sse2.h for the contract and what each operation does). Only for files compiled with AVX2 enabled.

#if !defined(__AVX2__)
#error "platform/lanes/avx2.h belongs in files compiled for AVX2"
#endif

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "platform/lanes/sse2.h"

namespace lanes {
namespace {

struct Avx2 {
  using V = __m256i;
  static constexpr int kBytes = 32;
  static constexpr int kLanes = 2;
  using Narrower = Sse2;

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
  static V PackSigned32(V a, V b) { return _mm256_packs_epi32(a, b); }
  static V InterleaveLow16(V a, V b) { return _mm256_unpacklo_epi16(a, b); }
  static V InterleaveHigh16(V a, V b) { return _mm256_unpackhi_epi16(a, b); }
  static V InterleaveLow32(V a, V b) { return _mm256_unpacklo_epi32(a, b); }
  static V InterleaveHigh32(V a, V b) { return _mm256_unpackhi_epi32(a, b); }
  static V InterleaveLow64(V a, V b) { return _mm256_unpacklo_epi64(a, b); }
  static V InterleaveHigh64(V a, V b) { return _mm256_unpackhi_epi64(a, b); }
  static V FloatBits(V a) { return _mm256_castps_si256(_mm256_cvtepi32_ps(a)); }
  static V Equal16(V a, V b) { return _mm256_cmpeq_epi16(a, b); }
  static V PackSigned16(V a, V b) { return _mm256_packs_epi16(a, b); }
  static V PackUnsigned16(V a, V b) { return _mm256_packus_epi16(a, b); }
  static uint32_t MoveMask8(V a) { return static_cast<uint32_t>(_mm256_movemask_epi8(a)); }
  static V FirstWordOfEachLane(V a) { return _mm256_shuffle_epi32(_mm256_shufflelo_epi16(a, 0), 0); }
  static V EvenElements32(V a, V b) {
    return _mm256_castps_si256(
        _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
  }
  static V OddElements32(V a, V b) {
    return _mm256_castps_si256(
        _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), _MM_SHUFFLE(3, 1, 3, 1)));
  }
  // Per lane, each byte of `table` is the byte of a that it names (0..15, within the lane), or 0 where
  // its top bit is set.
  static V ShuffleBytes(V a, V table) { return _mm256_shuffle_epi8(a, table); }

  static V LoadAligned(const void* p) { return _mm256_load_si256(static_cast<const __m256i*>(p)); }
  static V LoadBytesAsWords(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  static void StoreWordsAsBytes(uint8_t* p, V a, V b) {
    // The lane-wise pack gives quarters 0, 2, 1, 3 of the 32 bytes.
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8));
  }
  static V LoadEightBytesEach(const uint8_t* const* p, ptrdiff_t offset) {
    return _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p[0] + offset)),
                                                   _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p[1] + offset))));
  }
  static void StoreLanePairs(uint8_t* first, ptrdiff_t step, V a, V b) {
    _mm256_store_si256(reinterpret_cast<__m256i*>(first), _mm256_permute2x128_si256(a, b, 0x20));
    _mm256_store_si256(reinterpret_cast<__m256i*>(first + step), _mm256_permute2x128_si256(a, b, 0x31));
  }
  static void StoreHalvesApart(uint8_t* low, uint8_t* high, V v) {
    const V halves = _mm256_permute4x64_epi64(v, _MM_SHUFFLE(3, 1, 2, 0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(low), _mm256_castsi256_si128(halves));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(high), _mm256_extracti128_si256(halves, 1));
  }
  static void StoreQuartersApart(uint8_t* first, uint8_t* second, V v) {
    const __m128i quarters = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(v, ZerosThenOnes()));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(first), quarters);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(second), _mm_srli_si128(quarters, 8));
  }

  // A byte shuffle spreads blue and red into the halves of each 32-bit element and green alone into
  // the low half, where SSE2 masks and shifts.
  static constexpr int kPixelReach = 24 + 16;
  static void LoadPixels(const uint8_t* p, V& br, V& g) {
    const V pixels = Windows(p, p + 24);
    br = _mm256_shuffle_epi8(pixels, _mm256_setr_epi8(0, -1, 2, -1, 3, -1, 5, -1, 6, -1, 8, -1, 9, -1, 11, -1,  //
                                                      0, -1, 2, -1, 3, -1, 5, -1, 6, -1, 8, -1, 9, -1, 11, -1));
    g = _mm256_shuffle_epi8(pixels, _mm256_setr_epi8(1, -1, -1, -1, 4, -1, -1, -1, 7, -1, -1, -1, 10, -1, -1, -1,  //
                                                     1, -1, -1, -1, 4, -1, -1, -1, 7, -1, -1, -1, 10, -1, -1, -1));
  }

  // Sixteen bytes for each lane j, from base + offsets[j].
  static V LoadWindows(const uint8_t* base, const int32_t* offsets) {
    return Windows(base + offsets[0], base + offsets[1]);
  }
  // Sixteen 32-bit elements (each 0..255) of 64 / kBytes vectors, in order, to sixteen bytes at p.
  static void StoreSixteen32AsBytes(uint8_t* p, const V* r) {
    // Lanes hold elements 0-3 | 4-7 and 8-11 | 12-15; the lane-wise packs leave them as the 32-bit
    // elements 0, 4, 1, 5.
    const V words = _mm256_packs_epi32(r[0], r[1]);
    const V bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words), ZerosThenOnes());
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(bytes));
  }

 private:
  // For a permute: element 0 of each lane, then element 1 of each lane (32-bit elements).
  static V ZerosThenOnes() { return _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0); }
  static V Windows(const uint8_t* low, const uint8_t* high) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
  }
};

}  // namespace
}  // namespace lanes

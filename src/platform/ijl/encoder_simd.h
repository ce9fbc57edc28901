#pragma once
// SSE2 helpers the encoder's stages share.

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace ijl::detail {

// Two 16-bit weights in every 32-bit lane, a in the low half and b in the high half: what pmaddwd
// multiplies a lane's two 16-bit values by.
inline __m128i Pair(int a, int b) { return _mm_set1_epi32(static_cast<int>((static_cast<uint32_t>(b) << 16) | static_cast<uint16_t>(a))); }

inline __m128i Load32(const uint8_t* p) {
  int32_t word;
  std::memcpy(&word, p, 4);
  return _mm_cvtsi32_si128(word);
}

inline void Store4(uint8_t* out, __m128i bytes) {
  const int32_t word = _mm_cvtsi128_si32(bytes);
  std::memcpy(out, &word, 4);
}

}  // namespace ijl::detail

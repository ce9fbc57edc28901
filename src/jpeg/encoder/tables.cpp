// The quantisation tables: the standard's, scaled for the quality, and the divisors the vector code
// quantises with.

#include <algorithm>
#include <bit>
#include <cstdint>

#include "jpeg/encoder/encoder.h"
#include "jpeg/encoder/kernels.h"

namespace jpeg::detail {

const uint8_t kLuminanceBase[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,   //
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,   //
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,   //
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99,
};

const uint8_t kChrominanceBase[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,  //
    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
};

void ScaledTable(const uint8_t base[64], int quality, uint8_t out[64]) {
  quality = std::clamp(quality, 1, 100);
  const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
  for (int i = 0; i < 64; ++i) out[i] = static_cast<uint8_t>(std::clamp((base[i] * scale + 50) / 100, 1, 255));
}

void QuantTable::Set(const uint8_t base[64], int quality) {
  ScaledTable(base, quality, natural);
  for (int v = 0; v < 8; ++v)
    for (int u = 0; u < 8; ++u) SetDivisor(u * 8 + v, static_cast<uint16_t>(8 * natural[v * 8 + u]));
}

void QuantTable::SetDivisor(int i, uint16_t d) {
  divisor[i] = d;
  half[i] = static_cast<uint16_t>(d / 2);
  const int j = std::bit_width(static_cast<unsigned>(d)) - 1;  // d >= 8: j >= 3
  multiplier[i] = static_cast<uint16_t>(((uint32_t{1} << (15 + j)) + d - 1) / d);
  shift[i] = static_cast<uint16_t>(1u << (16 - j));
}

}  // namespace jpeg::detail

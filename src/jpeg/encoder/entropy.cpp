#include "jpeg/encoder/entropy.h"

namespace jpeg::detail {

uint8_t* Bits::Stuffed(uint8_t* out, uint64_t word) {
  for (int shift = 56; shift >= 0; shift -= 8) {
    const uint8_t b = static_cast<uint8_t>(word >> shift);
    *out++ = b;
    if (b == 0xFF) *out++ = 0;
  }
  return out;
}

}  // namespace jpeg::detail

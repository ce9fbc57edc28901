#pragma once
// Checked signed arithmetic at the widths the program counts in. An overflow raises the runtime's
// overflow error; the checks go through a wider type so that they need no compiler extension.

#include <cmath>
#include <cstdint>

#include "platform/runtime/errors.h"

namespace rt {

inline int16_t Narrow16(int64_t value) {
  if (value < INT16_MIN || value > INT16_MAX) RaiseOverflow();
  return static_cast<int16_t>(value);
}
inline int32_t Narrow32(int64_t value) {
  if (value < INT32_MIN || value > INT32_MAX) RaiseOverflow();
  return static_cast<int32_t>(value);
}

inline int16_t Add16(int16_t a, int16_t b) { return Narrow16(int64_t{a} + b); }
inline int16_t Sub16(int16_t a, int16_t b) { return Narrow16(int64_t{a} - b); }
inline int16_t Mul16(int16_t a, int16_t b) { return Narrow16(int64_t{a} * b); }
inline int32_t Add32(int32_t a, int32_t b) { return Narrow32(int64_t{a} + b); }
inline int32_t Sub32(int32_t a, int32_t b) { return Narrow32(int64_t{a} - b); }
inline int32_t Mul32(int32_t a, int32_t b) { return Narrow32(int64_t{a} * b); }

// A floating-point result that is not finite means an invalid operation, a division by zero or an
// overflow happened on the way to it.
inline double CheckFinite(double value) {
  if (!std::isfinite(value)) RaiseFloatingPoint();
  return value;
}
inline float CheckFinite(float value) {
  if (!std::isfinite(value)) RaiseFloatingPoint();
  return value;
}

}  // namespace rt

#pragma once
// The resampler written out step by step as the program's arithmetic is defined, one checked byte
// read at a time, with nothing precomputed: what the fast kernel must equal byte for byte.

#include <cmath>

#include "image/pixel_view.h"
#include "platform/runtime/checked.h"

namespace reference {

inline int32_t RoundHalfEven(double value) { return static_cast<int32_t>(std::nearbyint(value)); }

inline void ResampleBilinear(const pixels::Image& source, const pixels::Image& target) {
  pixels::PixelView src(source);
  pixels::PixelView dst(target);
  const int32_t w = source.width, h = source.height, new_w = target.width, new_h = target.height;
  const float x_scale = static_cast<float>(static_cast<double>(w - 1) / new_w);
  const float y_scale = static_cast<float>(static_cast<double>(h - 1) / new_h);
  for (int32_t y = 0; y < new_h; ++y) {
    const float sy = static_cast<float>(static_cast<double>(y_scale) * y);
    const int32_t iy = static_cast<int32_t>(std::floor(sy));
    const float fy = static_cast<float>(static_cast<double>(sy) - iy);
    for (int32_t x = 0; x < new_w; ++x) {
      const float sx = static_cast<float>(static_cast<double>(x_scale) * x);
      const int32_t ix = static_cast<int32_t>(std::floor(sx));
      const float fx = static_cast<float>(static_cast<double>(sx) - ix);
      const int32_t c = rt::Mul32(3, ix);
      float top[6], next[6];
      for (int k = 0; k < 6; ++k) top[k] = src.Get(c + k, iy);
      for (int k = 0; k < 6; ++k) next[k] = src.Get(c + k, iy + 1);
      int32_t m[6];
      for (int k = 0; k < 6; ++k)
        m[k] = RoundHalfEven((static_cast<double>(1.0f) - fy) * static_cast<double>(top[k]) +
                             static_cast<double>(fy) * static_cast<double>(next[k]));
      for (int j = 0; j < 3; ++j) {
        int32_t out = RoundHalfEven((static_cast<double>(1.0f) - fx) * static_cast<double>(m[j]) +
                                    static_cast<double>(fx) * static_cast<double>(m[j + 3]));
        if (out < 0) out = 0;
        if (out > 255) out = 255;
        dst.Set(3 * x + j, y, static_cast<uint8_t>(out));
      }
    }
  }
}

}  // namespace reference

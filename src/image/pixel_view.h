#pragma once
// Bounds-checked byte views over the pixel memory of a 24-bit image. Free of Windows, so the pixel code
// also builds natively for sanitizers and fuzzing.

#include <cstddef>
#include <cstdint>

#include "platform/runtime/errors.h"

namespace pixels {

// The memory of one image: rows of `stride` bytes, `rows` of them, pixels of three bytes (blue, green,
// red), `width` pixels per row. Memory row 0 is the bottom row of the picture.
struct Image {
  uint8_t* bits = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;
};

// Element (c, r) is the byte at bits + r * stride + c; columns 0..stride-1, rows 0..rows-1. Every access
// checks both indices and raises the subscript-range error outside them; a view over no memory has no
// elements. The view never owns the memory.
class PixelView {
 public:
  PixelView(uint8_t* bits, int32_t columns, int32_t rows)
      : bits_(bits), columns_(bits && columns > 0 && rows > 0 ? columns : 0), rows_(bits && columns > 0 ? rows : 0) {
    if (rows_ < 0) rows_ = 0;
  }
  explicit PixelView(const Image& image) : PixelView(image.bits, image.stride, image.height) {}

  int32_t columns() const { return columns_; }
  int32_t rows() const { return rows_; }

  uint8_t Get(int32_t c, int32_t r) const { return *Address(c, r); }
  void Set(int32_t c, int32_t r, uint8_t value) { *Address(c, r) = value; }

  // Row r with its columns first..last proven inside the view once, for loops that stay within them.
  uint8_t* CheckedRow(int32_t r, int32_t first, int32_t last) const {
    if (r < 0 || r >= rows_ || first < 0 || last >= columns_ || first > last) rt::RaiseSubscriptRange();
    return bits_ + static_cast<ptrdiff_t>(r) * columns_;
  }

 private:
  uint8_t* Address(int32_t c, int32_t r) const {
    if (c < 0 || c >= columns_ || r < 0 || r >= rows_) rt::RaiseSubscriptRange();
    return bits_ + static_cast<ptrdiff_t>(r) * columns_ + c;
  }

  uint8_t* bits_;
  int32_t columns_;
  int32_t rows_;
};

}  // namespace pixels

#pragma once
// Bilinear resampling, noise fill and the copy from 32-bit pixels, on 24-bit bottom-up pixel memory.

#include "image/pixel_view.h"
#include "platform/runtime/cpu.h"
#include "platform/runtime/random.h"

namespace pixels {

// Overwrites every pixel of `target` from `source` by bilinear interpolation in two passes: first
// between the two neighbouring memory rows, rounded half to even, then between the two neighbouring
// pixels, rounded half to even. Scales, positions and fractions are single precision, the
// interpolations are evaluated exactly as double precision evaluates them. Raises the subscript-range
// error when a sample falls outside the source (a source 1 pixel wide or high, or one without memory),
// the overflow error when a byte column overflows 32 bits.
// Uses the widest vector instructions the processor has; every level gives the same bytes.
void ResampleBilinear(const Image& source, const Image& target);

// The same with the vector instructions of at most `level` (for tests and benchmarks).
void ResampleBilinear(const Image& source, const Image& target, rt::SimdLevel level);

// The level ResampleBilinear(..., wanted) uses on this processor and in this build.
rt::SimdLevel ResampleLevel(rt::SimdLevel wanted);

// Fills the pixels (not the row padding) with noise from the generator: gray (blue = green = red, row
// by row, one draw per pixel) or colour (blue 0, green and red drawn in turn, column by column).
void RandomiseBits(const Image& image, bool gray, rt::Pcg32& generator);

// round(r * 255) with r single precision and the product in double precision, halves to even.
uint8_t NoiseByte(float r);

// Fills the 24-bit `target` from 32-bit pixels of the same size (blue, green, red and an unused byte;
// `source_stride` bytes a row; the first row the top one when `top_down`, else the bottom one),
// dropping the unused byte: byte for byte what a blit of that bitmap into the target gives. The
// target's row padding is not touched.
void CopyFrom32Bit(const uint8_t* source, int32_t source_stride, bool top_down, const Image& target);

}  // namespace pixels

#pragma once
// The encoder's inner loops at each vector width: colour conversion of a row pair, and the transform
// and quantisation of two blocks that share a table. SSE2 is the baseline; the AVX2 forms live in
// avx2.cpp, built with their own flags, and Encode chooses among them at run time. Every level gives
// the same bytes.
//
// The translation units that use wider instructions define only functions of their own: this header
// holds declarations and plain data only, so that no inline function compiled for AVX2 can be taken by
// the linker for callers on processors without it.

#include <cstddef>
#include <cstdint>

#include "platform/runtime/cpu.h"

namespace jpeg::detail {

// The fixed-point constants every level computes with, so that the levels cannot drift apart.
//
// Colour conversion with the JFIF weights: luminance in 15 bits per pixel, chrominance in 13 bits on
// the sum of the four pixels of a 2x2 square (which is the average, in 15 bits).
inline constexpr int kYB = 3736, kYG = 19235, kYR = 9798;      // 0.114, 0.587, 0.299
inline constexpr int kCbB = 4096, kCbG = -2714, kCbR = -1382;  // 0.5, -0.331264, -0.168736
inline constexpr int kCrB = -666, kCrG = -3430, kCrR = 4096;   // -0.081312, -0.418688, 0.5
inline constexpr int kChromaBias = (128 << 15) + (1 << 14);    // the offset of 128 and the rounding

// The transform: cosines of 13 bits, sqrt(2) * cos(k * pi / 16) * 2^13 for k = 1..7 but 4, and two
// fractional bits kept between the passes.
inline constexpr int kConstBits = 13;
inline constexpr int kPass1Bits = 2;
inline constexpr int kCos1 = 11363, kCos2 = 10703, kCos3 = 9633, kCos5 = 6436, kCos6 = 4433, kCos7 = 2260;

// A quantisation table in the transposed order the transform produces, with what the vector division
// needs. The quotient q = floor(y / d) of y = |c| + d / 2 is floor(y * m / 2^(15 + j)) with
// j = floor(log2 d) and m = ceil(2^(15 + j) / d) <= 2^15, exactly for every y below 2^14 (and y is at
// most 8192 + 1020): with e = m * d - 2^(15 + j), which is below d <= 2^(j + 1), y * m / 2^(15 + j) is
// y / d plus y * e / (d * 2^(15 + j)), less than 1 / d, so it never reaches the next whole number.
// The vector code takes it in two high products: floor(2y * m / 2^16), then that times 2^(16 - j)
// over 2^16, which is the shift by j that each coefficient needs of its own.
struct QuantTable {
  uint8_t natural[64];  // as written to the file
  alignas(32) uint16_t divisor[64];
  alignas(32) uint16_t half[64];        // d / 2
  alignas(32) uint16_t multiplier[64];  // m
  alignas(32) uint16_t shift[64];       // 2^(16 - j)

  void Set(const uint8_t base[64], int quality);
  void SetDivisor(int i, uint16_t d);
};

// One block transformed and quantised, for the entropy coder.
struct QuantisedBlock {
  alignas(32) int16_t coef[64];  // transposed order: coef[u * 8 + v]
  // Per coefficient, how the entropy coder writes it: its bit length << 12 | its bits as coded (the
  // value itself, or for a negative one value - 1, in that many bits); for coefficients not zero only,
  // the others are left as they were.
  // Twelve bits are room enough: the transform of samples of -128..127 is at most 8 * 1024 in
  // magnitude (each orthonormal basis vector has norm 1, so no coefficient exceeds 128 * 8), and the
  // divisors are at least 8, so a quantised coefficient has at most 11 bits.
  alignas(32) uint16_t category[64];
  uint64_t nonzero;  // bit i set when coef[i] != 0
};

// Two rows of `count` pixels (count a multiple of 2) to luminance for both and chrominance for each
// 2x2 square: y0/y1 receive `count` samples, cb/cr `count / 2`.
using ConvertRows = void (*)(const uint8_t* row0, const uint8_t* row1, int32_t count, uint8_t* y0, uint8_t* y1,
                             uint8_t* cb, uint8_t* cr);

// The 8x8 blocks at a and at b (rows `stride` bytes apart), transformed and quantised with `table`
// into out[0] and out[1]; or, when the 64 samples of each block are all equal (flat), true, and out
// left as it was: a flat block's transform is its DC term alone, which the encoder has at hand.
using TransformPair = bool (*)(const uint8_t* a, const uint8_t* b, size_t stride, const QuantTable& table,
                               QuantisedBlock out[2]);

void ConvertRowPairSse2(const uint8_t* row0, const uint8_t* row1, int32_t count, uint8_t* y0, uint8_t* y1,
                        uint8_t* cb, uint8_t* cr);
bool TransformPairSse2(const uint8_t* a, const uint8_t* b, size_t stride, const QuantTable& table,
                       QuantisedBlock out[2]);
void ConvertRowPairAvx2(const uint8_t* row0, const uint8_t* row1, int32_t count, uint8_t* y0, uint8_t* y1,
                        uint8_t* cb, uint8_t* cr);
bool TransformPairAvx2(const uint8_t* a, const uint8_t* b, size_t stride, const QuantTable& table,
                       QuantisedBlock out[2]);

struct EncoderKernels {
  ConvertRows convert = ConvertRowPairSse2;
  TransformPair transform = TransformPairSse2;
};

// The kernels of the widest level up to `wanted` that this processor runs (see EncodeLevel).
EncoderKernels EncoderKernelsFor(rt::SimdLevel wanted);

}  // namespace jpeg::detail

#pragma once
// The encoder's vector arithmetic and its loops, written once for every vector width: the forward DCT
// and the quantisation of 8x8 blocks, the entropy coder's view of the result, and the fixed-point colour
// conversion of a row pair. Each is a template over a lanes struct `L` (platform/lanes) that names the
// instructions of its width: L::V is the vector, and every operation works on each 128-bit half apart,
// so a wider vector is that many SSE2 vectors side by side and gives the same integers in each half:
// one block to a half in the transform, eight pixels of each row to a half in the colour conversion.
//
// Include this only in a level's own .cpp file, compiled with that level's flags. Everything here is in
// an unnamed namespace, so that each of those files gets its own copy: no function compiled for AVX2
// can be taken by the linker for a caller on a processor without it.
//
// The transform is the separable DCT with 13-bit cosines, two fractional bits kept between the passes.
// The first pass runs down the columns of the block (each vector one row, so no transposition is
// needed), then the block is transposed once and the second pass runs down again: the result comes out
// transposed, which the quantisation table and the zigzag order are arranged for. The even half of each
// pass is the usual butterfly; the odd half multiplies the four differences by the 4x4 cosine matrix,
// two products to a pmaddwd. The samples go in as 0..255, and the level shift (sample - 128) is taken
// from the one sum it changes, that of all eight, which it lowers by 8 * 128; every other sum and
// difference is the same either way. No 16-bit sum can overflow: the first pass's sums of the
// unshifted samples are at most 8 * 255, an output is at most 4 * 1024 in magnitude, and a second-pass
// sum at most 8 times that.

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "jpeg/encoder/kernels.h"

namespace jpeg::detail {
namespace {

// One 1-D pass down the eight vectors (in place). Pass 1 keeps kPass1Bits fractional bits, pass 2
// removes them.
template <typename L, int kPass>
inline void DctPass(typename L::V r[8]) {
  using V = typename L::V;
  const V s07 = L::Add16(r[0], r[7]), d07 = L::Sub16(r[0], r[7]);
  const V s16 = L::Add16(r[1], r[6]), d16 = L::Sub16(r[1], r[6]);
  const V s25 = L::Add16(r[2], r[5]), d25 = L::Sub16(r[2], r[5]);
  const V s34 = L::Add16(r[3], r[4]), d34 = L::Sub16(r[3], r[4]);
  const V t10 = L::Add16(s07, s34), t13 = L::Sub16(s07, s34);
  const V t11 = L::Add16(s16, s25), t12 = L::Sub16(s16, s25);

  constexpr int shift = kPass == 1 ? kConstBits - kPass1Bits : kConstBits + kPass1Bits;
  const V round = L::Set32(1 << (shift - 1));
  auto rotate = [&](V lo, V hi, V k) {
    const V a = L::ShiftRightArithmetic32(L::Add32(L::MultiplyAdd16(lo, k), round), shift);
    const V b = L::ShiftRightArithmetic32(L::Add32(L::MultiplyAdd16(hi, k), round), shift);
    return L::PackSigned32(a, b);
  };
  auto rotate4 = [&](V lo01, V hi01, V lo23, V hi23, V k01, V k23) {
    V a = L::Add32(L::MultiplyAdd16(lo01, k01), L::MultiplyAdd16(lo23, k23));
    V b = L::Add32(L::MultiplyAdd16(hi01, k01), L::MultiplyAdd16(hi23, k23));
    a = L::ShiftRightArithmetic32(L::Add32(a, round), shift);
    b = L::ShiftRightArithmetic32(L::Add32(b, round), shift);
    return L::PackSigned32(a, b);
  };

  if (kPass == 1) {
    // The samples come in as 0..255: the level shift by 128 shows only in this sum of all eight.
    r[0] = L::ShiftLeft16(L::Sub16(L::Add16(t10, t11), L::Set16(8 * 128)), kPass1Bits);
    r[4] = L::ShiftLeft16(L::Sub16(t10, t11), kPass1Bits);
  } else {
    const V half = L::Set16(1 << (kPass1Bits - 1));
    r[0] = L::ShiftRightArithmetic16(L::Add16(L::Add16(t10, t11), half), kPass1Bits);
    r[4] = L::ShiftRightArithmetic16(L::Add16(L::Sub16(t10, t11), half), kPass1Bits);
  }
  const V e_lo = L::InterleaveLow16(t13, t12), e_hi = L::InterleaveHigh16(t13, t12);
  r[2] = rotate(e_lo, e_hi, L::Pair(kCos2, kCos6));
  r[6] = rotate(e_lo, e_hi, L::Pair(kCos6, -kCos2));

  const V a_lo = L::InterleaveLow16(d07, d16), a_hi = L::InterleaveHigh16(d07, d16);
  const V b_lo = L::InterleaveLow16(d25, d34), b_hi = L::InterleaveHigh16(d25, d34);
  r[1] = rotate4(a_lo, a_hi, b_lo, b_hi, L::Pair(kCos1, kCos3), L::Pair(kCos5, kCos7));
  r[3] = rotate4(a_lo, a_hi, b_lo, b_hi, L::Pair(kCos3, -kCos7), L::Pair(-kCos1, -kCos5));
  r[5] = rotate4(a_lo, a_hi, b_lo, b_hi, L::Pair(kCos5, -kCos1), L::Pair(kCos7, kCos3));
  r[7] = rotate4(a_lo, a_hi, b_lo, b_hi, L::Pair(kCos7, -kCos5), L::Pair(kCos3, -kCos1));
}

template <typename L>
inline void Transpose8x8(typename L::V r[8]) {
  using V = typename L::V;
  const V a0 = L::InterleaveLow16(r[0], r[1]), a1 = L::InterleaveHigh16(r[0], r[1]);
  const V a2 = L::InterleaveLow16(r[2], r[3]), a3 = L::InterleaveHigh16(r[2], r[3]);
  const V a4 = L::InterleaveLow16(r[4], r[5]), a5 = L::InterleaveHigh16(r[4], r[5]);
  const V a6 = L::InterleaveLow16(r[6], r[7]), a7 = L::InterleaveHigh16(r[6], r[7]);
  const V b0 = L::InterleaveLow32(a0, a2), b1 = L::InterleaveHigh32(a0, a2);
  const V b2 = L::InterleaveLow32(a1, a3), b3 = L::InterleaveHigh32(a1, a3);
  const V b4 = L::InterleaveLow32(a4, a6), b5 = L::InterleaveHigh32(a4, a6);
  const V b6 = L::InterleaveLow32(a5, a7), b7 = L::InterleaveHigh32(a5, a7);
  r[0] = L::InterleaveLow64(b0, b4);
  r[1] = L::InterleaveHigh64(b0, b4);
  r[2] = L::InterleaveLow64(b1, b5);
  r[3] = L::InterleaveHigh64(b1, b5);
  r[4] = L::InterleaveLow64(b2, b6);
  r[5] = L::InterleaveHigh64(b2, b6);
  r[6] = L::InterleaveLow64(b3, b7);
  r[7] = L::InterleaveHigh64(b3, b7);
}

// Eight rows of samples, level-shifted in 16-bit lanes, to their transform (transposed).
template <typename L>
inline void Dct(typename L::V r[8]) {
  DctPass<L, 1>(r);
  Transpose8x8<L>(r);
  DctPass<L, 2>(r);
}

// A row of quantised coefficients: their magnitudes and their signs (all ones where the transform was
// negative) apart, as the entropy coder's categories take them.
template <typename L>
struct Quantised {
  typename L::V magnitude, sign;
  typename L::V Value() const { return L::Sub16(L::Xor(magnitude, sign), sign); }
};

// Row i of the transform (transposed order) divided by the table's row i, rounding halves away from
// zero: floor((|c| + d / 2) / d) as QuantTable describes, with the sign of c.
template <typename L>
inline Quantised<L> QuantiseRow(typename L::V c, const QuantTable& table, int i) {
  using V = typename L::V;
  const V sign = L::ShiftRightArithmetic16(c, 15);
  const V y = L::Add16(L::Sub16(L::Xor(c, sign), sign), L::Row(table.half + 8 * i));  // below 2^14
  const V scaled = L::MultiplyHighUnsigned16(L::Add16(y, y), L::Row(table.multiplier + 8 * i));
  return {L::MultiplyHighUnsigned16(scaled, L::Row(table.shift + 8 * i)), sign};
}

// The entropy coder's view of quantised coefficients (QuantisedBlock::category). For a magnitude m,
// `ones` (m with every bit below its top bit set) is the mask of its bit length, and the bits of a
// negative value - 1 are those of ~m, that is m ^ ones. The bit length is read from the exponent of m as
// a float, exact for every m below 2^24: 127 + floor(log2 m), so the length is the exponent less 126,
// and m = 0 (all bits clear) comes out below zero and is raised to 0. The even and the odd 16-bit lanes
// are converted apart, as 32-bit integers, and put back together.
template <typename L>
inline typename L::V Categories(const Quantised<L>& q) {
  using V = typename L::V;
  const V m = q.magnitude, sign = q.sign;
  V ones = L::Or(m, L::ShiftRight16(m, 1));
  ones = L::Or(ones, L::ShiftRight16(ones, 2));
  ones = L::Or(ones, L::ShiftRight16(ones, 4));
  ones = L::Or(ones, L::ShiftRight16(ones, 8));
  const V extra = L::Xor(m, L::And(ones, sign));
  const V even = L::And(m, L::Set32(0xFFFF)), odd = L::ShiftRight32(m, 16);
  const V e_even = L::ShiftRight32(L::FloatBits(even), 23);
  const V e_odd = L::ShiftRight32(L::FloatBits(odd), 23);
  const V exponent = L::Or(e_even, L::ShiftLeft32(e_odd, 16));
  const V bits = L::Max16(L::Sub16(exponent, L::Set16(126)), L::Zero());
  return L::Or(L::ShiftLeft16(bits, 12), extra);
}

// Colour conversion with the JFIF weights (kernels.h). Pixels sit one to a 32-bit lane: blue and
// red in the lane's two 16-bit halves (`br`), green in the low half (`g`), which is the shape pmaddwd
// multiplies and adds in one step. The high half of a green lane may hold a neighbour's byte: its weight
// is 0, and the 16-bit sums below keep the halves apart.
template <typename L>
struct ColourWeights {
  using V = typename L::V;
  V y_br = L::Pair(kYB, kYR), y_g = L::Pair(kYG, 0), y_round = L::Set32(1 << 14);
  V cb_br = L::Pair(kCbB, kCbR), cb_g = L::Pair(kCbG, 0);
  V cr_br = L::Pair(kCrB, kCrR), cr_g = L::Pair(kCrG, 0);
  V chroma_bias = L::Set32(kChromaBias);
};

// Luminance of the pixels, in 32-bit lanes.
template <typename L>
inline typename L::V Luma(typename L::V br, typename L::V g, const ColourWeights<L>& k) {
  const typename L::V y = L::Add32(L::MultiplyAdd16(br, k.y_br), L::MultiplyAdd16(g, k.y_g));
  return L::ShiftRight32(L::Add32(y, k.y_round), 15);
}

// Sums over the 2x2 squares of two rows' pixels (row a over row b), of the first half's four pixels
// of each lane, then the second half's: per lane squares 0 and 1, then 2 and 3. The vertical sums keep
// the 16-bit halves apart; so do the 32-bit sums of neighbours, as no half's sum reaches 2^16.
template <typename L>
inline typename L::V SquareSums(typename L::V a0, typename L::V b0, typename L::V a1, typename L::V b1) {
  const typename L::V first = L::Add16(a0, b0), second = L::Add16(a1, b1);
  return L::Add32(L::EvenElements32(first, second), L::OddElements32(first, second));
}

// Chrominance from the sums of 2x2 squares.
template <typename L>
inline typename L::V Chroma(typename L::V br, typename L::V g, typename L::V w_br, typename L::V w_g,
                            const ColourWeights<L>& k) {
  const typename L::V c = L::Add32(L::MultiplyAdd16(br, w_br), L::MultiplyAdd16(g, w_g));
  return L::ShiftRightArithmetic32(L::Add32(c, k.chroma_bias), 15);
}

// The transform and quantisation (TransformPair) of L::kLanes blocks at once, blocks[j] (rows `stride`
// bytes apart) in lane j, into out[j]. First the rows, as 16-bit words (the transform shifts them).
template <typename L>
inline void LoadBlocks(const uint8_t* const* blocks, ptrdiff_t stride, typename L::V r[8]) {
  for (int i = 0; i < 8; ++i) r[i] = L::LoadEightBytesEach(blocks, i * stride);
}

// MoveMask8's result when every byte's top bit is set.
template <typename L>
constexpr uint32_t kAllSet = static_cast<uint32_t>((uint64_t{1} << L::kBytes) - 1);

// Whether every lane's 64 samples are equal to its first.
template <typename L>
inline bool Flat(const typename L::V r[8]) {
  using V = typename L::V;
  const V first = L::FirstWordOfEachLane(r[0]);
  V same = L::Equal16(r[0], first);
  for (int i = 1; i < 8; ++i) same = L::And(same, L::Equal16(r[i], first));
  return L::MoveMask8(same) == kAllSet<L>;
}

template <typename L>
inline void TransformBlocks(typename L::V r[8], const QuantTable& table, QuantisedBlock* out) {
  using V = typename L::V;
  Dct<L>(r);
  const V zero = L::Zero();
  uint64_t nonzero[L::kLanes] = {};
  constexpr ptrdiff_t kNextBlock = sizeof(QuantisedBlock);
  for (int i = 0; i < 8; i += 2) {
    const Quantised<L> q0 = QuantiseRow<L>(r[i], table, i), q1 = QuantiseRow<L>(r[i + 1], table, i + 1);
    L::StoreLanePairs(reinterpret_cast<uint8_t*>(out[0].coef + 8 * i), kNextBlock, q0.Value(), q1.Value());
    // Sixteen bits for each lane: which of its block's rows i and i + 1 are zero.
    const uint32_t zeros =
        L::MoveMask8(L::PackSigned16(L::Equal16(q0.magnitude, zero), L::Equal16(q1.magnitude, zero)));
    // The entropy coder reads the categories of the coefficients that are not zero only: rows of zeros
    // in every lane, common in the high frequencies, have none to work out.
    if (zeros != kAllSet<L>) {
      L::StoreLanePairs(reinterpret_cast<uint8_t*>(out[0].category + 8 * i), kNextBlock, Categories<L>(q0),
                        Categories<L>(q1));
    }
    for (int j = 0; j < L::kLanes; ++j) nonzero[j] |= static_cast<uint64_t>(~(zeros >> (16 * j)) & 0xFFFF) << (8 * i);
  }
  for (int j = 0; j < L::kLanes; ++j) out[j].nonzero = nonzero[j];
}

// Both blocks' rows are loaded first: two flat blocks (half of a screen's) skip the transform.
template <typename L>
inline bool TransformPairOver(const uint8_t* a, const uint8_t* b, size_t stride, const QuantTable& table,
                              QuantisedBlock out[2]) {
  constexpr int kVectors = 2 / L::kLanes;  // each holding L::kLanes blocks
  const uint8_t* const blocks[2] = {a, b};
  typename L::V r[kVectors][8];
  bool flat = true;
  for (int j = 0; j < kVectors; ++j) {
    LoadBlocks<L>(blocks + j * L::kLanes, static_cast<ptrdiff_t>(stride), r[j]);
    flat = flat && Flat<L>(r[j]);
  }
  if (flat) return true;
  for (int j = 0; j < kVectors; ++j) TransformBlocks<L>(r[j], table, out + j * L::kLanes);
  return false;
}

inline uint8_t Clamp255(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

inline uint8_t LumaOf(const uint8_t* p) {
  return static_cast<uint8_t>((kYB * p[0] + kYG * p[1] + kYR * p[2] + (1 << 14)) >> 15);
}

// The colour conversion (ConvertRows) of pixels x..count - 1, in plain integers, one 2x2 square at a time.
inline void ConvertRowPairTail(const uint8_t* row0, const uint8_t* row1, int32_t x, int32_t count, uint8_t* y0,
                               uint8_t* y1, uint8_t* cb, uint8_t* cr) {
  for (; x < count; x += 2) {
    const uint8_t* a = row0 + 3 * x;
    const uint8_t* b = row1 + 3 * x;
    y0[x] = LumaOf(a);
    y0[x + 1] = LumaOf(a + 3);
    y1[x] = LumaOf(b);
    y1[x + 1] = LumaOf(b + 3);
    const int blue = a[0] + a[3] + b[0] + b[3];
    const int green = a[1] + a[4] + b[1] + b[4];
    const int red = a[2] + a[5] + b[2] + b[5];
    cb[x / 2] = Clamp255((kCbB * blue + kCbG * green + kCbR * red + kChromaBias) >> 15);
    cr[x / 2] = Clamp255((kCrB * blue + kCrG * green + kCrR * red + kChromaBias) >> 15);
  }
}

// The colour conversion from pixel x on: eight pixels of each row to a lane a step, while the loads stay
// within the row, then the pixels left at the next narrower level, and the last few in plain integers.
// Each step loads two vectors a row, pixels 0..3 of each lane's eight, then 4..7, so that packing the two
// puts each lane's eight in order. Luminance takes 15-bit weights per pixel, chrominance 13-bit weights
// on the sums of the four pixels of a 2x2 square (so the average is taken before the conversion, which
// is the same linear map).
template <typename L>
inline void ConvertRowPairFrom(const uint8_t* row0, const uint8_t* row1, int32_t x, int32_t count, uint8_t* y0,
                               uint8_t* y1, uint8_t* cb, uint8_t* cr) {
  using V = typename L::V;
  const ColourWeights<L> k;
  for (; 3 * x + 12 + L::kPixelReach <= 3 * count; x += 8 * L::kLanes) {
    V a_br[2], a_g[2], b_br[2], b_g[2];
    for (int half = 0; half < 2; ++half) {
      L::LoadPixels(row0 + 3 * x + 12 * half, a_br[half], a_g[half]);
      L::LoadPixels(row1 + 3 * x + 12 * half, b_br[half], b_g[half]);
    }
    const V ya = L::PackSigned32(Luma<L>(a_br[0], a_g[0], k), Luma<L>(a_br[1], a_g[1], k));
    const V yb = L::PackSigned32(Luma<L>(b_br[0], b_g[0], k), Luma<L>(b_br[1], b_g[1], k));
    L::StoreHalvesApart(y0 + x, y1 + x, L::PackUnsigned16(ya, yb));

    const V br = SquareSums<L>(a_br[0], b_br[0], a_br[1], b_br[1]);
    const V g = SquareSums<L>(a_g[0], b_g[0], a_g[1], b_g[1]);
    const V u = Chroma<L>(br, g, k.cb_br, k.cb_g, k), v = Chroma<L>(br, g, k.cr_br, k.cr_g, k);
    L::StoreQuartersApart(cb + x / 2, cr + x / 2, L::PackUnsigned16(L::PackSigned32(u, v), L::Zero()));
  }
  if constexpr (std::is_void_v<typename L::Narrower>) {
    ConvertRowPairTail(row0, row1, x, count, y0, y1, cb, cr);
  } else {
    ConvertRowPairFrom<typename L::Narrower>(row0, row1, x, count, y0, y1, cb, cr);
  }
}

}  // namespace
}  // namespace jpeg::detail

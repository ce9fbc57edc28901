#include "platform/ijl/encoder.h"

#include <emmintrin.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

// How the pieces fit.
//
// The picture goes through in bands of 16 rows (one row of 16x16 units). Each band is converted to
// luminance rows and to chrominance rows at half width and half height, padded on the right and at the
// bottom by repeating the last column and row. Each 8x8 block is then transformed, quantised and
// Huffman coded straight into the output buffer.
//
// Colour conversion uses the JFIF weights in fixed point: luminance with 15-bit weights per pixel,
// chrominance with 13-bit weights on the sums of the four pixels of a 2x2 square (so the average is
// taken before the conversion, which is the same linear map). Pixels are handled four to a vector, one
// 32-bit lane each: blue and red then sit in the two 16-bit halves of a lane, green alone, which is the
// shape pmaddwd multiplies and adds in one step.
//
// The transform is the separable DCT with 13-bit cosines, two fractional bits kept between the passes.
// The first pass runs down the columns of the block (each vector one row, so no transposition is
// needed), then the block is transposed once and the second pass runs down again: the result comes out
// transposed, which the quantisation table and the zigzag order are arranged for. The even half of each
// pass is the usual butterfly; the odd half multiplies the four differences by the 4x4 cosine matrix,
// two products to a pmaddwd. With samples of -128..127 no 16-bit sum can overflow: a first-pass output
// is at most 4 * 1024 in magnitude, and a second-pass sum at most 8 times that.
//
// A block whose 64 samples are equal transforms to its DC term alone (64 * (sample - 128), exactly what
// the transform gives for it), so such blocks skip the transform: screens are full of them.

namespace ijl {
namespace detail {

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

const uint8_t kZigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,   //
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,  //
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,  //
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

}  // namespace detail

namespace {

using detail::kZigzag;

// The standard Huffman tables: code counts per length 1..16, then the symbols.
struct HuffSpec {
  uint8_t bits[16];
  uint8_t values[162];
  int count;
};

const HuffSpec kDcLuminance = {{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0},
                               {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
                               12};
const HuffSpec kDcChrominance = {{0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0},
                                 {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
                                 12};
const HuffSpec kAcLuminance = {
    {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d},
    {0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
     0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72,
     0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37,
     0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
     0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
     0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3,
     0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3,
     0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2,
     0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa},
    162};
const HuffSpec kAcChrominance = {
    {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77},
    {0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22,
     0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1,
     0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36,
     0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58,
     0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
     0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a,
     0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba,
     0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda,
     0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa},
    162};

// Code and length per symbol (Annex C of the standard).
struct HuffTable {
  uint32_t code[256] = {};
  uint8_t size[256] = {};

  explicit HuffTable(const HuffSpec& spec) {
    uint32_t next = 0;
    int k = 0;
    for (int length = 1; length <= 16; ++length) {
      for (int i = 0; i < spec.bits[length - 1]; ++i, ++k) {
        code[spec.values[k]] = next++;
        size[spec.values[k]] = static_cast<uint8_t>(length);
      }
      next <<= 1;
    }
  }
};

// A quantisation table in the transposed order the transform produces, with what the vector
// division needs: q = floor((|c| + d / 2) * m / 2^16), corrected by one where that falls short.
struct QuantTable {
  uint8_t natural[64];  // as written to the file
  alignas(16) uint16_t divisor[64];
  alignas(16) uint16_t half[64];
  alignas(16) uint16_t reciprocal[64];

  void Set(const uint8_t base[64], int quality) {
    detail::ScaledTable(base, quality, natural);
    for (int v = 0; v < 8; ++v)
      for (int u = 0; u < 8; ++u) SetDivisor(u * 8 + v, static_cast<uint16_t>(8 * natural[v * 8 + u]));
  }

  void SetDivisor(int i, uint16_t d) {
    divisor[i] = d;
    half[i] = static_cast<uint16_t>(d / 2);
    reciprocal[i] = static_cast<uint16_t>(65536u / d);  // d >= 8, so it fits
  }
};

// Zigzag position -> index in the transposed block.
constexpr uint8_t TransposedIndex(int zigzag) {
  const int natural = detail::kZigzag[zigzag];
  return static_cast<uint8_t>((natural % 8) * 8 + natural / 8);
}

// Where the non-zero coefficients of a transposed block stand in zigzag order: the block's 64-bit mask
// (bit u * 8 + v for coefficient (u, v)) is looked up a byte (one vector) at a time.
struct ZigzagOrder {
  uint8_t index[64];         // zigzag position -> transposed index
  uint64_t mask[8][256];     // vector u, its byte of the mask -> bits at the zigzag positions

  ZigzagOrder() {
    uint8_t position[64];
    for (int z = 0; z < 64; ++z) {
      index[z] = TransposedIndex(z);
      position[index[z]] = static_cast<uint8_t>(z);
    }
    for (int u = 0; u < 8; ++u)
      for (int byte = 0; byte < 256; ++byte) {
        uint64_t bits = 0;
        for (int v = 0; v < 8; ++v)
          if (byte & (1 << v)) bits |= uint64_t{1} << position[u * 8 + v];
        mask[u][byte] = bits;
      }
  }

  uint64_t Zigzag(uint64_t transposed) const {
    uint64_t bits = 0;
    for (int u = 0; u < 8; ++u) bits |= mask[u][(transposed >> (8 * u)) & 0xFF];
    return bits;
  }
};

const ZigzagOrder& Zigzag() {
  static const ZigzagOrder order;
  return order;
}

// ---------------------------------------------------------------------------------------------------
// Colour conversion.

constexpr int kYB = 3736, kYG = 19235, kYR = 9798;  // 0.114, 0.587, 0.299 in 15 bits
constexpr int kCbB = 4096, kCbG = -2714, kCbR = -1382;  // 0.5, -0.331264, -0.168736 in 13 bits
constexpr int kCrB = -666, kCrG = -3430, kCrR = 4096;   // -0.081312, -0.418688, 0.5 in 13 bits
constexpr int kChromaBias = (128 << 15) + (1 << 14);

inline uint8_t Clamp255(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

inline uint8_t LumaOf(const uint8_t* p) { return static_cast<uint8_t>((kYB * p[0] + kYG * p[1] + kYR * p[2] + (1 << 14)) >> 15); }

// Two 16-bit weights in every 32-bit lane, a in the low half and b in the high half: what pmaddwd
// multiplies a lane's two 16-bit values by.
inline __m128i Pair(int a, int b) { return _mm_set1_epi32(static_cast<int>((static_cast<uint32_t>(b) << 16) | static_cast<uint16_t>(a))); }

inline __m128i Load32(const uint8_t* p) {
  int32_t word;
  std::memcpy(&word, p, 4);
  return _mm_cvtsi32_si128(word);
}

// Four pixels (12 bytes from p; 13 are read) as four 32-bit lanes: blue | green << 8 | red << 16, the
// top byte the next pixel's blue. Four loads and three unpacks: loads are cheaper than byte shifts.
inline __m128i FourPixels(const uint8_t* p) {
  const __m128i p01 = _mm_unpacklo_epi32(Load32(p), Load32(p + 3));
  const __m128i p23 = _mm_unpacklo_epi32(Load32(p + 6), Load32(p + 9));
  return _mm_unpacklo_epi64(p01, p23);
}

struct ColourConstants {
  __m128i low_mask = _mm_set1_epi32(0x00FF00FF);
  // Blue and red share a lane's halves; green's high half holds a neighbour's byte, weighted 0.
  __m128i y_br = Pair(kYB, kYR);
  __m128i y_g = Pair(kYG, 0);
  __m128i y_round = _mm_set1_epi32(1 << 14);
  __m128i cb_br = Pair(kCbB, kCbR);
  __m128i cb_g = Pair(kCbG, 0);
  __m128i cr_br = Pair(kCrB, kCrR);
  __m128i cr_g = Pair(kCrG, 0);
  __m128i chroma_bias = _mm_set1_epi32(kChromaBias);
};

// Luminance of four pixels given as blue/red and green lanes, in 32-bit lanes.
inline __m128i Luma4(__m128i br, __m128i g, const ColourConstants& k) {
  __m128i y = _mm_add_epi32(_mm_madd_epi16(br, k.y_br), _mm_madd_epi16(g, k.y_g));
  return _mm_srli_epi32(_mm_add_epi32(y, k.y_round), 15);
}

// Chrominance from blue/red and green sums of 2x2 squares, valid in lanes 0 and 2.
inline __m128i Chroma(__m128i br, __m128i g, __m128i w_br, __m128i w_g, const ColourConstants& k) {
  __m128i c = _mm_add_epi32(_mm_madd_epi16(br, w_br), _mm_madd_epi16(g, w_g));
  return _mm_srai_epi32(_mm_add_epi32(c, k.chroma_bias), 15);
}

inline void Store4(uint8_t* out, __m128i bytes) {
  const int32_t word = _mm_cvtsi128_si32(bytes);
  std::memcpy(out, &word, 4);
}

// ---------------------------------------------------------------------------------------------------
// The transform.

constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;

// One 1-D pass down the eight vectors (in place). Pass 1 keeps kPass1Bits fractional bits, pass 2
// removes them.
template <int kPass>
inline void DctPass(__m128i r[8]) {
  const __m128i s07 = _mm_add_epi16(r[0], r[7]), d07 = _mm_sub_epi16(r[0], r[7]);
  const __m128i s16 = _mm_add_epi16(r[1], r[6]), d16 = _mm_sub_epi16(r[1], r[6]);
  const __m128i s25 = _mm_add_epi16(r[2], r[5]), d25 = _mm_sub_epi16(r[2], r[5]);
  const __m128i s34 = _mm_add_epi16(r[3], r[4]), d34 = _mm_sub_epi16(r[3], r[4]);
  const __m128i t10 = _mm_add_epi16(s07, s34), t13 = _mm_sub_epi16(s07, s34);
  const __m128i t11 = _mm_add_epi16(s16, s25), t12 = _mm_sub_epi16(s16, s25);

  constexpr int shift = kPass == 1 ? kConstBits - kPass1Bits : kConstBits + kPass1Bits;
  const __m128i round = _mm_set1_epi32(1 << (shift - 1));
  auto rotate = [&](__m128i lo, __m128i hi, __m128i k) {
    __m128i a = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(lo, k), round), shift);
    __m128i b = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(hi, k), round), shift);
    return _mm_packs_epi32(a, b);
  };
  auto rotate4 = [&](__m128i lo01, __m128i hi01, __m128i lo23, __m128i hi23, __m128i k01, __m128i k23) {
    __m128i a = _mm_add_epi32(_mm_madd_epi16(lo01, k01), _mm_madd_epi16(lo23, k23));
    __m128i b = _mm_add_epi32(_mm_madd_epi16(hi01, k01), _mm_madd_epi16(hi23, k23));
    a = _mm_srai_epi32(_mm_add_epi32(a, round), shift);
    b = _mm_srai_epi32(_mm_add_epi32(b, round), shift);
    return _mm_packs_epi32(a, b);
  };

  if (kPass == 1) {
    r[0] = _mm_slli_epi16(_mm_add_epi16(t10, t11), kPass1Bits);
    r[4] = _mm_slli_epi16(_mm_sub_epi16(t10, t11), kPass1Bits);
  } else {
    const __m128i half = _mm_set1_epi16(1 << (kPass1Bits - 1));
    r[0] = _mm_srai_epi16(_mm_add_epi16(_mm_add_epi16(t10, t11), half), kPass1Bits);
    r[4] = _mm_srai_epi16(_mm_add_epi16(_mm_sub_epi16(t10, t11), half), kPass1Bits);
  }
  const __m128i e_lo = _mm_unpacklo_epi16(t13, t12), e_hi = _mm_unpackhi_epi16(t13, t12);
  r[2] = rotate(e_lo, e_hi, Pair(10703, 4433));
  r[6] = rotate(e_lo, e_hi, Pair(4433, -10703));

  const __m128i a_lo = _mm_unpacklo_epi16(d07, d16), a_hi = _mm_unpackhi_epi16(d07, d16);
  const __m128i b_lo = _mm_unpacklo_epi16(d25, d34), b_hi = _mm_unpackhi_epi16(d25, d34);
  r[1] = rotate4(a_lo, a_hi, b_lo, b_hi, Pair(11363, 9633), Pair(6436, 2260));
  r[3] = rotate4(a_lo, a_hi, b_lo, b_hi, Pair(9633, -2260), Pair(-11363, -6436));
  r[5] = rotate4(a_lo, a_hi, b_lo, b_hi, Pair(6436, -11363), Pair(2260, 9633));
  r[7] = rotate4(a_lo, a_hi, b_lo, b_hi, Pair(2260, -6436), Pair(9633, -11363));
}

inline void Transpose8x8(__m128i r[8]) {
  const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
  const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
  const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
  const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
  r[0] = _mm_unpacklo_epi64(b0, b4);
  r[1] = _mm_unpackhi_epi64(b0, b4);
  r[2] = _mm_unpacklo_epi64(b1, b5);
  r[3] = _mm_unpackhi_epi64(b1, b5);
  r[4] = _mm_unpacklo_epi64(b2, b6);
  r[5] = _mm_unpackhi_epi64(b2, b6);
  r[6] = _mm_unpacklo_epi64(b3, b7);
  r[7] = _mm_unpackhi_epi64(b3, b7);
}

// Eight rows of eight samples, level-shifted to 16-bit lanes.
inline void LoadRows(const __m128i bytes[8], __m128i r[8]) {
  const __m128i zero = _mm_setzero_si128(), centre = _mm_set1_epi16(128);
  for (int i = 0; i < 8; ++i) r[i] = _mm_sub_epi16(_mm_unpacklo_epi8(bytes[i], zero), centre);
}

inline void Dct(__m128i r[8]) {
  DctPass<1>(r);
  Transpose8x8(r);
  DctPass<2>(r);
}

inline __m128i QuantiseVector(__m128i c, const QuantTable& table, int i) {
  const __m128i d = _mm_load_si128(reinterpret_cast<const __m128i*>(table.divisor + 8 * i));
  const __m128i h = _mm_load_si128(reinterpret_cast<const __m128i*>(table.half + 8 * i));
  const __m128i m = _mm_load_si128(reinterpret_cast<const __m128i*>(table.reciprocal + 8 * i));
  const __m128i sign = _mm_srai_epi16(c, 15);
  const __m128i y = _mm_add_epi16(_mm_sub_epi16(_mm_xor_si128(c, sign), sign), h);  // |c| + d/2, below 2^16
  __m128i q = _mm_mulhi_epu16(y, m);  // floor(y / d) or one less
  const __m128i rest = _mm_sub_epi16(y, _mm_mullo_epi16(q, d));
  q = _mm_sub_epi16(q, _mm_cmpgt_epi16(rest, _mm_sub_epi16(d, _mm_set1_epi16(1))));
  return _mm_sub_epi16(_mm_xor_si128(q, sign), sign);
}

// ---------------------------------------------------------------------------------------------------
// The entropy coder's output.

class BitWriter {
 public:
  explicit BitWriter(Sink& sink) : sink_(sink), buffer_(new (std::nothrow) uint8_t[kChunk + kSlack]) {}
  bool ok() const { return buffer_ != nullptr && !failed_; }

  // Room for `bytes` more without a flush; false once the sink has failed.
  bool Reserve(size_t bytes) {
    if (pos_ + bytes > kChunk) Flush();
    return !failed_;
  }
  void Byte(uint8_t b) { buffer_[pos_++] = b; }
  void Word(uint16_t w) {
    Byte(static_cast<uint8_t>(w >> 8));
    Byte(static_cast<uint8_t>(w));
  }
  void Bytes(const uint8_t* data, size_t size) {
    std::memcpy(buffer_.get() + pos_, data, size);
    pos_ += size;
  }

  // Appends the low `count` bits of `value` (count <= 27), stuffing a zero after each 0xFF byte.
  void Put(uint32_t value, int count) {
    acc_ = (acc_ << count) | value;
    bits_ += count;
    if (bits_ >= 32) {
      bits_ -= 32;
      const uint32_t word = static_cast<uint32_t>(acc_ >> bits_);
      const uint32_t inverse = ~word;
      if (((inverse - 0x01010101u) & ~inverse & 0x80808080u) == 0) {
        const uint8_t bytes[4] = {static_cast<uint8_t>(word >> 24), static_cast<uint8_t>(word >> 16),
                                  static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
        std::memcpy(buffer_.get() + pos_, bytes, 4);
        pos_ += 4;
      } else {
        for (int shift = 24; shift >= 0; shift -= 8) Stuffed(static_cast<uint8_t>(word >> shift));
      }
    }
  }

  // Pads the last byte with one bits, as the standard asks.
  void AlignWithOnes() {
    const int pad = (8 - bits_ % 8) % 8;
    if (pad) {
      acc_ = (acc_ << pad) | ((1u << pad) - 1);
      bits_ += pad;
    }
    while (bits_ > 0) {
      bits_ -= 8;
      Stuffed(static_cast<uint8_t>(acc_ >> bits_));
    }
  }

  bool Flush() {
    if (!failed_ && pos_ > 0 && !sink_.Put(buffer_.get(), pos_)) failed_ = true;
    pos_ = 0;
    return !failed_;
  }

 private:
  static constexpr size_t kChunk = 256 * 1024;
  static constexpr size_t kSlack = 8 * 1024;  // more than one unit of six blocks can take

  void Stuffed(uint8_t b) {
    buffer_[pos_++] = b;
    if (b == 0xFF) buffer_[pos_++] = 0;
  }

  Sink& sink_;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t pos_ = 0;
  uint64_t acc_ = 0;
  int bits_ = 0;
  bool failed_ = false;
};

// A coefficient (or DC difference) as the standard codes it: its bit length and its bits, negative
// values as value - 1 in that many bits.
struct Category {
  int bits;
  uint32_t extra;
};

inline Category CategoryOf(int value) {
  const int bits = std::bit_width(static_cast<uint32_t>(value < 0 ? -value : value));
  return {bits, static_cast<uint32_t>(value < 0 ? value - 1 : value) & ((1u << bits) - 1)};
}

constexpr int kEndOfBlock = 0x00, kSixteenZeros = 0xF0;

struct Component {
  const QuantTable* quant;
  const HuffTable* dc;
  const HuffTable* ac;
  int last_dc = 0;
};

class Encoder {
 public:
  Encoder(const Pixels& pixels, int quality, Sink& sink)
      : pixels_(pixels), sink_(sink), out_(sink), dc_luma_(kDcLuminance), dc_chroma_(kDcChrominance),
        ac_luma_(kAcLuminance), ac_chroma_(kAcChrominance) {
    luma_.Set(detail::kLuminanceBase, quality);
    chroma_.Set(detail::kChrominanceBase, quality);
    units_across_ = (pixels.width + 15) / 16;
    luma_stride_ = static_cast<size_t>(units_across_) * 16;
    chroma_stride_ = static_cast<size_t>(units_across_) * 8;
  }

  EncodeResult Run() {
    std::vector<uint8_t> luma, cb, cr;
    try {
      luma.resize(luma_stride_ * 16);
      cb.resize(chroma_stride_ * 8);
      cr.resize(chroma_stride_ * 8);
    } catch (const std::bad_alloc&) {
      return EncodeResult::kOutOfMemory;
    }
    if (!out_.ok()) return EncodeResult::kOutOfMemory;
    WriteHeaders();

    Component y{&luma_, &dc_luma_, &ac_luma_}, u{&chroma_, &dc_chroma_, &ac_chroma_},
        v{&chroma_, &dc_chroma_, &ac_chroma_};
    const int32_t bands = (pixels_.height + 15) / 16;
    for (int32_t band = 0; band < bands; ++band) {
      if (!sink_.Rows(std::min(band * 16, pixels_.height))) return EncodeResult::kStopped;
      ConvertBand(band * 16, luma.data(), cb.data(), cr.data());
      for (int32_t unit = 0; unit < units_across_; ++unit) {
        if (!out_.Reserve(4096)) return EncodeResult::kSinkFailed;
        const uint8_t* l = luma.data() + unit * 16;
        Block(l, luma_stride_, y);
        Block(l + 8, luma_stride_, y);
        Block(l + 8 * luma_stride_, luma_stride_, y);
        Block(l + 8 * luma_stride_ + 8, luma_stride_, y);
        Block(cb.data() + unit * 8, chroma_stride_, u);
        Block(cr.data() + unit * 8, chroma_stride_, v);
      }
    }
    if (!sink_.Rows(pixels_.height)) return EncodeResult::kStopped;
    out_.AlignWithOnes();
    out_.Word(0xFFD9);
    return out_.Flush() ? EncodeResult::kOk : EncodeResult::kSinkFailed;
  }

 private:
  const uint8_t* Row(int32_t y) const {
    return pixels_.top_row + static_cast<ptrdiff_t>(std::min(y, pixels_.height - 1)) * pixels_.row_step;
  }

  // Rows first..first+15 of the picture into the band buffers, padded by repetition.
  void ConvertBand(int32_t first, uint8_t* luma, uint8_t* cb, uint8_t* cr) const {
    const int32_t width = pixels_.width;
    const int32_t even = width & ~1;
    const int32_t chroma_width = (width + 1) / 2;
    for (int pair = 0; pair < 8; ++pair) {
      const uint8_t* row0 = Row(first + 2 * pair);
      const uint8_t* row1 = Row(first + 2 * pair + 1);
      uint8_t* y0 = luma + (2 * pair) * luma_stride_;
      uint8_t* y1 = y0 + luma_stride_;
      uint8_t* u = cb + pair * chroma_stride_;
      uint8_t* v = cr + pair * chroma_stride_;
      detail::ConvertRowPair(row0, row1, even, y0, y1, u, v);
      if (width & 1) {
        // The last column is paired with a copy of itself.
        uint8_t last0[6], last1[6];
        std::memcpy(last0, row0 + 3 * even, 3);
        std::memcpy(last0 + 3, row0 + 3 * even, 3);
        std::memcpy(last1, row1 + 3 * even, 3);
        std::memcpy(last1 + 3, row1 + 3 * even, 3);
        uint8_t ly0[2], ly1[2];
        detail::ConvertRowPair(last0, last1, 2, ly0, ly1, u + even / 2, v + even / 2);
        y0[even] = ly0[0];
        y1[even] = ly1[0];
      }
      std::memset(y0 + width, y0[width - 1], luma_stride_ - width);
      std::memset(y1 + width, y1[width - 1], luma_stride_ - width);
      std::memset(u + chroma_width, u[chroma_width - 1], chroma_stride_ - chroma_width);
      std::memset(v + chroma_width, v[chroma_width - 1], chroma_stride_ - chroma_width);
    }
  }

  void Block(const uint8_t* samples, size_t stride, Component& c) {
    __m128i bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(samples + i * stride));
    const __m128i first = _mm_set1_epi8(static_cast<char>(samples[0]));
    const __m128i same = _mm_and_si128(
        _mm_and_si128(_mm_cmpeq_epi8(_mm_unpacklo_epi64(bytes[0], bytes[1]), first),
                      _mm_cmpeq_epi8(_mm_unpacklo_epi64(bytes[2], bytes[3]), first)),
        _mm_and_si128(_mm_cmpeq_epi8(_mm_unpacklo_epi64(bytes[4], bytes[5]), first),
                      _mm_cmpeq_epi8(_mm_unpacklo_epi64(bytes[6], bytes[7]), first)));
    if (_mm_movemask_epi8(same) == 0xFFFF) {
      // A flat block: its DC term alone, quantised as the vector code quantises it.
      const int dc = 64 * (samples[0] - 128);
      const int d = c.quant->divisor[0];
      const int q = (std::abs(dc) + d / 2) / d;
      Dc(dc < 0 ? -q : q, c);
      Symbol(*c.ac, kEndOfBlock);
      return;
    }

    __m128i r[8];
    LoadRows(bytes, r);
    Dct(r);
    alignas(16) int16_t coef[64];
    for (int i = 0; i < 8; ++i)
      _mm_store_si128(reinterpret_cast<__m128i*>(coef + 8 * i), QuantiseVector(r[i], *c.quant, i));

    // Which coefficients are non-zero, a bit each in the transposed order, then in zigzag order.
    uint64_t nonzero = 0;
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < 4; ++i) {
      const __m128i a = _mm_cmpeq_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(coef + 16 * i)), zero);
      const __m128i b = _mm_cmpeq_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(coef + 16 * i + 8)), zero);
      nonzero |= static_cast<uint64_t>(static_cast<uint16_t>(~_mm_movemask_epi8(_mm_packs_epi16(a, b)))) << (16 * i);
    }
    Dc(coef[0], c);
    if ((nonzero & ~uint64_t{1}) == 0) {
      Symbol(*c.ac, kEndOfBlock);
      return;
    }
    const ZigzagOrder& order = *zigzag_;
    uint64_t rest = order.Zigzag(nonzero) & ~uint64_t{1};
    int last = 0;
    while (rest) {
      const int k = std::countr_zero(rest);
      rest &= rest - 1;
      int run = k - last - 1;
      last = k;
      while (run > 15) {
        Symbol(*c.ac, kSixteenZeros);
        run -= 16;
      }
      const Category value = CategoryOf(coef[order.index[k]]);
      Symbol(*c.ac, (run << 4) | value.bits, value);
    }
    if (last != 63) Symbol(*c.ac, kEndOfBlock);
  }

  void Dc(int value, Component& c) {
    const Category diff = CategoryOf(value - c.last_dc);
    c.last_dc = value;
    Symbol(*c.dc, diff.bits, diff);
  }

  // The symbol's code, then the value's bits.
  void Symbol(const HuffTable& table, int symbol, Category value = {0, 0}) {
    out_.Put((table.code[symbol] << value.bits) | value.extra, table.size[symbol] + value.bits);
  }

  void WriteHuffman(uint8_t table_class_id, const HuffSpec& spec) {
    out_.Word(0xFFC4);
    out_.Word(static_cast<uint16_t>(2 + 1 + 16 + spec.count));
    out_.Byte(table_class_id);
    out_.Bytes(spec.bits, 16);
    out_.Bytes(spec.values, static_cast<size_t>(spec.count));
  }

  void WriteHeaders() {
    out_.Reserve(2048);
    static const uint8_t kJfif[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00,
                                    0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};
    out_.Bytes(kJfif, sizeof kJfif);
    for (int id = 0; id < 2; ++id) {
      const QuantTable& table = id == 0 ? luma_ : chroma_;
      out_.Word(0xFFDB);
      out_.Word(2 + 1 + 64);
      out_.Byte(static_cast<uint8_t>(id));
      for (int z = 0; z < 64; ++z) out_.Byte(table.natural[kZigzag[z]]);
    }
    out_.Word(0xFFC0);
    out_.Word(2 + 6 + 3 * 3);
    out_.Byte(8);
    out_.Word(static_cast<uint16_t>(pixels_.height));
    out_.Word(static_cast<uint16_t>(pixels_.width));
    static const uint8_t kComponents[] = {3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1};
    out_.Bytes(kComponents, sizeof kComponents);
    WriteHuffman(0x00, kDcLuminance);
    WriteHuffman(0x10, kAcLuminance);
    WriteHuffman(0x01, kDcChrominance);
    WriteHuffman(0x11, kAcChrominance);
    static const uint8_t kScan[] = {0xFF, 0xDA, 0x00, 0x0C, 3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0};
    out_.Bytes(kScan, sizeof kScan);
  }

  Pixels pixels_;
  Sink& sink_;
  BitWriter out_;
  QuantTable luma_, chroma_;
  HuffTable dc_luma_, dc_chroma_, ac_luma_, ac_chroma_;
  const ZigzagOrder* zigzag_ = &Zigzag();
  int32_t units_across_ = 0;
  size_t luma_stride_ = 0;
  size_t chroma_stride_ = 0;
};

}  // namespace

namespace detail {

void ScaledTable(const uint8_t base[64], int quality, uint8_t out[64]) {
  quality = std::clamp(quality, 1, 100);
  const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
  for (int i = 0; i < 64; ++i) out[i] = static_cast<uint8_t>(std::clamp((base[i] * scale + 50) / 100, 1, 255));
}

void ForwardDct(const uint8_t* samples, ptrdiff_t stride, int16_t out[64]) {
  __m128i bytes[8], r[8];
  for (int i = 0; i < 8; ++i) bytes[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(samples + i * stride));
  LoadRows(bytes, r);
  Dct(r);
  for (int i = 0; i < 8; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * i), r[i]);
}

void Quantise(const int16_t in[64], const uint16_t divisors[64], int16_t out[64]) {
  QuantTable table;
  for (int i = 0; i < 64; ++i) table.SetDivisor(i, divisors[i]);
  for (int i = 0; i < 8; ++i) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8 * i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * i), QuantiseVector(c, table, i));
  }
}

void ConvertRowPair(const uint8_t* row0, const uint8_t* row1, int32_t count, uint8_t* y0, uint8_t* y1, uint8_t* cb,
                    uint8_t* cr) {
  static const ColourConstants k;
  int32_t x = 0;
  // Eight pixels of each row at a time, while the loads (up to the ninth pixel's blue) stay within the row.
  for (; x + 9 <= count; x += 8) {
    const uint8_t* a = row0 + 3 * x;
    const uint8_t* b = row1 + 3 * x;
    const __m128i a0 = FourPixels(a), a1 = FourPixels(a + 12);
    const __m128i b0 = FourPixels(b), b1 = FourPixels(b + 12);
    const __m128i a0_br = _mm_and_si128(a0, k.low_mask), a0_g = _mm_srli_epi16(a0, 8);
    const __m128i a1_br = _mm_and_si128(a1, k.low_mask), a1_g = _mm_srli_epi16(a1, 8);
    const __m128i b0_br = _mm_and_si128(b0, k.low_mask), b0_g = _mm_srli_epi16(b0, 8);
    const __m128i b1_br = _mm_and_si128(b1, k.low_mask), b1_g = _mm_srli_epi16(b1, 8);
    const __m128i ya = _mm_packs_epi32(Luma4(a0_br, a0_g, k), Luma4(a1_br, a1_g, k));
    const __m128i yb = _mm_packs_epi32(Luma4(b0_br, b0_g, k), Luma4(b1_br, b1_g, k));
    const __m128i ys = _mm_packus_epi16(ya, yb);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(y0 + x), ys);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(y1 + x), _mm_srli_si128(ys, 8));

    // Vertical sums, then each pair of columns (lanes 0+1 and 2+3, results in lanes 0 and 2).
    __m128i br0 = _mm_add_epi16(a0_br, b0_br), g0 = _mm_add_epi16(a0_g, b0_g);
    __m128i br1 = _mm_add_epi16(a1_br, b1_br), g1 = _mm_add_epi16(a1_g, b1_g);
    br0 = _mm_add_epi16(br0, _mm_srli_epi64(br0, 32));
    g0 = _mm_add_epi16(g0, _mm_srli_epi64(g0, 32));
    br1 = _mm_add_epi16(br1, _mm_srli_epi64(br1, 32));
    g1 = _mm_add_epi16(g1, _mm_srli_epi64(g1, 32));
    // The neighbour bytes in the green lanes' high halves are weighted 0 but must not disturb the
    // low halves: a 16-bit add keeps the halves apart.
    const __m128i u0 = _mm_shuffle_epi32(Chroma(br0, g0, k.cb_br, k.cb_g, k), _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i u1 = _mm_shuffle_epi32(Chroma(br1, g1, k.cb_br, k.cb_g, k), _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i v0 = _mm_shuffle_epi32(Chroma(br0, g0, k.cr_br, k.cr_g, k), _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i v1 = _mm_shuffle_epi32(Chroma(br1, g1, k.cr_br, k.cr_g, k), _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i uv = _mm_packus_epi16(
        _mm_packs_epi32(_mm_unpacklo_epi64(u0, u1), _mm_unpacklo_epi64(v0, v1)), _mm_setzero_si128());
    Store4(cb + x / 2, uv);
    Store4(cr + x / 2, _mm_srli_si128(uv, 4));
  }
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

}  // namespace detail

EncodeResult Encode(const Pixels& pixels, int quality, Sink& sink) {
  if (!pixels.top_row || pixels.width < 1 || pixels.height < 1 || pixels.width > 65535 || pixels.height > 65535)
    return EncodeResult::kBadImage;
  if (quality < 0 || quality > 100) return EncodeResult::kBadQuality;
  std::unique_ptr<Encoder> encoder(new (std::nothrow) Encoder(pixels, quality, sink));
  if (!encoder) return EncodeResult::kOutOfMemory;
  return encoder->Run();
}

}  // namespace ijl

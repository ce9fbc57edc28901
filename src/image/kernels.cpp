#include "image/kernels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/resample_lanes.h"
#include "image/resample_simd.h"
#include "platform/runtime/checked.h"

// Why the integer arithmetic below equals the double-precision arithmetic it replaces.
//
// A fraction f (fx or fy) is a single-precision number in [0, 1), so f = F / 2^q exactly for integers
// F < 2^q (q = 0 for f = 0). For byte values a, b in 0..255 the interpolation evaluated in double is
//   (1 - f) * a + f * b.
// With q <= 44 every step is exact: 1 - f = (2^q - F) / 2^q needs at most 44 bits, (2^q - F) * a at
// most 52, F * b at most 32, and their sum (2^q - F) * a + F * b <= 255 * 2^q at most 52 -- all within
// the 53 bits of a double. So the double result is exactly N / 2^q with N = a * 2^q + F * (b - a), and
// rounding it half to even is rounding N / 2^q half to even, which integer arithmetic does exactly.
// A fraction with q > 44 (only positions closer than 2^-21 to a whole number, reachable with extreme
// scales) takes the double-precision path as written.
//
// The first pass depends only on the memory row pair, its fraction and the source byte column, so it
// is computed once per target row for the byte columns the row samples, and reused by every target
// pixel that reads it (and by the next row when it samples the same rows with the same fraction):
// each source byte a row needs is read once, and the second pass reads only that one blended row.
//
// The 32-bit forms. With q <= 23 and a, b <= 255, a * (2^q - F) + b * F <= 255 * 2^q < 2^31, and so is
// that plus 2^(q-1): round-half-even(N / 2^q) is (N + 2^(q-1) - 1 + parity(N >> q)) >> q in unsigned
// 32-bit arithmetic. pmaddwd multiplies signed 16-bit halves, so weights of up to 23 bits are split:
// w = (w >> s) * 2^s + (w & (2^s - 1)), and N = (a * keep_hi + b * take_hi) * 2^s + (a * keep_lo +
// b * take_lo), each partial sum exact in 32 bits. The first pass splits at s = 8 (both weights are
// below 2^23 there, as take >= 1); the second at s = 9, because a whole-number fraction gives keep =
// 2^Q, whose high half 2^(Q-9) <= 2^14 still fits a signed 16-bit word.
//
// One shift for the whole second pass. The wide levels do sixteen output bytes at once, which belong
// to different target columns and so to different fractions F / 2^q. Each is rewritten over the
// image's widest shift Q >= q as F * 2^(Q-q) / 2^Q: the same rational number, so N / 2^q and
// N * 2^(Q-q) / 2^Q round alike, and with Q <= 23 the bound above still holds. Columns whose fraction
// has more than 23 bits have sx < 1 (for sx >= 1 every fraction is a multiple of ulp(sx) >= 2^-23);
// they lie at the start of the row and stay on the per-pixel path.

namespace pixels {
namespace {

constexpr int kExactBits = 44;

// f as F / 2^q with the smallest q.
struct Fraction {
  float value = 0;
  int64_t numerator = 0;
  int shift = 0;
  bool exact = true;  // q <= kExactBits
};

Fraction Split(float f) {
  Fraction out;
  out.value = f;
  if (f == 0.0f) return out;
  int exponent = 0;
  double mantissa = std::frexp(static_cast<double>(f), &exponent);  // f = mantissa * 2^exponent
  int64_t numerator = static_cast<int64_t>(std::ldexp(mantissa, 24));
  int shift = 24 - exponent;
  while ((numerator & 1) == 0 && shift > 0) {
    numerator >>= 1;
    --shift;
  }
  out.numerator = numerator;
  out.shift = shift;
  out.exact = shift <= kExactBits;
  return out;
}

// round(N / 2^q) half to even, for N >= 0 and q >= 1, without branches: adding 2^(q-1) - 1 plus the
// parity of the whole part carries into the next whole number exactly when the rest is above one
// half, or is one half and the whole part is odd.
inline int32_t RoundShift(int64_t n, int q) {
  return static_cast<int32_t>((n + ((int64_t{1} << (q - 1)) - 1) + ((n >> q) & 1)) >> q);
}

// The double-precision interpolation as specified; used where the integer form is not proven equal.
inline int32_t LerpDouble(float f, int32_t a, int32_t b) {
  double value = (1.0 - static_cast<double>(f)) * static_cast<double>(a) + static_cast<double>(f) * b;
  value = rt::CheckFinite(value);
  return static_cast<int32_t>(std::nearbyint(value));  // the default rounding mode: half to even
}

inline int32_t Lerp(const Fraction& f, int32_t a, int32_t b) {
  if (f.exact) return RoundShift((static_cast<int64_t>(a) << f.shift) + f.numerator * (b - a), f.shift);
  return LerpDouble(f.value, a, b);
}

// For one row's fraction: round(a + f * d) for every a in 0..255 is a + T(d) minus a correction for
// ties, where T(d) = round-half-up(f * d) and the tie flag marks f * d exactly half way. On a tie
// half to even picks the even neighbour: one less when a + T(d) is odd. Entries hold T(d) * 2 | tie.
struct BlendTable {
  int16_t entry[511];
  // For an exact fraction (q <= 44); rows with other fractions take the double path.
  void Fill(const Fraction& f) {
    const int64_t half = int64_t{1} << (f.shift - 1);
    for (int32_t d = -255; d <= 255; ++d) {
      const int64_t n = f.numerator * d + (int64_t{256} << f.shift);  // kept >= 0: 256 + f * d
      const int64_t rest = n & ((int64_t{1} << f.shift) - 1);
      const int32_t rounded = static_cast<int32_t>(((n + half) >> f.shift) - 256);
      entry[d + 255] = static_cast<int16_t>(rounded * 2 | (rest == half ? 1 : 0));
    }
  }
  uint8_t Blend(int32_t a, int32_t b) const {
    const int32_t e = entry[b - a + 255];
    const int32_t r = a + (e >> 1);
    return static_cast<uint8_t>(r - (e & r & 1));
  }
};

inline uint8_t Clamp(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Fractions with at most this many bits go through 32-bit arithmetic: a * (2^q - F) + b * F < 2^31.
constexpr int kNarrowBits = 23;

// One target column: the byte column of its left sample pixel and its fraction; narrow ones (1..23
// bits) carry their weights 2^q - F and F for the 32-bit arithmetic.
struct Column {
  int32_t c;
  Fraction fx;
  uint32_t keep = 0;  // weight of the left pixel
  uint32_t take = 0;  // weight of the right pixel
  int32_t weights_hi = 0, weights_lo = 0;  // the weights' 16-bit halves, paired for pmaddwd
  uint32_t below_half = 0;
  bool narrow = false;
  bool single = false;  // weights below 2^15: one pmaddwd
};

// round(N / 2^q) half to even for 0 <= N < 2^31 - 2^q, in 32 bits.
inline uint32_t RoundShift32(uint32_t n, int q, uint32_t below_half) {
  return (n + below_half + ((n >> q) & 1u)) >> q;
}

// The second pass over whole groups of sixteen output bytes, for the levels with a byte shuffle (AVX2
// and wider). Columns from `first_x` on all have fractions of at most 23 bits; each takes the image's
// widest of them as its shift Q (see the proof at the top), so that one shift serves every lane.
struct ColumnPlan {
  std::vector<simd::ColumnGroup> groups;
  int32_t first_x = 0;  // the first target column the groups cover
  int32_t end_x = 0;    // the column of the first output byte after them
  int shift = 1;
  bool whole = false;
};

ColumnPlan PlanColumns(const std::vector<Column>& columns) {
  ColumnPlan plan;
  const int32_t new_w = static_cast<int32_t>(columns.size());
  // Wider fractions occur only where sx < 1, at the start of the row; those columns stay per pixel.
  for (int32_t x = 0; x < new_w; ++x) {
    if (columns[static_cast<size_t>(x)].fx.shift > kNarrowBits) plan.first_x = x + 1;
  }
  for (int32_t x = plan.first_x; x < new_w; ++x) plan.shift = std::max(plan.shift, columns[static_cast<size_t>(x)].fx.shift);
  plan.whole = plan.shift <= 14;
  const int32_t start = 3 * plan.first_x;
  const int32_t count = (3 * new_w - start) / 16;
  plan.end_x = (start + 16 * count) / 3;
  plan.groups.resize(static_cast<size_t>(count));
  for (int32_t g = 0; g < count; ++g) {
    simd::ColumnGroup& group = plan.groups[static_cast<size_t>(g)];
    for (int lane = 0; lane < 4; ++lane) {
      // A lane's bytes need not rise: the next pixel may sample the same source pixel again.
      const int32_t lane_start = start + 16 * g + 4 * lane;
      group.base[lane] = INT32_MAX;
      for (int32_t o = lane_start; o < lane_start + 4; ++o)
        group.base[lane] = std::min(group.base[lane], columns[static_cast<size_t>(o / 3)].c + o % 3);
      for (int i = 0; i < 4; ++i) {
        const int32_t o = lane_start + i;
        const Column& column = columns[static_cast<size_t>(o / 3)];
        const int32_t a = column.c + o % 3 - group.base[lane];  // b is three bytes on
        if (a + 3 > 15) {  // too far apart for one lane: pixel by pixel
          ColumnPlan none;
          none.first_x = none.end_x = new_w;
          return none;
        }
        uint8_t* pick = group.pick + 16 * lane + 4 * i;
        pick[0] = static_cast<uint8_t>(a);
        pick[1] = 0x80;
        pick[2] = static_cast<uint8_t>(a + 3);
        pick[3] = 0x80;
        const uint32_t take = column.fx.shift == 0 ? 0u : static_cast<uint32_t>(column.fx.numerator) << (plan.shift - column.fx.shift);
        const uint32_t keep = (1u << plan.shift) - take;
        const int element = 4 * lane + i;
        if (plan.whole) {
          group.weights_low[element] = static_cast<int32_t>(keep | take << 16);
          group.weights_high[element] = 0;
        } else {
          group.weights_low[element] = static_cast<int32_t>((keep & 511) | (take & 511) << 16);
          group.weights_high[element] = static_cast<int32_t>(keep >> 9 | (take >> 9) << 16);
        }
      }
    }
  }
  return plan;
}

// The second pass pixel by pixel, for target columns [begin, end).
void BlendPixels(const std::vector<Column>& columns, const uint8_t* m, uint8_t* out, int32_t begin, int32_t end) {
  const int32_t new_w = static_cast<int32_t>(columns.size());
  for (int32_t x = begin; x < end; ++x) {
    const Column& col = columns[static_cast<size_t>(x)];
    const uint8_t* left = m + col.c;
    uint8_t* pixel = out + 3 * x;
#if defined(ORVANE_RESAMPLE_VECTORS)
    if (col.narrow && x + 1 < new_w) {
      // Pairs (m0, m3), (m1, m4), (m2, m5) side by side, blended as the vector levels blend. The four
      // bytes stored include one of the next pixel, which is written after this one.
      using L = lanes::Sse2;
      const L::V v = L::LoadBytesAsWords(left);
      const L::V r = simd::BlendPairs<L, 8>(L::InterleaveLow16(v, L::ShiftRightBytes<6>(v)), L::Set32(col.weights_lo),
                                            L::Set32(col.weights_hi), col.single, _mm_cvtsi32_si128(col.fx.shift),
                                            L::Set32(static_cast<int>(col.below_half)));
      const L::V zero = L::Zero();
      L::StoreFour(pixel, L::PackUnsigned16(L::PackSigned32(r, zero), zero));
      continue;
    }
#endif
    if (col.narrow) {
      const int q = col.fx.shift;
      pixel[0] = static_cast<uint8_t>(RoundShift32(left[0] * col.keep + left[3] * col.take, q, col.below_half));
      pixel[1] = static_cast<uint8_t>(RoundShift32(left[1] * col.keep + left[4] * col.take, q, col.below_half));
      pixel[2] = static_cast<uint8_t>(RoundShift32(left[2] * col.keep + left[5] * col.take, q, col.below_half));
    } else if (col.fx.shift == 0) {
      pixel[0] = left[0];
      pixel[1] = left[1];
      pixel[2] = left[2];
    } else {
      pixel[0] = Clamp(Lerp(col.fx, left[0], left[3]));
      pixel[1] = Clamp(Lerp(col.fx, left[1], left[4]));
      pixel[2] = Clamp(Lerp(col.fx, left[2], left[5]));
    }
  }
}

struct Kernels {
  simd::BlendRows blend_rows = simd::BlendRowsSse2;
  simd::BlendColumns blend_columns = nullptr;  // none: the second pass goes pixel by pixel
};

Kernels KernelsFor(rt::SimdLevel wanted) {
  const rt::SimdLevel level = ResampleLevel(wanted);
#if defined(ORVANE_SIMD_X86)
  if (level == rt::SimdLevel::kAvx512) return {simd::BlendRowsAvx512, simd::BlendColumnsAvx512};
  if (level == rt::SimdLevel::kAvx2) return {simd::BlendRowsAvx2, simd::BlendColumnsAvx2};
#endif
  return {};
}

// Where every target pixel samples the source, and how the passes go.
struct Plan {
  Kernels kernels;
  std::vector<Column> columns;
  ColumnPlan groups;
  int32_t first_byte = INT32_MAX;  // the byte columns any target pixel reads
  int32_t last_byte = 0;
  int32_t rows = 0;  // of the target
  float y_scale = 0;
  int together = 1;  // target rows gathered for one walk of the second pass
};

// Column positions are the same for every row: worked out once, with the proof that the six byte
// columns each target pixel reads lie inside the source (the first that does not is the read that fails).
Plan PlanResample(const PixelView& from, int32_t w, int32_t h, int32_t new_w, int32_t new_h, rt::SimdLevel level) {
  Plan plan;
  plan.kernels = KernelsFor(level);
  plan.rows = new_h;
  // The quotients are formed in double and stored in single precision.
  const float x_scale = static_cast<float>(rt::CheckFinite(static_cast<double>(w - 1) / new_w));
  plan.y_scale = static_cast<float>(rt::CheckFinite(static_cast<double>(h - 1) / new_h));
  plan.columns.resize(static_cast<size_t>(new_w));
  for (int32_t x = 0; x < new_w; ++x) {
    const float sx = static_cast<float>(static_cast<double>(x_scale) * x);
    const int32_t ix = static_cast<int32_t>(std::floor(sx));
    const float fx = static_cast<float>(static_cast<double>(sx) - ix);
    const int32_t c = rt::Mul32(3, ix);
    if (c < 0 || rt::Add32(c, 5) >= from.columns()) rt::RaiseSubscriptRange();
    Column& column = plan.columns[static_cast<size_t>(x)];
    column.c = c;
    column.fx = Split(fx);
    column.narrow = column.fx.shift >= 1 && column.fx.shift <= kNarrowBits;
    plan.first_byte = std::min(plan.first_byte, c);
    plan.last_byte = std::max(plan.last_byte, c + 5);
  }
  for (Column& column : plan.columns) {
    if (!column.narrow) continue;
    const int q = column.fx.shift;
    column.take = static_cast<uint32_t>(column.fx.numerator);
    column.keep = (1u << q) - column.take;
    column.below_half = (1u << (q - 1)) - 1;
    column.single = q <= 15;
    if (column.single) {
      column.weights_lo = static_cast<int32_t>((column.take << 16) | column.keep);
    } else {
      column.weights_hi = static_cast<int32_t>(((column.take >> 8) << 16) | (column.keep >> 8));
      column.weights_lo = static_cast<int32_t>(((column.take & 0xFF) << 16) | (column.keep & 0xFF));
    }
  }
  if (plan.kernels.blend_columns) plan.groups = PlanColumns(plan.columns);
  // The rows gathered stay within about half of a first-level data cache, where the second pass finds
  // them.
  constexpr int32_t kGatheredBytes = 24 * 1024;
  if (!plan.groups.groups.empty())
    plan.together = static_cast<int>(std::clamp<int32_t>(kGatheredBytes / from.columns(), 1, simd::kRowsTogether));
  return plan;
}

// The first pass: memory rows top and next blended by the fraction fy into row[first..last].
void FirstPass(const Kernels& kernels, const uint8_t* top, const uint8_t* next, float fy, int32_t first, int32_t last,
               uint8_t* row) {
  const Fraction f = Split(fy);
  if (f.shift == 0) {
    for (int32_t k = first; k <= last; ++k) row[k] = top[k];
  } else if (f.shift <= kNarrowBits) {
    const uint32_t take = static_cast<uint32_t>(f.numerator);
    kernels.blend_rows(top, next, row, first, last, (1u << f.shift) - take, take, f.shift);
  } else if (f.exact) {
    BlendTable table;
    table.Fill(f);
    for (int32_t k = first; k <= last; ++k) row[k] = table.Blend(top[k], next[k]);
  } else {
    for (int32_t k = first; k <= last; ++k) row[k] = Clamp(LerpDouble(fy, top[k], next[k]));
  }
}

// The second pass of `rows` target rows: blended[r] is row r's first pass, out[r] its pixels. Pixel by
// pixel where no group covers, by groups between.
void SecondPass(const Plan& plan, const uint8_t* const* blended, uint8_t* const* out, int rows,
                const simd::RowsAhead& ahead) {
  const int32_t new_w = static_cast<int32_t>(plan.columns.size());
  if (plan.groups.groups.empty()) {
    for (int r = 0; r < rows; ++r) BlendPixels(plan.columns, blended[r], out[r], 0, new_w);
    return;
  }
  uint8_t* group_out[simd::kRowsTogether] = {};
  for (int r = 0; r < rows; ++r) {
    BlendPixels(plan.columns, blended[r], out[r], 0, plan.groups.first_x);
    group_out[r] = out[r] + 3 * plan.groups.first_x;
  }
  plan.kernels.blend_columns(blended, group_out, rows, plan.groups.groups.data(),
                             static_cast<int32_t>(plan.groups.groups.size()), plan.groups.shift, plan.groups.whole,
                             ahead);
  for (int r = 0; r < rows; ++r) BlendPixels(plan.columns, blended[r], out[r], plan.groups.end_x, new_w);
}

// The first passes of up to plan.together target rows, gathered for one walk of the second pass. A row
// that samples the same rows with the same fraction as the one before reuses its first pass. Slack at
// the end of each buffer: the vector loops load eight or sixteen bytes where they use fewer.
class Gather {
 public:
  Gather(const Plan& plan, const PixelView& from, const PixelView& to) : plan_(plan), from_(from), to_(to) {
    for (int i = 0; i < plan.together; ++i) buffers_[i].resize(static_cast<size_t>(from.columns()) + 32);
  }

  // Target row y as row r of the walk: its pixels, and its first pass into a buffer none of the rows
  // gathered before it reads.
  void Add(int r, int32_t y) {
    const float sy = SourceY(y);
    const int32_t iy = FirstRowOf(sy);
    const float fy = static_cast<float>(static_cast<double>(sy) - iy);
    const uint8_t* top = from_.CheckedRow(iy, plan_.first_byte, plan_.last_byte);
    const uint8_t* next = from_.CheckedRow(rt::Add32(iy, 1), plan_.first_byte, plan_.last_byte);
    out_[r] = to_.CheckedRow(y, 0, rt::Mul32(3, static_cast<int32_t>(plan_.columns.size())) - 1);
    if (iy == last_iy_ && fy == last_fy_) {
      blended_[r] = last_blended_;
      return;
    }
    uint8_t* row = nullptr;
    for (int i = 0; !row; ++i) {
      row = buffers_[i].data();
      for (int j = 0; j < r; ++j) {
        if (blended_[j] == row) row = nullptr;
      }
    }
    FirstPass(plan_.kernels, top, next, fy, plan_.first_byte, plan_.last_byte, row);
    blended_[r] = last_blended_ = row;
    last_iy_ = iy;
    last_fy_ = fy;
  }

  // The source rows of the target rows from y on that the next walk gathers, past the last one read so
  // far (a row read again, as when enlarging, is still in cache).
  simd::RowsAhead Ahead(int32_t y) const {
    simd::RowsAhead ahead;
    ahead.first = plan_.first_byte;
    ahead.bytes = plan_.last_byte - plan_.first_byte + 1;
    int32_t read = last_iy_ + 1;
    for (const int32_t end = std::min<int32_t>(y + plan_.together, plan_.rows); y < end; ++y) {
      const int32_t iy = FirstRowOf(SourceY(y));
      if (iy < 0 || iy + 1 >= from_.rows()) break;  // its first pass raises the error: nothing to ask for
      for (int32_t row = std::max(iy, read + 1); row <= iy + 1; ++row) {
        ahead.rows[ahead.count++] = from_.CheckedRow(row, plan_.first_byte, plan_.last_byte);
        read = row;
      }
    }
    return ahead;
  }

  const uint8_t* const* blended() const { return blended_; }
  uint8_t* const* out() const { return out_; }

 private:
  // Where a target row samples the source, and the memory row its first pass starts at.
  float SourceY(int32_t y) const { return static_cast<float>(static_cast<double>(plan_.y_scale) * y); }
  static int32_t FirstRowOf(float sy) { return static_cast<int32_t>(std::floor(sy)); }

  const Plan& plan_;
  const PixelView& from_;
  const PixelView& to_;
  std::vector<uint8_t> buffers_[simd::kRowsTogether];
  const uint8_t* blended_[simd::kRowsTogether] = {};
  uint8_t* out_[simd::kRowsTogether] = {};
  const uint8_t* last_blended_ = nullptr;
  int32_t last_iy_ = -1;
  float last_fy_ = -1;
};

}  // namespace

uint8_t NoiseByte(float r) {
  return Clamp(static_cast<int32_t>(std::nearbyint(static_cast<double>(r) * static_cast<double>(255.0f))));
}

void ResampleBilinear(const Image& source, const Image& target) {
  ResampleBilinear(source, target, rt::BestSimdLevel());
}

rt::SimdLevel ResampleLevel(rt::SimdLevel wanted) {
#if defined(ORVANE_SIMD_X86)
  return std::min(wanted, rt::BestSimdLevel());
#else
  (void)wanted;
  return rt::SimdLevel::kSse2;
#endif
}

void ResampleBilinear(const Image& source, const Image& target, rt::SimdLevel level) {
  PixelView from(source);
  PixelView to(target);
  if (target.width <= 0 || target.height <= 0) return;
  const Plan plan = PlanResample(from, source.width, source.height, target.width, target.height, level);
  Gather gather(plan, from, to);
  for (int32_t y0 = 0; y0 < plan.rows; y0 += plan.together) {
    const int rows = static_cast<int>(std::min<int32_t>(plan.together, plan.rows - y0));
    int r = 0;
    try {
      for (; r < rows; ++r) gather.Add(r, y0 + r);
    } catch (...) {
      // The rows before the failing one are written, as row by row they would have been.
      SecondPass(plan, gather.blended(), gather.out(), r, {});
      throw;
    }
    SecondPass(plan, gather.blended(), gather.out(), rows, gather.Ahead(y0 + plan.together));
  }
}

namespace {

// One row: two pixels at a time through a 64-bit word (little-endian: B0 G0 R0 X0 B1 G1 R1 X1 becomes
// B0 G0 R0 B1 G1 R1), stored 8 bytes wide so that the next store overwrites the 2 bytes too many. The
// loop stops while a whole 8-byte store still fits in the row's 3 * width bytes; the last one or two
// pixels go byte by byte. Memory-bound: a 4K frame is 33 MB in and 25 MB out.
void CopyRowFrom32Bit(const uint8_t* in, uint8_t* out, int32_t width) {
  int32_t x = 0;
  for (; x + 3 <= width; x += 2) {
    uint64_t two;
    std::memcpy(&two, in + 4 * static_cast<size_t>(x), sizeof two);
    const uint64_t packed = (two & 0x0000000000FFFFFFull) | ((two >> 8) & 0x0000FFFFFF000000ull);
    std::memcpy(out + 3 * static_cast<size_t>(x), &packed, sizeof packed);
  }
  for (; x < width; ++x) std::memcpy(out + 3 * static_cast<size_t>(x), in + 4 * static_cast<size_t>(x), 3);
}

}  // namespace

void CopyFrom32Bit(const uint8_t* source, int32_t source_stride, bool top_down, const Image& target) {
  static_assert(std::endian::native == std::endian::little, "the row copy reads pixels little-endian");
  if (!source || !target.bits || target.width <= 0 || target.height <= 0) return;
  for (int32_t row = 0; row < target.height; ++row) {
    // The target is bottom-up: its memory row 0 is the picture's bottom row.
    const int32_t picture_row = target.height - 1 - row;
    const int32_t source_row = top_down ? picture_row : row;
    CopyRowFrom32Bit(source + static_cast<size_t>(source_row) * static_cast<size_t>(source_stride),
                     target.bits + static_cast<size_t>(row) * static_cast<size_t>(target.stride), target.width);
  }
}

void RandomiseBits(const Image& image, bool gray, rt::Pcg32& generator) {
  PixelView view(image);
  if (view.rows() == 0 || image.width <= 0) return;
  const int32_t last = rt::Mul32(rt::Sub32(image.width, 1), 3);  // byte column of the last pixel
  if (gray) {
    for (int32_t y = 0; y < view.rows(); ++y) {
      uint8_t* row = view.CheckedRow(y, 0, last + 2);
      for (int32_t c = 0; c <= last; c += 3) {
        const uint8_t d = NoiseByte(generator.NextSingle());
        row[c] = d;
        row[c + 1] = d;
        row[c + 2] = d;
      }
    }
  } else {
    view.CheckedRow(view.rows() - 1, 0, last + 2);  // every row has the same columns
    for (int32_t c = 0; c <= last; c += 3) {
      for (int32_t y = 0; y < view.rows(); ++y) {
        uint8_t* row = view.CheckedRow(y, c, c + 2);
        row[c] = 0;
        row[c + 1] = NoiseByte(generator.NextSingle());
        row[c + 2] = NoiseByte(generator.NextSingle());
      }
    }
  }
}

}  // namespace pixels

#pragma once
// The resampler's vector arithmetic, written once for every vector width: templates over a lanes struct
// `L` that names the instructions of one width (platform/lanes). L::V is the vector; every operation
// works on each 128-bit lane apart, so a wider vector gives, lane by lane, the integers the SSE2 level
// gives.
//
// Include this only in a level's own .cpp file, compiled with that level's flags. Everything here is in
// an unnamed namespace, so that each of those files gets its own copy: no function compiled for a wider
// level can be taken by the linker for a caller on a processor without it (see resample_simd.h).

#include <cstdint>

#include "image/resample_simd.h"

#if defined(__SSE2__) || defined(_M_X64)
#include "platform/lanes/sse2.h"
#define ORVANE_RESAMPLE_VECTORS 1
#endif

namespace pixels::simd {
namespace {

#if defined(ORVANE_RESAMPLE_VECTORS)

// round-half-even(n / 2^q) in each 32-bit element, n >= 0 and n + 2^(q-1) < 2^31.
template <typename L>
inline typename L::V RoundShift(typename L::V n, __m128i shift, typename L::V below_half) {
  const typename L::V odd = L::And(L::ShiftRightBy32(n, shift), L::Set32(1));
  return L::ShiftRightBy32(L::Add32(L::Add32(n, below_half), odd), shift);
}

// The first pass's weights for a row pair, keep + take = 2^q. pmaddwd forms a * keep + b * take from
// the 16-bit halves of 32-bit elements: in one step when the weights fit 15 bits (q <= 15), else as
// (a * keep_hi + b * take_hi) * 256 + (a * keep_lo + b * take_lo), all exact in 32 bits.
template <typename L>
struct RowWeights {
  RowWeights(uint32_t keep, uint32_t take, int q)
      : whole(q <= 15),
        high(L::Set32(static_cast<int>(((take >> 8) << 16) | (keep >> 8)))),
        low(L::Set32(static_cast<int>(whole ? (take << 16) | keep : ((take & 0xFF) << 16) | (keep & 0xFF)))),
        below_half(L::Set32(static_cast<int>((1u << (q - 1)) - 1))),
        shift(_mm_cvtsi32_si128(q)) {}
  bool whole;
  typename L::V high, low, below_half;
  __m128i shift;
};

// Words of the two rows (bytes widened to 16 bits) blended: the results as words, in their order within
// each 128-bit lane. The low unpack takes words 0-3 of a lane and the high one 4-7; the lane-wise pack
// puts them back in order.
template <typename L>
inline typename L::V BlendWords(typename L::V a, typename L::V b, const RowWeights<L>& w) {
  typename L::V result[2];
  for (int half = 0; half < 2; ++half) {
    const typename L::V pairs = half == 0 ? L::InterleaveLow16(a, b) : L::InterleaveHigh16(a, b);
    const typename L::V n =
        w.whole ? L::MultiplyAdd16(pairs, w.low)
                : L::Add32(L::ShiftLeft32(L::MultiplyAdd16(pairs, w.high), 8), L::MultiplyAdd16(pairs, w.low));
    result[half] = RoundShift<L>(n, w.shift, w.below_half);
  }
  return L::PackSigned32(result[0], result[1]);
}

// The second pass for pairs of first-pass bytes picked into 32-bit elements (ColumnGroup): a * keep +
// b * take, rounded. The weights are whole in `low` when `whole`, else split at bit 9.
template <typename L>
inline typename L::V BlendPicked(typename L::V pairs, typename L::V low, typename L::V high, bool whole,
                                 __m128i shift, typename L::V below_half) {
  typename L::V n = L::MultiplyAdd16(pairs, low);
  if (!whole) n = L::Add32(L::ShiftLeft32(L::MultiplyAdd16(pairs, high), 9), n);
  return RoundShift<L>(n, shift, below_half);
}

// Asks for the rows ahead (RowsAhead) a few cache lines at a time, spread evenly over `steps` steps
// of the second pass. Meant for the second-level cache, as the first holds the rows at work; on the
// AMD processor it was measured on, the hint for the first level gave the same times.
class AskAhead {
 public:
  AskAhead(const RowsAhead& ahead, int32_t steps)
      : ahead_(ahead), lines_((ahead.bytes + 63) / 64), per_step_(steps > 0 ? (ahead.count * lines_ + steps - 1) / steps : 0) {}
  void Step() {
    for (int32_t n = 0; n < per_step_ && row_ < ahead_.count; ++n) {
      _mm_prefetch(reinterpret_cast<const char*>(ahead_.rows[row_] + ahead_.first + 64 * line_), _MM_HINT_T1);
      if (++line_ == lines_) {
        line_ = 0;
        ++row_;
      }
    }
  }

 private:
  const RowsAhead& ahead_;
  const int32_t lines_, per_step_;
  int row_ = 0;
  int32_t line_ = 0;
};

#endif

// The first pass for bytes k..last one at a time, in plain integers: what is left of a row.
inline void BlendRowTail(const uint8_t* top, const uint8_t* next, uint8_t* out, int32_t k, int32_t last, uint32_t keep,
                         uint32_t take, int q) {
  const uint32_t below_half = (1u << (q - 1)) - 1;
  for (; k <= last; ++k) {
    const uint32_t n = top[k] * keep + next[k] * take;
    out[k] = static_cast<uint8_t>((n + below_half + ((n >> q) & 1u)) >> q);
  }
}

}  // namespace
}  // namespace pixels::simd

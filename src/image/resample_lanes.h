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
#include <type_traits>

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

// a * keep + b * take for pairs of bytes (a, b) in the 16-bit halves of 32-bit elements, rounded half
// to even by 2^q: in one multiply-add with the weights whole in `low` when `whole`, else with them split
// at bit kSplit (keep = keep_hi * 2^kSplit + keep_lo, `high` and `low`).
template <typename L, int kSplit>
inline typename L::V BlendPairs(typename L::V pairs, typename L::V low, typename L::V high, bool whole,
                                __m128i shift, typename L::V below_half) {
  typename L::V n = L::MultiplyAdd16(pairs, low);
  if (!whole) n = L::Add32(L::ShiftLeft32(L::MultiplyAdd16(pairs, high), kSplit), n);
  return RoundShift<L>(n, shift, below_half);
}

// Words of the two rows (bytes widened to 16 bits) blended: the results as words, in their order within
// each 128-bit lane. The low unpack takes words 0-3 of a lane and the high one 4-7; the lane-wise pack
// puts them back in order.
template <typename L>
inline typename L::V BlendWords(typename L::V a, typename L::V b, const RowWeights<L>& w) {
  return L::PackSigned32(BlendPairs<L, 8>(L::InterleaveLow16(a, b), w.low, w.high, w.whole, w.shift, w.below_half),
                         BlendPairs<L, 8>(L::InterleaveHigh16(a, b), w.low, w.high, w.whole, w.shift, w.below_half));
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

#if defined(ORVANE_RESAMPLE_VECTORS)

// The first pass (BlendRows) from byte column k on: a vector's width of bytes a step, then the columns
// left at the next narrower level, and the last few in plain integers.
template <typename L>
inline void BlendRowsFrom(const uint8_t* top, const uint8_t* next, uint8_t* out, int32_t k, int32_t last,
                          uint32_t keep, uint32_t take, int q) {
  const RowWeights<L> weights(keep, take, q);
  constexpr int32_t kHalf = L::kBytes / 2;
  for (; k + L::kBytes - 1 <= last; k += L::kBytes) {
    _mm_prefetch(reinterpret_cast<const char*>(top + k + kPrefetchAhead), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(next + k + kPrefetchAhead), _MM_HINT_T0);
    const typename L::V low = BlendWords<L>(L::LoadBytesAsWords(top + k), L::LoadBytesAsWords(next + k), weights);
    const typename L::V high =
        BlendWords<L>(L::LoadBytesAsWords(top + k + kHalf), L::LoadBytesAsWords(next + k + kHalf), weights);
    L::StoreWordsAsBytes(out + k, low, high);
  }
  if constexpr (std::is_void_v<typename L::Narrower>) {
    BlendRowTail(top, next, out, k, last, keep, take, q);
  } else {
    BlendRowsFrom<typename L::Narrower>(top, next, out, k, last, keep, take, q);
  }
}

// The second pass (BlendColumns), for the levels with a byte shuffle. A group's four windows of sixteen
// bytes take 64 / kBytes vectors (`parts`), each lane one window.
template <typename L>
inline void BlendColumnsOver(const uint8_t* const* blended, uint8_t* const* out, int rows, const ColumnGroup* groups,
                             int32_t count, int q, bool whole, const RowsAhead& ahead) {
  using V = typename L::V;
  constexpr int kParts = 64 / L::kBytes;
  const __m128i shift = _mm_cvtsi32_si128(q);
  const V below_half = L::Set32(static_cast<int>((1u << (q - 1)) - 1));
  AskAhead asking(ahead, count);
  for (int32_t g = 0; g < count; ++g) {
    asking.Step();
    const ColumnGroup& group = groups[g];
    V pick[kParts], low[kParts], high[kParts];
    for (int part = 0; part < kParts; ++part) {
      pick[part] = L::LoadAligned(group.pick + L::kBytes * part);
      low[part] = L::LoadAligned(group.weights_low + L::kBytes / 4 * part);
      high[part] = L::LoadAligned(group.weights_high + L::kBytes / 4 * part);
    }
    for (int r = 0; r < rows; ++r) {
      V result[kParts];
      for (int part = 0; part < kParts; ++part) {
        const V pairs = L::ShuffleBytes(L::LoadWindows(blended[r], group.base + L::kLanes * part), pick[part]);
        result[part] = BlendPairs<L, 9>(pairs, low[part], high[part], whole, shift, below_half);
      }
      L::StoreSixteen32AsBytes(out[r] + 16 * g, result);
    }
  }
}

#endif

}  // namespace
}  // namespace pixels::simd

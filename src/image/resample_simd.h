#pragma once
// The resampler's inner loops at each vector width, one translation unit per width with its own
// compiler flags (kernels.cpp chooses among them at run time). Internal to the resampler.
//
// The translation units that use wider instructions define only functions of their own: no inline
// function or template they share with other code, which the linker could otherwise take from them
// for every caller, on processors that lack the instructions.

#include <cstdint>

namespace pixels::simd {

// How far ahead the first pass asks for the source rows. The processor's own prefetch falls behind
// while the arithmetic keeps it busy: measured on a 3840x2160 source, the first pass took 5.1 ms
// without and 1.8 ms with it (the arithmetic alone, on rows in cache, 1.8 ms). A prefetch past the
// end of a row never faults.
constexpr int kPrefetchAhead = 512;

// The first pass for one row pair, byte columns first..last: out[k] = round-half-even(
// (top[k] * keep + next[k] * take) / 2^q), 1 <= q <= 23, keep + take = 2^q, take >= 1.
using BlendRows = void (*)(const uint8_t* top, const uint8_t* next, uint8_t* out, int32_t first, int32_t last,
                           uint32_t keep, uint32_t take, int q);

// Sixteen output bytes of the second pass: each is round-half-even((a * keep + b * take) / 2^Q) with one
// shift Q for the whole image and a, b two bytes of the first pass, three apart. Four lanes of four
// output bytes; each lane loads sixteen bytes of the first pass at its base and picks a and b by a byte
// shuffle, into the low and high halves of a 32-bit element.
struct alignas(64) ColumnGroup {
  uint8_t pick[64];           // per lane, per output byte: index of a, 0x80, index of b, 0x80
  int32_t weights_low[16];    // per output byte: keep & 511 | (take & 511) << 16, or the whole weights
  int32_t weights_high[16];   // per output byte: keep >> 9 | (take >> 9) << 16
  int32_t base[4];            // per lane: first of the sixteen bytes it loads
};

// Up to this many target rows share one walk over the groups: each group's shuffles and weights are
// loaded once for all of them.
constexpr int kRowsTogether = 4;

// The source rows the next first passes read, asked for a few cache lines at a time while the second
// pass works on rows in cache: the next first pass then finds them at hand instead of waiting on
// memory (bytes first..first + bytes - 1 of each row). Measured on a 3840x2160 source halved, at
// AVX-512: about a sixth less time.
struct RowsAhead {
  const uint8_t* rows[2 * kRowsTogether] = {};
  int count = 0;
  int32_t first = 0;
  int32_t bytes = 0;
};

// The second pass for `rows` (1..kRowsTogether) target rows: blended[r] is row r's first pass and
// out[r] where its group bytes go. Weights fit one multiply-add when Q <= 14 (`whole`): weights_low
// then holds them entire.
using BlendColumns = void (*)(const uint8_t* const* blended, uint8_t* const* out, int rows, const ColumnGroup* groups,
                              int32_t count, int q, bool whole, const RowsAhead& ahead);

void BlendRowsSse2(const uint8_t* top, const uint8_t* next, uint8_t* out, int32_t first, int32_t last, uint32_t keep,
                   uint32_t take, int q);
void BlendRowsAvx2(const uint8_t* top, const uint8_t* next, uint8_t* out, int32_t first, int32_t last, uint32_t keep,
                   uint32_t take, int q);
void BlendColumnsAvx2(const uint8_t* const* blended, uint8_t* const* out, int rows, const ColumnGroup* groups,
                      int32_t count, int q, bool whole, const RowsAhead& ahead);
void BlendRowsAvx512(const uint8_t* top, const uint8_t* next, uint8_t* out, int32_t first, int32_t last,
                     uint32_t keep, uint32_t take, int q);
void BlendColumnsAvx512(const uint8_t* const* blended, uint8_t* const* out, int rows, const ColumnGroup* groups,
                        int32_t count, int q, bool whole, const RowsAhead& ahead);

}  // namespace pixels::simd

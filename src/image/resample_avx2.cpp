// The resampler's two passes with AVX2 (compiled with AVX2 enabled; called only where cpuid reports
// it). Byte for byte what the SSE2 and plain code give: the arithmetic is the same, only wider.

#include "image/resample_lanes.h"
#include "image/resample_simd.h"
#include "platform/lanes/avx2.h"

namespace pixels::simd {

void BlendRowsAvx2(const uint8_t* top, const uint8_t* next, uint8_t* out, int32_t first, int32_t last, uint32_t keep,
                   uint32_t take, int q) {
  BlendRowsFrom<lanes::Avx2>(top, next, out, first, last, keep, take, q);
}

void BlendColumnsAvx2(const uint8_t* const* blended, uint8_t* const* out, int rows, const ColumnGroup* groups,
                      int32_t count, int q, bool whole, const RowsAhead& ahead) {
  BlendColumnsOver<lanes::Avx2>(blended, out, rows, groups, count, q, whole, ahead);
}

}  // namespace pixels::simd

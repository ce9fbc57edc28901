// The resampler's two passes with AVX-512 (F and BW; compiled with them enabled, called only where
// cpuid reports them). Byte for byte what the narrower levels give: the same arithmetic, wider.

#include "image/resample_lanes.h"
#include "image/resample_simd.h"
#include "platform/lanes/avx512.h"

namespace pixels::simd {

void BlendRowsAvx512(const uint8_t* top, const uint8_t* next, uint8_t* out, int32_t first, int32_t last,
                     uint32_t keep, uint32_t take, int q) {
  BlendRowsFrom<lanes::Avx512>(top, next, out, first, last, keep, take, q);
}

void BlendColumnsAvx512(const uint8_t* const* blended, uint8_t* const* out, int rows, const ColumnGroup* groups,
                        int32_t count, int q, bool whole, const RowsAhead& ahead) {
  BlendColumnsOver<lanes::Avx512>(blended, out, rows, groups, count, q, whole, ahead);
}

}  // namespace pixels::simd

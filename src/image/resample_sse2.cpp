// The resampler's first pass with SSE2, which every x86-64 processor has (and in plain code elsewhere).

#include "image/resample_lanes.h"
#include "image/resample_simd.h"

namespace pixels::simd {

void BlendRowsSse2(const uint8_t* top, const uint8_t* next, uint8_t* out, int32_t first, int32_t last, uint32_t keep,
                   uint32_t take, int q) {
#if defined(ORVANE_RESAMPLE_VECTORS)
  BlendRowsFrom<lanes::Sse2>(top, next, out, first, last, keep, take, q);
#else
  BlendRowTail(top, next, out, first, last, keep, take, q);
#endif
}

}  // namespace pixels::simd

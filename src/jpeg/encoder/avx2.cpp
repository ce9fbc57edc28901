// The encoder's kernels with AVX2 (transform.h's loops over 256-bit vectors), built with its own flags
// and chosen at run time.
//
// The transform takes two blocks at once, one in each 128-bit half of the registers, and the colour
// conversion sixteen pixels of each row. transform.h's every operation works on the halves apart, so
// each half goes through exactly the steps of the SSE2 level and gives the same integers: the proof of
// range there holds here word for word. The pixels are spread into their 32-bit elements by a byte
// shuffle, where the SSE2 level masks and shifts; the result of every multiply-add is the same integer
// either way, since the weights of the other bytes are 0.
//
// Nothing here is shared with the other translation units (see kernels.h).

#include "jpeg/encoder/kernels.h"
#include "jpeg/encoder/transform.h"
#include "platform/lanes/avx2.h"

namespace jpeg::detail {

bool TransformPairAvx2(const uint8_t* a, const uint8_t* b, size_t stride, const QuantTable& table,
                       QuantisedBlock out[2]) {
  return TransformPairOver<lanes::Avx2>(a, b, stride, table, out);
}

void ConvertRowPairAvx2(const uint8_t* row0, const uint8_t* row1, int32_t count, uint8_t* y0, uint8_t* y1,
                        uint8_t* cb, uint8_t* cr) {
  ConvertRowPairFrom<lanes::Avx2>(row0, row1, 0, count, y0, y1, cb, cr);
}

}  // namespace jpeg::detail

#include "jpeg/encoder/encoder.h"

#include <xmmintrin.h>  // _mm_prefetch

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "jpeg/encoder/kernels.h"
#include "jpeg/encoder/entropy.h"

// How the pieces fit.
//
// The picture goes through in bands of 16 rows (one row of 16x16 units). Each band is converted to
// luminance rows and to chrominance rows at half width and half height, padded on the right and at the
// bottom by repeating the last column and row. Each 8x8 block is then transformed, quantised and
// Huffman coded straight into the output buffer. The colour conversion, the transform and the
// quantisation are written once, in transform.h, for every vector width; sse2.cpp and avx2.cpp make
// each level's kernels of them. The entropy coding is in entropy.h. While a band is coded, the
// picture's rows of the next band are asked for (BandAhead).
//
// The blocks go through the transform two at a time, the two that share a table: the two halves of a
// luminance row of the unit, then its two chrominance blocks. AVX2 transforms both at once, one in
// each half of its registers, with the same arithmetic as the SSE2 level for one (kernels.h, chosen
// at run time).
//
// A block whose 64 samples are equal transforms to its DC term alone (64 * (sample - 128), exactly what
// the transform gives for it), so a pair of such blocks skips the transform (the kernel sees it on the
// rows it loads, and says so): screens are full of them.

namespace jpeg {
namespace detail {

const uint8_t kZigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,   //
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,  //
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,  //
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

}  // namespace detail

namespace {

using namespace detail;

// The quantised DC term of a flat block (FlatBlock) for each sample value, worked out once per table:
// half the blocks of a screen are flat, and the division is slow.
struct FlatTerms {
  int16_t dc[256];

  void Set(const QuantTable& table) {
    const int d = table.divisor[0];
    for (int sample = 0; sample < 256; ++sample) {
      const int term = 64 * (sample - 128);
      const int q = (std::abs(term) + d / 2) / d;
      dc[sample] = static_cast<int16_t>(term < 0 ? -q : q);
    }
  }
};

struct Component {
  const QuantTable* quant;
  const FlatTerms* flat;
  const HuffTable* dc;
  const HuffTable* ac;
  int last_dc = 0;
};

class Encoder {
 public:
  Encoder(const Pixels& pixels, int quality, Sink& sink, rt::SimdLevel level)
      : pixels_(pixels), kernels_(EncoderKernelsFor(level)), out_(sink), dc_luma_(kDcLuminance), dc_chroma_(kDcChrominance),
        ac_luma_(kAcLuminance), ac_chroma_(kAcChrominance) {
    luma_.Set(detail::kLuminanceBase, quality);
    chroma_.Set(detail::kChrominanceBase, quality);
    flat_luma_.Set(luma_);
    flat_chroma_.Set(chroma_);
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

    Component y{&luma_, &flat_luma_, &dc_luma_, &ac_luma_};
    Component u{&chroma_, &flat_chroma_, &dc_chroma_, &ac_chroma_};
    Component v{&chroma_, &flat_chroma_, &dc_chroma_, &ac_chroma_};
    const int32_t bands = (pixels_.height + 15) / 16;
    for (int32_t band = 0; band < bands; ++band) {
      ConvertBand(band * 16, luma.data(), cb.data(), cr.data());
      BandAhead ahead(*this, band + 1 < bands ? band * 16 + 16 : pixels_.height, units_across_);
      for (int32_t unit = 0; unit < units_across_; ++unit) {
        ahead.Step();
        if (!out_.Reserve(4096)) return EncodeResult::kSinkFailed;
        const uint8_t* l = luma.data() + unit * 16;
        Pair(l, l + 8, luma_stride_, y, y);
        Pair(l + 8 * luma_stride_, l + 8 * luma_stride_ + 8, luma_stride_, y, y);
        Pair(cb.data() + unit * 8, cr.data() + unit * 8, chroma_stride_, u, v);
      }
    }
    out_.AlignWithOnes();
    out_.Word(0xFFD9);
    return out_.Flush() ? EncodeResult::kOk : EncodeResult::kSinkFailed;
  }

 private:
  // Asks for the picture's rows of the next band a few cache lines at a time, spread evenly over the
  // units of this band: the next band's colour conversion then finds them in the second-level cache
  // instead of waiting on memory, which the coding of this band leaves idle. A band's rows lie in one
  // stretch of memory, whichever way they run.
  class BandAhead {
   public:
    BandAhead(const Encoder& encoder, int32_t first, int32_t steps) {
      const int32_t last = std::min(first + 15, encoder.pixels_.height - 1);
      if (first > last) return;
      const uint8_t* a = encoder.Row(first);
      const uint8_t* b = encoder.Row(last);
      next_ = reinterpret_cast<uintptr_t>(std::min(a, b)) & ~uintptr_t{63};
      end_ = reinterpret_cast<uintptr_t>(std::max(a, b)) + 3 * static_cast<uintptr_t>(encoder.pixels_.width);
      const uintptr_t per_step = 64 * static_cast<uintptr_t>(steps);
      per_step_ = static_cast<int32_t>((end_ - next_ + per_step - 1) / per_step);
    }
    void Step() {
      for (int32_t n = 0; n < per_step_ && next_ < end_; ++n, next_ += 64)
        _mm_prefetch(reinterpret_cast<const char*>(next_), _MM_HINT_T1);
    }

   private:
    uintptr_t next_ = 0, end_ = 0;
    int32_t per_step_ = 0;
  };

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
      kernels_.convert(row0, row1, even, y0, y1, u, v);
      if (width & 1) {
        // The last column is paired with a copy of itself.
        uint8_t last0[6], last1[6];
        std::memcpy(last0, row0 + 3 * even, 3);
        std::memcpy(last0 + 3, row0 + 3 * even, 3);
        std::memcpy(last1, row1 + 3 * even, 3);
        std::memcpy(last1 + 3, row1 + 3 * even, 3);
        uint8_t ly0[2], ly1[2];
        kernels_.convert(last0, last1, 2, ly0, ly1, u + even / 2, v + even / 2);
        y0[even] = ly0[0];
        y1[even] = ly1[0];
      }
      std::memset(y0 + width, y0[width - 1], luma_stride_ - width);
      std::memset(y1 + width, y1[width - 1], luma_stride_ - width);
      std::memset(u + chroma_width, u[chroma_width - 1], chroma_stride_ - chroma_width);
      std::memset(v + chroma_width, v[chroma_width - 1], chroma_stride_ - chroma_width);
    }
  }

  // Two blocks quantised with the same table, coded in turn: a for component ca, then b for cb.
  void Pair(const uint8_t* a, const uint8_t* b, size_t stride, Component& ca, Component& cb) {
    // A flat block beside one that is not goes through the transform too, which gives it the same
    // coefficients.
    if (kernels_.transform(a, b, stride, *ca.quant, blocks_)) {
      FlatBlock(a[0], ca);
      FlatBlock(b[0], cb);
      return;
    }
    Code(blocks_[0], ca);
    Code(blocks_[1], cb);
  }

  // A flat block: its DC term alone, quantised as the vector code quantises it, and the end of the
  // block, in one write (at most 11 + 11 + 4 bits).
  void FlatBlock(uint8_t sample, Component& c) {
    const int value = c.flat->dc[sample];
    const Category diff = CategoryOf(value - c.last_dc);
    c.last_dc = value;
    const HuffTable::Entry& dc = c.dc->entry[diff.bits];
    const HuffTable::Entry& end = c.ac->entry[kEndOfBlock];
    Bits bits = out_.Take();
    bits.Put(((dc.code | diff.extra) << end.size) | end.code, dc.size + end.size);
    out_.Give(bits);
  }

  void Code(const QuantisedBlock& block, Component& c) {
    Bits bits = out_.Take();
    Dc(block.coef[0], c, bits);
    // In locals: the bytes the loop writes could be changing the tables and the block, as far as the
    // compiler knows, which would have it load their addresses again for every coefficient.
    const HuffTable& ac = *c.ac;
    uint64_t rest = block.nonzero & ~uint64_t{1};
    int last = 0;
    if (rest) {
      const ZigzagOrder& order = *zigzag_;
      const uint8_t* index = order.index;
      const uint16_t* categories = block.category;
      rest = order.Zigzag(rest);
      while (rest) {
        const int k = std::countr_zero(rest);
        rest &= rest - 1;
        int run = k - last - 1;
        last = k;
        while (run > 15) {
          Symbol(ac, kSixteenZeros, 0, bits);
          run -= 16;
        }
        const uint32_t category = categories[index[k]];
        Symbol(ac, static_cast<int>((run << 4) | (category >> 12)), category & 0xFFF, bits);
      }
    }
    if (last != 63) Symbol(ac, kEndOfBlock, 0, bits);
    out_.Give(bits);
  }

  void Dc(int value, Component& c, Bits& bits) {
    const Category diff = CategoryOf(value - c.last_dc);
    c.last_dc = value;
    Symbol(*c.dc, diff.bits, diff.extra, bits);
  }

  // The symbol's code, then the value's bits (as many as the symbol's low four bits say).
  static void Symbol(const HuffTable& table, int symbol, uint32_t value, Bits& bits) {
    const HuffTable::Entry& e = table.entry[symbol];
    bits.Put(e.code | value, e.size);
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
  EncoderKernels kernels_;
  BitWriter out_;
  QuantisedBlock blocks_[2];
  QuantTable luma_, chroma_;
  FlatTerms flat_luma_, flat_chroma_;
  HuffTable dc_luma_, dc_chroma_, ac_luma_, ac_chroma_;
  const ZigzagOrder* zigzag_ = &Zigzag();
  int32_t units_across_ = 0;
  size_t luma_stride_ = 0;
  size_t chroma_stride_ = 0;
};

}  // namespace

rt::SimdLevel EncodeLevel(rt::SimdLevel wanted) {
#if defined(ORVANE_SIMD_X86)
  return std::min({wanted, rt::SimdLevel::kAvx2, rt::BestSimdLevel()});
#else
  (void)wanted;
  return rt::SimdLevel::kSse2;
#endif
}

namespace detail {

EncoderKernels EncoderKernelsFor(rt::SimdLevel wanted) {
#if defined(ORVANE_SIMD_X86)
  if (EncodeLevel(wanted) == rt::SimdLevel::kAvx2) return {ConvertRowPairAvx2, TransformPairAvx2};
#endif
  (void)wanted;
  return {};
}

}  // namespace detail

EncodeResult Encode(const Pixels& pixels, int quality, Sink& sink) {
  return Encode(pixels, quality, sink, rt::BestSimdLevel());
}

EncodeResult Encode(const Pixels& pixels, int quality, Sink& sink, rt::SimdLevel level) {
  if (!pixels.top_row || pixels.width < 1 || pixels.height < 1 || pixels.width > 65535 || pixels.height > 65535)
    return EncodeResult::kBadImage;
  if (quality < 0 || quality > 100) return EncodeResult::kBadQuality;
  std::unique_ptr<Encoder> encoder(new (std::nothrow) Encoder(pixels, quality, sink, level));
  if (!encoder) return EncodeResult::kOutOfMemory;
  return encoder->Run();
}

}  // namespace jpeg

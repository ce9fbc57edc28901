// The JPEG encoder against arithmetic done the slow way, and its files against libjpeg-turbo, which
// decodes them and, for the same pixels and quality, writes the files we compare sizes and headers with.

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "jpeg/encoder/encoder.h"
#include "jpeg/encoder/kernels.h"

namespace {

using jpeg::EncodeResult;

class MemorySink final : public jpeg::Sink {
 public:
  bool Put(const uint8_t* data, size_t size) override {
    if (fail_after_bytes >= 0 && bytes.size() + size > static_cast<size_t>(fail_after_bytes)) return false;
    bytes.insert(bytes.end(), data, data + size);
    return true;
  }
  std::vector<uint8_t> bytes;
  long fail_after_bytes = -1;
};

// A picture in memory, top row first, rows padded to four bytes as a DIB's.
struct Picture {
  int32_t width, height;
  std::vector<uint8_t> bits;
  ptrdiff_t stride() const { return (width * 3 + 3) & ~3; }
  uint8_t* pixel(int x, int y) { return bits.data() + y * stride() + 3 * x; }
  Picture(int32_t w, int32_t h) : width(w), height(h), bits(static_cast<size_t>((w * 3 + 3) & ~3) * h) {}
  jpeg::Pixels TopDown() const { return {bits.data(), stride(), width, height}; }
};

// Something like a screen: flat panels, text-like strokes, a gradient and a noisy photo corner.
Picture ScreenLike(int32_t w, int32_t h, uint32_t seed) {
  Picture p(w, h);
  std::mt19937 random(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* px = p.pixel(x, y);
      int b = 240, g = 240, r = 240;
      if (y < h / 8) b = 160, g = 90, r = 40;                       // a title bar
      else if (x < w / 5) b = 220, g = 225, r = 230;                 // a side panel
      if ((y / 3) % 6 == 2 && (x / 2) % 9 < 6 && y > h / 8) b = g = r = 20;  // strokes of "text"
      if (x > w / 2 && y > h / 2) {                                  // a photo
        b = (x * 255) / w;
        g = (y * 255) / h;
        r = 128 + static_cast<int>(random() % 64) - 32;
      }
      px[0] = static_cast<uint8_t>(b), px[1] = static_cast<uint8_t>(g), px[2] = static_cast<uint8_t>(r);
    }
  return p;
}

Picture Noise(int32_t w, int32_t h, uint32_t seed) {
  Picture p(w, h);
  std::mt19937 random(seed);
  for (auto& b : p.bits) b = static_cast<uint8_t>(random());
  return p;
}

std::vector<uint8_t> EncodeOrFail(const jpeg::Pixels& pixels, int quality) {
  MemorySink sink;
  EXPECT_EQ(jpeg::Encode(pixels, quality, sink), EncodeResult::kOk);
  return sink.bytes;
}

std::vector<uint8_t> EncodeOrFail(const jpeg::Pixels& pixels, int quality, rt::SimdLevel level) {
  MemorySink sink;
  EXPECT_EQ(jpeg::Encode(pixels, quality, sink, level), EncodeResult::kOk);
  return sink.bytes;
}

struct Decoded {
  int width = 0, height = 0;
  std::vector<uint8_t> bgr;  // top row first, no padding
};

Decoded Decode(const std::vector<uint8_t>& jpeg) {
  Decoded out;
  tjhandle handle = tjInitDecompress();
  int subsampling = 0, colourspace = 0;
  if (tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &out.width, &out.height, &subsampling, &colourspace) ==
      0) {
    out.bgr.resize(static_cast<size_t>(out.width) * out.height * 3);
    if (tjDecompress2(handle, jpeg.data(), jpeg.size(), out.bgr.data(), out.width, 0, out.height, TJPF_BGR,
                      TJFLAG_ACCURATEDCT) != 0)
      out = {};
  }
  tjDestroy(handle);
  return out;
}

std::vector<uint8_t> TurboEncode(const Picture& p, int quality) {
  tjhandle handle = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  tjCompress2(handle, p.bits.data(), p.width, static_cast<int>(p.stride()), p.height, TJPF_BGR, &jpeg, &size,
              TJSAMP_420, quality, 0);
  std::vector<uint8_t> out(jpeg, jpeg + size);
  tjFree(jpeg);
  tjDestroy(handle);
  return out;
}

double Psnr(const Picture& p, const Decoded& d) {
  double sum = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width * 3; ++x) {
      const double e = double(p.bits[y * p.stride() + x]) - d.bgr[(static_cast<size_t>(y) * p.width * 3) + x];
      sum += e * e;
    }
  const double mse = sum / (double(p.width) * p.height * 3);
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// The segments before the scan data, without APP markers: tables, frame and scan headers.
std::vector<std::vector<uint8_t>> TableSegments(const std::vector<uint8_t>& jpeg) {
  std::vector<std::vector<uint8_t>> segments;
  size_t i = 2;
  while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF) {
    const int marker = jpeg[i + 1];
    const size_t length = (jpeg[i + 2] << 8) | jpeg[i + 3];
    if ((marker & 0xF0) != 0xE0) segments.emplace_back(jpeg.begin() + i, jpeg.begin() + i + 2 + length);
    if (marker == 0xDA) break;
    i += 2 + length;
  }
  return segments;
}

// The vector levels the encoder has that this processor runs.
std::vector<rt::SimdLevel> Levels() {
  std::vector<rt::SimdLevel> levels;
  for (rt::SimdLevel level : {rt::SimdLevel::kSse2, rt::SimdLevel::kAvx2})
    if (jpeg::EncodeLevel(level) == level) levels.push_back(level);
  return levels;
}

double CosineSum(const uint8_t* s, ptrdiff_t stride, int u, int v) {
  double sum = 0;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      sum += (s[y * stride + x] - 128.0) * std::cos((2 * x + 1) * u * M_PI / 16) * std::cos((2 * y + 1) * v * M_PI / 16);
  const double cu = u == 0 ? std::sqrt(0.125) : 0.5, cv = v == 0 ? std::sqrt(0.125) : 0.5;
  return 8 * cu * cv * sum;  // the orthonormal transform, times 8
}

TEST(JpegEncoder, TheTransformIsTheScaledDctToWithinOne) {
  std::mt19937 random(11);
  std::vector<std::vector<uint8_t>> blocks;
  for (int pattern = 0; pattern < 8; ++pattern) {  // extremes: flat, checkerboards, stripes
    std::vector<uint8_t> b(64);
    for (int i = 0; i < 64; ++i) {
      const int x = i % 8, y = i / 8;
      const bool on = pattern == 0 ? false : pattern == 1 ? true : pattern == 2 ? (x + y) % 2 : pattern == 3 ? !((x + y) % 2)
                     : pattern == 4 ? x % 2 : pattern == 5 ? y % 2 : pattern == 6 ? x < 4 : (x < 4) != (y < 4);
      b[i] = on ? 255 : 0;
    }
    blocks.push_back(b);
  }
  for (int n = 0; n < 2000; ++n) {
    std::vector<uint8_t> b(64);
    const int base = static_cast<int>(random() % 256), spread = static_cast<int>(random() % 256) + 1;
    for (auto& s : b) s = static_cast<uint8_t>(std::clamp(base + static_cast<int>(random() % spread) - spread / 2, 0, 255));
    blocks.push_back(b);
  }
  int worst = 0;
  for (const auto& b : blocks) {
    int16_t out[64];
    jpeg::detail::ForwardDct(b.data(), 8, out);
    for (int u = 0; u < 8; ++u)
      for (int v = 0; v < 8; ++v) {
        const long expected = std::lround(CosineSum(b.data(), 8, u, v));
        worst = std::max(worst, static_cast<int>(std::labs(out[u * 8 + v] - expected)));
      }
  }
  EXPECT_LE(worst, 1);
}

TEST(JpegEncoder, QuantisationRoundsHalvesAwayFromZeroForEveryDivisorAndCoefficient) {
  for (int q = 1; q <= 255; ++q) {
    uint16_t divisors[64];
    for (auto& d : divisors) d = static_cast<uint16_t>(8 * q);
    for (int first = -8192; first <= 8192; first += 64) {
      int16_t in[64], out[64];
      for (int i = 0; i < 64; ++i) in[i] = static_cast<int16_t>(std::min(first + i, 8192));
      jpeg::detail::Quantise(in, divisors, out);
      for (int i = 0; i < 64; ++i) {
        const int magnitude = (std::abs(in[i]) + 4 * q) / (8 * q);
        ASSERT_EQ(out[i], in[i] < 0 ? -magnitude : magnitude) << "c=" << in[i] << " q=" << q;
      }
    }
  }
}

TEST(JpegEncoder, ColourConversionFollowsTheJfifWeights) {
  for (rt::SimdLevel level : Levels())
  for (int count : {2, 8, 10, 16, 18, 64, 66}) {
    SCOPED_TRACE(rt::SimdLevelName(level));
    Picture p = Noise(count, 2, static_cast<uint32_t>(count));
    std::vector<uint8_t> y0(count), y1(count), cb(count / 2), cr(count / 2);
    jpeg::detail::EncoderKernelsFor(level).convert(p.pixel(0, 0), p.pixel(0, 1), count, y0.data(), y1.data(),
                                                   cb.data(), cr.data());
    for (int x = 0; x < count; ++x)
      for (int row = 0; row < 2; ++row) {
        const uint8_t* px = p.pixel(x, row);
        const double y = 0.114 * px[0] + 0.587 * px[1] + 0.299 * px[2];
        EXPECT_NEAR((row ? y1 : y0)[x], y, 0.51) << "count " << count << " x " << x;
      }
    for (int c = 0; c < count / 2; ++c) {
      double b = 0, g = 0, r = 0;
      for (int row = 0; row < 2; ++row)
        for (int x = 2 * c; x < 2 * c + 2; ++x) b += p.pixel(x, row)[0] / 4.0, g += p.pixel(x, row)[1] / 4.0, r += p.pixel(x, row)[2] / 4.0;
      EXPECT_NEAR(cb[c], 128 + 0.5 * b - 0.331264 * g - 0.168736 * r, 0.51) << "count " << count << " c " << c;
      EXPECT_NEAR(cr[c], 128 + 0.5 * r - 0.418688 * g - 0.081312 * b, 0.51) << "count " << count << " c " << c;
    }
  }
}

TEST(JpegEncoder, TablesAndHeadersAreThoseOfTheReferenceLibrary) {
  Picture p = ScreenLike(40, 24, 1);
  for (int quality : {1, 10, 25, 50, 60, 75, 90, 100}) {
    EXPECT_EQ(TableSegments(EncodeOrFail(p.TopDown(), quality)), TableSegments(TurboEncode(p, quality)))
        << "quality " << quality;
  }
  // Quality 0 is taken as 1.
  EXPECT_EQ(TableSegments(EncodeOrFail(p.TopDown(), 0)), TableSegments(EncodeOrFail(p.TopDown(), 1)));
}

TEST(JpegEncoder, EverySizeDecodesToThePictureAtItsSize) {
  for (auto [w, h] : {std::pair{1, 1}, {2, 1}, {1, 3}, {7, 5}, {8, 8}, {9, 9}, {15, 17}, {16, 16}, {17, 33},
                      {100, 37}, {1000, 3}, {3, 300}}) {
    // Flat colours come back within rounding, whatever the padding did to the edges.
    Picture flat(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* px = flat.pixel(x, y);
        px[0] = 30, px[1] = 160, px[2] = 220;
      }
    Decoded d = Decode(EncodeOrFail(flat.TopDown(), 60));
    ASSERT_EQ(d.width, w);
    ASSERT_EQ(d.height, h);
    for (size_t i = 0; i < d.bgr.size(); i += 3) {
      ASSERT_NEAR(d.bgr[i], 30, 3);
      ASSERT_NEAR(d.bgr[i + 1], 160, 3);
      ASSERT_NEAR(d.bgr[i + 2], 220, 3);
    }
    // Detail comes back as faithfully as from the reference library (2x2 chroma costs both the same).
    Picture screen = ScreenLike(w, h, 3);
    Decoded s = Decode(EncodeOrFail(screen.TopDown(), 95));
    ASSERT_EQ(s.width, w);
    EXPECT_GE(Psnr(screen, s), Psnr(screen, Decode(TurboEncode(screen, 95))) - 0.3) << w << "x" << h;
  }
}

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t hash = 0xcbf29ce484222325u;
  for (uint8_t b : bytes) hash = (hash ^ b) * 0x100000001b3u;
  return hash;
}

// The files this encoder has written since its first release, recorded then: a change to its inner
// workings must not change a byte of them.
TEST(JpegEncoder, WritesTheSameBytesAsEver) {
  struct Case {
    int width, height, quality;
    bool noise;
    uint64_t hash;
  };
  const Case cases[] = {
      {1, 1, 60, false, 0x37ea8c9f04551587u},     {17, 9, 1, false, 0xef7a4f2616e4d3adu},
      {37, 29, 60, false, 0xa57982158a25b473u},   {640, 400, 60, false, 0xb20aae8b9818841bu},
      {333, 211, 100, false, 0x03034e52c11c35beu}, {96, 64, 30, true, 0xf3a7b00d267d6f13u},
      {101, 53, 90, true, 0xd9099a5ba81efc6eu},
  };
  for (rt::SimdLevel level : Levels()) {
    SCOPED_TRACE(rt::SimdLevelName(level));
    for (const Case& c : cases) {
      const Picture p = c.noise ? Noise(c.width, c.height, 5) : ScreenLike(c.width, c.height, 6);
      EXPECT_EQ(Fnv1a(EncodeOrFail(p.TopDown(), c.quality, level)), c.hash)
          << c.width << "x" << c.height << " q" << c.quality << (c.noise ? " noise" : " screen");
    }
  }
}

// Every level against the first on random sizes (odd ones, and widths on either side of where the
// wider loops hand over to the narrower), qualities and pictures, top-down and bottom-up.
TEST(JpegEncoder, EveryLevelWritesTheSameBytes) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 120; ++round) {
    const int w = 1 + static_cast<int>(random() % (round < 80 ? 70 : 400));
    const int h = 1 + static_cast<int>(random() % (round < 80 ? 40 : 120));
    const int quality = static_cast<int>(random() % 101);
    const bool noise = round % 3 == 0;
    const Picture p = noise ? Noise(w, h, random()) : ScreenLike(w, h, random());
    const jpeg::Pixels bottom_up{p.bits.data() + (h - 1) * p.stride(), -p.stride(), w, h};
    const jpeg::Pixels pixels = round % 2 ? p.TopDown() : bottom_up;
    const std::vector<uint8_t> first = EncodeOrFail(pixels, quality, rt::SimdLevel::kSse2);
    for (rt::SimdLevel level : Levels())
      ASSERT_EQ(EncodeOrFail(pixels, quality, level), first)
          << rt::SimdLevelName(level) << " " << w << "x" << h << " q" << quality << (noise ? " noise" : " screen");
  }
}

// The transform of two blocks at each level against the single-block transform and quantisation, and
// the entropy coder's categories against their definition, for blocks from flat to the extremes; two
// flat blocks are only said to be flat, a flat one beside another is transformed.
TEST(JpegEncoder, EveryLevelTransformsPairsAsTheSingleBlockCodeAndCategorisesByDefinition) {
  std::mt19937 random(7);
  jpeg::detail::QuantTable tables[3];
  tables[0].Set(jpeg::detail::kLuminanceBase, 100);
  tables[1].Set(jpeg::detail::kChrominanceBase, 60);
  for (int i = 0; i < 64; ++i) tables[2].SetDivisor(i, 8);  // the finest: the largest coefficients
  for (rt::SimdLevel level : Levels()) {
    SCOPED_TRACE(rt::SimdLevelName(level));
    const jpeg::detail::TransformPair transform = jpeg::detail::EncoderKernelsFor(level).transform;
    for (int n = 0; n < 600; ++n) {
      // Two blocks side by side in rows of 24 bytes, as luminance blocks sit, or chrominance apart.
      std::vector<uint8_t> samples(8 * 24);
      const int kind = n % 5;
      for (size_t i = 0; i < samples.size(); ++i) {
        const int x = static_cast<int>(i % 24), y = static_cast<int>(i / 24);
        samples[i] = kind == 0   ? static_cast<uint8_t>(random())
                     : kind == 1 ? static_cast<uint8_t>((x + y) % 2 ? 255 : 0)
                     : kind == 2 ? static_cast<uint8_t>(n)
                     : kind == 3 ? static_cast<uint8_t>(std::clamp(128 + static_cast<int>(random() % 9) - 4, 0, 255))
                                 : static_cast<uint8_t>(x < 8 ? n : random());  // the first block flat
      }
      const jpeg::detail::QuantTable& table = tables[n % 3];
      const uint8_t* a = samples.data();
      const uint8_t* b = samples.data() + (n % 2 ? 8 : 16);
      jpeg::detail::QuantisedBlock out[2];
      const bool flat = transform(a, b, 24, table, out);
      ASSERT_EQ(flat, kind == 2) << "block " << n;
      if (flat) continue;
      for (int which = 0; which < 2; ++which) {
        int16_t dct[64], expected[64];
        jpeg::detail::ForwardDct(which ? b : a, 24, dct);
        jpeg::detail::Quantise(dct, table.divisor, expected);
        uint64_t nonzero = 0;
        for (int i = 0; i < 64; ++i) {
          ASSERT_EQ(out[which].coef[i], expected[i]) << "block " << n << " coefficient " << i;
          const int c = expected[i], magnitude = std::abs(c);
          const int bits = magnitude == 0 ? 0 : 32 - __builtin_clz(static_cast<unsigned>(magnitude));
          const uint32_t coded = static_cast<uint32_t>(c < 0 ? c - 1 : c) & ((1u << bits) - 1);
          // The entropy coder reads the categories of the coefficients that are not zero only.
          if (c != 0) ASSERT_EQ(out[which].category[i], bits << 12 | static_cast<int>(coded)) << "c=" << c;
          if (c != 0) nonzero |= uint64_t{1} << i;
        }
        ASSERT_EQ(out[which].nonzero, nonzero) << "block " << n;
      }
    }
  }
}

TEST(JpegEncoder, BottomUpMemoryGivesTheSameFileAsTopDown) {
  Picture p = ScreenLike(37, 29, 9);
  Picture flipped(37, 29);
  for (int y = 0; y < 29; ++y) std::copy_n(p.pixel(0, y), 37 * 3, flipped.pixel(0, 28 - y));
  const jpeg::Pixels bottom_up{flipped.pixel(0, 28), -flipped.stride(), 37, 29};
  EXPECT_EQ(EncodeOrFail(bottom_up, 60), EncodeOrFail(p.TopDown(), 60));
}

TEST(JpegEncoder, FilesAreAsSmallAndAsFaithfulAsTheReferenceLibrarysAtTheSameQuality) {
  for (const Picture& p : {ScreenLike(640, 400, 4), Noise(96, 64, 8)}) {
    for (int quality : {30, 60, 90}) {
      const std::vector<uint8_t> ours = EncodeOrFail(p.TopDown(), quality), theirs = TurboEncode(p, quality);
      EXPECT_LE(ours.size(), theirs.size() * 1.03) << "quality " << quality;
      EXPECT_GE(Psnr(p, Decode(ours)), Psnr(p, Decode(theirs)) - 0.3) << "quality " << quality;
    }
  }
}

TEST(JpegEncoder, FailuresStopTheEncodingAndSayWhy) {
  Picture p = ScreenLike(48, 40, 2);
  MemorySink refusing;
  refusing.fail_after_bytes = 0;
  EXPECT_EQ(jpeg::Encode(p.TopDown(), 60, refusing), EncodeResult::kSinkFailed);
  EXPECT_TRUE(refusing.bytes.empty());
  // A sink that takes the first chunk and then fills up: the encoding stops there, half written.
  Picture large = Noise(640, 480, 3);
  MemorySink filling;
  filling.fail_after_bytes = 300000;
  EXPECT_EQ(jpeg::Encode(large.TopDown(), 100, filling), EncodeResult::kSinkFailed);
  EXPECT_GT(filling.bytes.size(), 0u);
  EXPECT_LE(filling.bytes.size(), 300000u);

  MemorySink unused;
  EXPECT_EQ(jpeg::Encode({nullptr, 3, 1, 1}, 60, unused), EncodeResult::kBadImage);
  EXPECT_EQ(jpeg::Encode({p.bits.data(), p.stride(), 0, 1}, 60, unused), EncodeResult::kBadImage);
  EXPECT_EQ(jpeg::Encode({p.bits.data(), p.stride(), 48, 65536}, 60, unused), EncodeResult::kBadImage);
  EXPECT_EQ(jpeg::Encode(p.TopDown(), 101, unused), EncodeResult::kBadQuality);
  EXPECT_EQ(jpeg::Encode(p.TopDown(), -1, unused), EncodeResult::kBadQuality);
  EXPECT_TRUE(unused.bytes.empty());
}

}  // namespace

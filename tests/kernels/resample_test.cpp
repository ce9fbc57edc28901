#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include "image/kernels.h"
#include "kernels/reference_resample.h"

namespace {

// An owned buffer laid out like a DIB section.
struct Buffer {
  Buffer(int32_t w, int32_t h) : bytes(static_cast<size_t>(((w * 3 + 3) & ~3) * h), 0) {
    image = {bytes.data(), w, h, (w * 3 + 3) & ~3};
  }
  uint8_t* Pixel(int32_t x, int32_t row) { return bytes.data() + row * image.stride + 3 * x; }
  void SetGray(int32_t x, int32_t row, uint8_t v) {
    uint8_t* p = Pixel(x, row);
    p[0] = p[1] = p[2] = v;
  }
  std::vector<uint8_t> bytes;
  pixels::Image image;
};

long RaisedNumber(const std::function<void()>& f) {
  try {
    f();
  } catch (const rt::Error& e) {
    return e.number();
  }
  return 0;
}

TEST(Resample, WorkedExampleShowsHalvesToEvenAndRoundingBetweenPasses) {
  Buffer source(2, 2), target(4, 4);
  source.SetGray(0, 0, 0);
  source.SetGray(1, 0, 101);
  source.SetGray(0, 1, 200);
  source.SetGray(1, 1, 50);
  pixels::ResampleBilinear(source.image, target.image);
  const int expected[4][4] = {{0, 25, 50, 76}, {50, 60, 69, 78}, {100, 94, 88, 82}, {150, 128, 106, 85}};
  for (int row = 0; row < 4; ++row)
    for (int x = 0; x < 4; ++x)
      for (int k = 0; k < 3; ++k) EXPECT_EQ(target.Pixel(x, row)[k], expected[row][x]) << row << "," << x;
}

TEST(Resample, OnlyOneSizeChangedStillBlendsTheOtherDirection) {
  Buffer source(3, 3), wider(5, 3), taller(3, 5);
  for (int row = 0; row < 3; ++row)
    for (int x = 0; x < 3; ++x) source.SetGray(x, row, static_cast<uint8_t>(row * 100 + x * 10));
  pixels::ResampleBilinear(source.image, wider.image);
  // Row 1 samples source row position 1 * 2/3 = 0.6667: blended, not a copy of row 1.
  EXPECT_EQ(wider.Pixel(0, 1)[0], 67);
  EXPECT_EQ(wider.Pixel(0, 2)[0], 133);
  pixels::ResampleBilinear(source.image, taller.image);
  EXPECT_EQ(taller.Pixel(1, 0)[0], 7);  // column 1 samples 0.6667
  EXPECT_EQ(taller.Pixel(2, 0)[0], 13);
}

TEST(Resample, ShrinkingFourToTwoNeverUsesTheLastColumnAndOnePixelTargetsTakeTheCorner) {
  Buffer source(4, 2), target(2, 2), dot(1, 1);
  for (int row = 0; row < 2; ++row) {
    source.SetGray(0, row, 10);
    source.SetGray(1, row, 20);
    source.SetGray(2, row, 40);
    source.SetGray(3, row, 255);
  }
  pixels::ResampleBilinear(source.image, target.image);
  EXPECT_EQ(target.Pixel(0, 0)[0], 10);
  EXPECT_EQ(target.Pixel(1, 0)[0], 30);  // position 1.5: between 20 and 40, column 3 unused
  source.SetGray(0, 0, 77);
  pixels::ResampleBilinear(source.image, dot.image);
  EXPECT_EQ(dot.Pixel(0, 0)[0], 77);
}

TEST(Resample, SourcesOnePixelWideOrHighOrWithoutMemoryFailWithTheSubscriptError) {
  Buffer narrow(1, 5), flat(5, 1), target(3, 3);
  const std::vector<uint8_t> untouched = target.bytes;
  EXPECT_EQ(RaisedNumber([&] { pixels::ResampleBilinear(narrow.image, target.image); }), rt::kErrSubscriptRange);
  EXPECT_EQ(RaisedNumber([&] { pixels::ResampleBilinear(flat.image, target.image); }), rt::kErrSubscriptRange);
  EXPECT_EQ(target.bytes, untouched);  // nothing was written before the failure
  pixels::Image none{nullptr, 4, 4, 12};
  EXPECT_EQ(RaisedNumber([&] { pixels::ResampleBilinear(none, target.image); }), rt::kErrSubscriptRange);
  pixels::Image never{nullptr, 0, 0, 0};
  EXPECT_EQ(RaisedNumber([&] { pixels::ResampleBilinear(never, target.image); }), rt::kErrSubscriptRange);
}

// Every vector level this processor and this build have.
std::vector<rt::SimdLevel> Levels() {
  std::vector<rt::SimdLevel> levels;
  for (rt::SimdLevel level : {rt::SimdLevel::kSse2, rt::SimdLevel::kAvx2, rt::SimdLevel::kAvx512}) {
    if (pixels::ResampleLevel(level) == level) levels.push_back(level);
  }
  return levels;
}

TEST(Resample, EveryLevelEqualsTheLiteralArithmeticOnRandomSizesAndPixels) {
  std::printf("levels checked:");
  for (rt::SimdLevel level : Levels()) std::printf(" %s", rt::SimdLevelName(level));
  std::printf("\n");
  for (rt::SimdLevel level : Levels()) {
    SCOPED_TRACE(rt::SimdLevelName(level));
    std::mt19937 random(20261208);
    for (int round = 0; round < 400; ++round) {
      std::uniform_int_distribution<int32_t> size(2, round < 300 ? 24 : 300);
      const int32_t w = size(random), h = size(random);
      const int32_t nw = std::uniform_int_distribution<int32_t>(1, round < 300 ? 40 : 500)(random);
      const int32_t nh = std::uniform_int_distribution<int32_t>(1, round < 300 ? 40 : 500)(random);
      Buffer source(w, h), fast(nw, nh), literal(nw, nh);
      std::uniform_int_distribution<int> byte(0, 255);
      const bool flat_colours = round % 3 == 0;  // many equal neighbours and exact halves
      for (auto& b : source.bytes) b = static_cast<uint8_t>(flat_colours ? (byte(random) & 0x81) : byte(random));
      pixels::ResampleBilinear(source.image, fast.image, level);
      reference::ResampleBilinear(source.image, literal.image);
      ASSERT_EQ(fast.bytes, literal.bytes) << w << "x" << h << " -> " << nw << "x" << nh;
    }
  }
}

TEST(Resample, EveryLevelEqualsTheLiteralArithmeticOnOddWidthsAndTheCommonRatios) {
  // Odd widths and row lengths that leave every remainder of the sixteen-byte groups; ratios near 2,
  // 1.5 and 1/3 (the 23-bit fractions of real screens), a 1:1 width with a changed height, exact
  // halves and a shrink too steep for one group's window.
  const int32_t cases[][4] = {{1921, 1081, 1281, 721}, {385, 217, 191, 107}, {213, 161, 641, 361}, {97, 31, 97, 17},
                              {31, 7, 61, 13},         {9, 5, 4, 3},         {401, 3, 37, 2},     {17, 11, 33, 5},
                              {1000, 4, 123, 2},       {3, 3, 1001, 3}};
  for (rt::SimdLevel level : Levels()) {
    SCOPED_TRACE(rt::SimdLevelName(level));
    std::mt19937 random(7);
    for (const auto& c : cases) {
      Buffer source(c[0], c[1]), fast(c[2], c[3]), literal(c[2], c[3]);
      for (auto& b : source.bytes) b = static_cast<uint8_t>(random());
      pixels::ResampleBilinear(source.image, fast.image, level);
      reference::ResampleBilinear(source.image, literal.image);
      ASSERT_EQ(fast.bytes, literal.bytes) << c[0] << "x" << c[1] << " -> " << c[2] << "x" << c[3];
    }
  }
}

TEST(Resample, EveryLevelEqualsTheLiteralArithmeticForExtremeScales) {
  // Tiny fractions (positions within 2^-21 of a whole number) and long rows.
  const int32_t cases[][4] = {{2, 2, 3000000, 1}, {3, 2, 1, 2}, {2, 3, 5000, 7}, {7, 2, 2000003, 2}, {2, 9, 1, 600001}};
  for (rt::SimdLevel level : Levels()) {
    SCOPED_TRACE(rt::SimdLevelName(level));
    for (const auto& c : cases) {
      Buffer source(c[0], c[1]), fast(c[2], c[3]), literal(c[2], c[3]);
      for (size_t i = 0; i < source.bytes.size(); ++i) source.bytes[i] = static_cast<uint8_t>(i * 97 + 13);
      pixels::ResampleBilinear(source.image, fast.image, level);
      reference::ResampleBilinear(source.image, literal.image);
      ASSERT_EQ(fast.bytes, literal.bytes) << c[0] << "x" << c[1] << " -> " << c[2] << "x" << c[3];
    }
  }
}

TEST(Noise, GrayIsGrayColourHasNoBlueAndPaddingIsKept) {
  for (bool gray : {true, false}) {
    Buffer image(5, 7);  // 15 pixel bytes, 1 padding byte per row
    std::fill(image.bytes.begin(), image.bytes.end(), 0xA5);
    rt::Pcg32 generator;
    generator.Seed(1234);
    pixels::RandomiseBits(image.image, gray, generator);
    int distinct_red = 0, last_red = -1;
    for (int row = 0; row < 7; ++row) {
      EXPECT_EQ(image.bytes[row * image.image.stride + 15], 0xA5) << "padding";
      for (int x = 0; x < 5; ++x) {
        const uint8_t* p = image.Pixel(x, row);
        if (gray) {
          EXPECT_EQ(p[0], p[1]);
          EXPECT_EQ(p[1], p[2]);
        } else {
          EXPECT_EQ(p[0], 0);
        }
        distinct_red += p[2] != last_red;
        last_red = p[2];
      }
    }
    EXPECT_GT(distinct_red, 20);
  }
}

TEST(Noise, WalksRowsForGrayAndColumnsForColour) {
  Buffer gray(3, 2), colour(3, 2);
  rt::Pcg32 generator;
  generator.Seed(99);
  pixels::RandomiseBits(gray.image, true, generator);
  generator.Seed(99);
  pixels::RandomiseBits(colour.image, false, generator);
  rt::Pcg32 draws;
  draws.Seed(99);
  // Gray: one draw per pixel, memory row 0 first.
  for (int row = 0; row < 2; ++row)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(gray.Pixel(x, row)[0], pixels::NoiseByte(draws.NextSingle()));
  draws.Seed(99);
  // Colour: two draws per pixel (green, then red), each column from memory row 0 upwards.
  for (int x = 0; x < 3; ++x)
    for (int row = 0; row < 2; ++row) {
      EXPECT_EQ(colour.Pixel(x, row)[1], pixels::NoiseByte(draws.NextSingle()));
      EXPECT_EQ(colour.Pixel(x, row)[2], pixels::NoiseByte(draws.NextSingle()));
    }
}

TEST(Noise, BytesAreRoundedDrawsAndAnImageWithoutMemoryIsLeftAlone) {
  EXPECT_EQ(pixels::NoiseByte(0.0f), 0);
  EXPECT_EQ(pixels::NoiseByte(0.5f), 128);               // 127.5 goes to the even 128
  EXPECT_EQ(pixels::NoiseByte(1.5f / 255.0f), 2);        // about 1.5
  EXPECT_EQ(pixels::NoiseByte(16777215.0f / 16777216.0f), 255);
  rt::Pcg32 generator;
  pixels::Image none{nullptr, 4, 4, 12};
  pixels::RandomiseBits(none, true, generator);  // must not touch the missing memory
  pixels::Image empty{nullptr, 0, 0, 0};
  pixels::RandomiseBits(empty, false, generator);
}

// The 32-bit pixels of a captured picture into the 24-bit image, in either row order: the unused byte
// dropped, each row where it belongs, the padding untouched. Each image has memory of its own, exactly
// as large as its rows, so that the sanitizer sees any write past the last pixel.
TEST(CopyFrom32Bit, DropsTheUnusedByteKeepsTheRowOrderAndLeavesThePadding) {
  std::mt19937 random(11);
  for (bool top_down : {true, false}) {
    for (int32_t width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 641}) {
      for (int32_t height : {1, 2, 5}) {
        const int32_t in_stride = 4 * width, out_stride = (3 * width + 3) & ~3;
        std::vector<uint8_t> in(static_cast<size_t>(in_stride) * height);
        for (uint8_t& byte : in) byte = static_cast<uint8_t>(random());
        std::vector<uint8_t> out(static_cast<size_t>(out_stride) * height, 0xAB);
        pixels::CopyFrom32Bit(in.data(), in_stride, top_down, pixels::Image{out.data(), width, height, out_stride});
        for (int32_t row = 0; row < height; ++row) {
          // The image is bottom-up: its memory row 0 is the picture's bottom row.
          const int32_t source_row = top_down ? height - 1 - row : row;
          for (int32_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
              ASSERT_EQ(out[static_cast<size_t>(row) * out_stride + 3 * x + c],
                        in[static_cast<size_t>(source_row) * in_stride + 4 * x + c])
                  << width << "x" << height << " row " << row << " pixel " << x;
          for (int32_t pad = 3 * width; pad < out_stride; ++pad)
            ASSERT_EQ(out[static_cast<size_t>(row) * out_stride + pad], 0xAB) << "padding written";
        }
      }
    }
  }
}

TEST(PixelView, EveryAccessIsChecked) {
  Buffer image(2, 3);
  pixels::PixelView view(image.image);
  EXPECT_EQ(view.columns(), 8);
  EXPECT_EQ(view.rows(), 3);
  view.Set(7, 2, 9);
  EXPECT_EQ(view.Get(7, 2), 9);
  EXPECT_EQ(RaisedNumber([&] { view.Get(8, 0); }), rt::kErrSubscriptRange);
  EXPECT_EQ(RaisedNumber([&] { view.Get(0, 3); }), rt::kErrSubscriptRange);
  EXPECT_EQ(RaisedNumber([&] { view.Set(-1, 0, 1); }), rt::kErrSubscriptRange);
  EXPECT_EQ(RaisedNumber([&] { view.CheckedRow(0, 0, 8); }), rt::kErrSubscriptRange);
  pixels::PixelView none(nullptr, 8, 3);
  EXPECT_EQ(RaisedNumber([&] { none.Get(0, 0); }), rt::kErrSubscriptRange);
}

}  // namespace

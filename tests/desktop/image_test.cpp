// cDIBSection's resampling, noise and clipboard copy through the real platform.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "desktop/desktop.h"
#include "image/dib_section.h"
#include "platform/runtime/errors.h"
#include "platform/win/unique.h"

namespace {

void Paint(cDIBSection& image) {
  auto* bits = static_cast<uint8_t*>(image.DIBSectionBitsPtr());
  for (LONG row = 0; row < image.Height(); ++row)
    for (LONG b = 0; b < image.Width() * 3; ++b)
      bits[row * image.BytesPerScanLine() + b] = static_cast<uint8_t>(row * 40 + b * 7);
}

std::vector<uint8_t> Bytes(const cDIBSection& image) {
  const auto* bits = static_cast<const uint8_t*>(image.DIBSectionBitsPtr());
  return std::vector<uint8_t>(bits, bits + image.BytesPerScanLine() * image.Height());
}

TEST(ImageResample, TheSameSizeGivesASeparateImageWithEqualBytes) {
  cDIBSection image;
  ASSERT_TRUE(image.Create(7, 5));
  Paint(image);
  auto copy = image.Resample(5, 7);
  ASSERT_TRUE(copy);
  EXPECT_NE(copy->hDib(), image.hDib());
  EXPECT_EQ(copy->Width(), 7);
  ASSERT_EQ(Bytes(*copy), Bytes(image));
  static_cast<uint8_t*>(copy->DIBSectionBitsPtr())[0] ^= 0xFF;
  EXPECT_NE(Bytes(*copy), Bytes(image));
}

TEST(ImageResample, HeightComesFirstAndThisImageIsLeftAsItWas) {
  cDIBSection image;
  ASSERT_TRUE(image.Create(4, 3));
  Paint(image);
  const auto before = Bytes(image);
  auto resized = image.Resample(6, 2);
  ASSERT_TRUE(resized);
  EXPECT_EQ(resized->Width(), 2);
  EXPECT_EQ(resized->Height(), 6);
  EXPECT_EQ(Bytes(image), before);
}

TEST(ImageResample, FailuresGiveNoImage) {
  cDIBSection narrow;
  ASSERT_TRUE(narrow.Create(1, 4));
  Paint(narrow);
  try {
    narrow.Resample(8, 8);
    FAIL() << "no error raised";
  } catch (const rt::Error& e) {
    EXPECT_EQ(e.number(), rt::kErrSubscriptRange);
  }
  auto same = narrow.Resample(4, 1);  // copied at its own size
  ASSERT_TRUE(same);
  EXPECT_EQ(Bytes(*same), Bytes(narrow));
  EXPECT_EQ(narrow.Resample(0, 5), nullptr);  // a size the platform refuses
  cDIBSection never;
  try {
    never.Resample(3, 3);
    FAIL() << "no error raised";
  } catch (const rt::Error& e) {
    EXPECT_EQ(e.number(), rt::kErrSubscriptRange);
  }
  // An image cleared up keeps its size but has no pixels to read.
  cDIBSection cleared;
  ASSERT_TRUE(cleared.Create(5, 5));
  cleared.ClearUp();
  EXPECT_THROW(cleared.Resample(3, 3), rt::Error);
}

TEST(ImageNoise, FillsThePixelsOnlyAndReseedsEachCall) {
  cDIBSection image;
  ASSERT_TRUE(image.Create(5, 4));
  std::memset(image.DIBSectionBitsPtr(), 0x5A, static_cast<size_t>(image.BytesPerScanLine() * 4));
  image.RandomiseBits(true);
  const auto* bits = static_cast<const uint8_t*>(image.DIBSectionBitsPtr());
  for (int row = 0; row < 4; ++row) {
    EXPECT_EQ(bits[row * 16 + 15], 0x5A);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(bits[row * 16 + 3 * x], bits[row * 16 + 3 * x + 2]);
  }
  image.RandomiseBits();
  for (int row = 0; row < 4; ++row)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(bits[row * 16 + 3 * x], 0);
  cDIBSection empty;
  empty.RandomiseBits(true);  // nothing to fill
}

// Presses OK on the first message box this process shows, from another thread.
class BoxAnswerer {
 public:
  BoxAnswerer() : thread_([this] {
      for (int i = 0; i < 500 && !done_; ++i) {
        auto boxes = desktop::WindowsOf(::GetCurrentProcessId(), L"#32770");
        if (!boxes.empty()) {
          info_ = desktop::ReadDialog(boxes.front());
          desktop::Press(boxes.front(), IDOK);
          return;
        }
        ::Sleep(10);
      }
    }) {}
  ~BoxAnswerer() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
  }
  desktop::DialogInfo info() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
    return info_;
  }

 private:
  std::atomic<bool> done_{false};
  desktop::DialogInfo info_;
  std::thread thread_;
};

TEST(Clipboard, AskingForADibOnlyExplains) {
  ASSERT_TRUE(::OpenClipboard(nullptr));
  ::EmptyClipboard();
  ::SetClipboardData(CF_UNICODETEXT, nullptr);  // delayed text marks the clipboard as ours
  ::CloseClipboard();
  cDIBSection image;
  ASSERT_TRUE(image.Create(3, 3));
  desktop::DialogInfo info;
  {
    BoxAnswerer answerer;
    EXPECT_FALSE(image.CopyToClipboard());
    info = answerer.info();
  }
  EXPECT_EQ(info.caption, L"Orvane");
  EXPECT_EQ(info.text, L"I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!");
  EXPECT_EQ(info.buttons, (std::vector<int>{IDOK}));
  EXPECT_FALSE(info.has_icon);
  EXPECT_FALSE(::IsClipboardFormatAvailable(CF_BITMAP));
  EXPECT_TRUE(::IsClipboardFormatAvailable(CF_UNICODETEXT));  // left as it was
}

TEST(Clipboard, ABitmapOfTheImageGoesOnTheClipboardUpright) {
  cDIBSection image;
  ASSERT_TRUE(image.Create(6, 4));
  auto* bits = static_cast<uint8_t*>(image.DIBSectionBitsPtr());
  std::memset(bits, 0, static_cast<size_t>(image.BytesPerScanLine() * 4));
  uint8_t* top_left = bits + 3 * image.BytesPerScanLine();  // memory row 3 is the picture's top row
  top_left[0] = 10, top_left[1] = 200, top_left[2] = 250;
  ASSERT_TRUE(image.CopyToClipboard(false));

  ASSERT_TRUE(::OpenClipboard(nullptr));
  HBITMAP bitmap = static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP));
  ASSERT_NE(bitmap, nullptr);
  BITMAP description{};
  ::GetObjectW(bitmap, sizeof description, &description);
  EXPECT_EQ(description.bmWidth, 6);
  EXPECT_EQ(description.bmHeight, 4);
  win::MemoryDC dc(::CreateCompatibleDC(nullptr));
  COLORREF corner, below;
  {
    win::SelectGuard selection(dc.get(), bitmap);
    corner = ::GetPixel(dc.get(), 0, 0);
    below = ::GetPixel(dc.get(), 0, 3);
  }
  ::CloseClipboard();
  EXPECT_EQ(corner, RGB(250, 200, 10));
  EXPECT_EQ(below, RGB(0, 0, 0));
}

}  // namespace

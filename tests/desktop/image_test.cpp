// cDIBSection's reading of pictures, resampling, noise and clipboard copy through the real platform.

#include <gtest/gtest.h>

#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "capture/screen_capture.h"
#include "support/desktop.h"
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


// A 32-bit DIB section of random pixels, the unused byte included, top-down or bottom-up.
HBITMAP RandomSection(LONG width, LONG height, bool top_down, uint32_t seed) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = top_down ? -height : height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!section) return nullptr;
  auto* bytes = static_cast<uint8_t*>(bits);
  for (size_t i = 0; i < static_cast<size_t>(width) * height * 4; ++i) {
    seed = seed * 1664525u + 1013904223u;
    bytes[i] = static_cast<uint8_t>(seed >> 24);
  }
  return section;
}

// The picture's pixels as a blit of its bitmap gives them: the way every other bitmap is read.
std::vector<uint8_t> Blitted(HBITMAP bitmap, LONG width, LONG height) {
  cDIBSection image;
  if (!image.Create(width, height)) return {};
  win::MemoryDC dc(::CreateCompatibleDC(nullptr));
  win::SelectGuard selection(dc.get(), bitmap);
  image.LoadPictureBlt(dc.get());
  ::GdiFlush();
  const auto* bits = static_cast<const uint8_t*>(image.DIBSectionBitsPtr());
  return std::vector<uint8_t>(bits, bits + static_cast<size_t>(image.BytesPerScanLine()) * height);
}

std::vector<uint8_t> ReadDirectly(modScreenCapture::Picture picture) {
  cDIBSection image;
  image.CreateFromPicture(picture);
  if (!image.hDib()) return {};
  const auto* bits = static_cast<const uint8_t*>(image.DIBSectionBitsPtr());
  return std::vector<uint8_t>(bits, bits + static_cast<size_t>(image.BytesPerScanLine()) * image.Height());
}

// A picture of a 32-bit DIB section is read where its pixels lie: every byte, padding included, as the
// blit gives it, at odd widths and either row order.
TEST(ImageFromPicture, AThirtyTwoBitSectionGivesTheBytesOfTheBlit) {
  uint32_t seed = 7;
  for (bool top_down : {true, false}) {
    for (LONG width : {1, 2, 3, 4, 5, 7, 33, 641}) {
      for (LONG height : {1, 2, 17}) {
        HBITMAP section = RandomSection(width, height, top_down, ++seed);
        ASSERT_NE(section, nullptr);
        const std::vector<uint8_t> expected = Blitted(section, width, height);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(ReadDirectly(modScreenCapture::WrapBitmapAsPicture(section, nullptr)), expected)
            << width << "x" << height << (top_down ? " top-down" : " bottom-up");
      }
    }
  }
}

// The same for what the screen shows: a capture of a screen area, read directly and through the blit.
TEST(ImageFromPicture, AScreenCaptureReadsAsItsBlit) {
  desktop::SampleWindow target(L"Screen area", 301, 157, 80, 60, desktop::SampleWindow::Content::kScreen);
  ASSERT_TRUE(target.BringToFront());
  RECT area{};
  ::GetWindowRect(target.hwnd(), &area);
  modScreenCapture::Picture picture = modScreenCapture::GrabScreenArea(area);
  ASSERT_TRUE(picture);
  win::ComPtr<IPicture> object;
  ASSERT_TRUE(SUCCEEDED(picture.As(&object)));
  OLE_HANDLE handle = 0;
  ASSERT_TRUE(SUCCEEDED(object->get_Handle(&handle)));
  const auto bitmap = reinterpret_cast<HBITMAP>(static_cast<LONG_PTR>(static_cast<LONG>(handle)));
  HDC screen = ::GetDC(nullptr);
  const bool true_colour = ::GetDeviceCaps(screen, BITSPIXEL) == 32;
  ::ReleaseDC(nullptr, screen);
  DIBSECTION section{};
  if (true_colour) {
    EXPECT_EQ(::GetObjectW(bitmap, sizeof section, &section), static_cast<int>(sizeof section))
        << "on a 32-bit display the capture is a DIB section, read directly";
  }
  const std::vector<uint8_t> expected = Blitted(bitmap, area.right - area.left, area.bottom - area.top);
  EXPECT_EQ(ReadDirectly(picture), expected);
}

}  // namespace

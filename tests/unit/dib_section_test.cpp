#include <gtest/gtest.h>

#include <ocidl.h>
#include <olectl.h>

#include <cstring>

#include "capture/screen_capture.h"
#include "image/dib_section.h"
#include "image/pasting.h"
#include "support/images.h"
#include "support/temp_folder.h"
#include "platform/runtime/errors.h"
#include "platform/win/unique.h"

namespace {

// Paints every pixel of an image through its own context with one colour.
void Fill(cDIBSection& image, COLORREF colour) {
  win::GdiBrush brush(::CreateSolidBrush(colour));
  RECT all{0, 0, image.Width(), image.Height()};
  ::FillRect(image.hdc(), &all, brush.get());
  ::GdiFlush();
}

const uint8_t* Pixel(const cDIBSection& image, int x, int memory_row) {
  return static_cast<const uint8_t*>(image.DIBSectionBitsPtr()) + memory_row * image.BytesPerScanLine() + 3 * x;
}

TEST(DibSection, BytesPerScanLineRoundsRowsUpToFourBytes) {
  const LONG expected[] = {0, 4, 8, 12, 12, 16};
  for (LONG width = 1; width <= 5; ++width) {
    cDIBSection image;
    ASSERT_TRUE(image.Create(width, 1));
    EXPECT_EQ(image.BytesPerScanLine(), expected[width]) << "width " << width;
  }
}

TEST(DibSection, StartsEmptyAndCreateFillsTheHeaderAndHandles) {
  cDIBSection image;
  EXPECT_EQ(image.hdc(), nullptr);
  EXPECT_EQ(image.hDib(), nullptr);
  EXPECT_EQ(image.DIBSectionBitsPtr(), nullptr);
  EXPECT_EQ(image.Width(), 0);
  ASSERT_TRUE(image.Create(7, 3));
  EXPECT_EQ(image.Width(), 7);
  EXPECT_EQ(image.Height(), 3);
  ASSERT_NE(image.hdc(), nullptr);
  ASSERT_NE(image.DIBSectionBitsPtr(), nullptr);
  EXPECT_EQ(::GetCurrentObject(image.hdc(), OBJ_BITMAP), image.hDib());
  DIBSECTION section{};
  ASSERT_EQ(::GetObjectW(image.hDib(), sizeof section, &section), static_cast<int>(sizeof section));
  EXPECT_EQ(section.dsBmih.biBitCount, 24);
  EXPECT_GT(section.dsBmih.biHeight, 0);  // bottom-up
  EXPECT_EQ(section.dsBm.bmBits, image.DIBSectionBitsPtr());
}

TEST(DibSection, CreateOnAHoldingObjectFreesTheOldDibAndContext) {
  cDIBSection image;
  ASSERT_TRUE(image.Create(4, 4));
  HDC old_dc = image.hdc();
  HBITMAP old_dib = image.hDib();
  ASSERT_TRUE(image.Create(5, 2));
  EXPECT_EQ(::GetObjectType(old_dib), 0u);
  EXPECT_EQ(::GetObjectType(old_dc), 0u);
  EXPECT_EQ(image.Width(), 5);
}

TEST(DibSection, ClearUpFreesEverythingKeepsTheSizeAndIsHarmlessTwice) {
  cDIBSection image;
  image.ClearUp();
  ASSERT_TRUE(image.Create(6, 2));
  HDC dc = image.hdc();
  HBITMAP dib = image.hDib();
  image.ClearUp();
  EXPECT_EQ(::GetObjectType(dib), 0u);
  EXPECT_EQ(::GetObjectType(dc), 0u);
  EXPECT_EQ(image.hdc(), nullptr);
  EXPECT_EQ(image.hDib(), nullptr);
  EXPECT_EQ(image.DIBSectionBitsPtr(), nullptr);
  EXPECT_EQ(image.Width(), 6);  // the header keeps its last values
  EXPECT_EQ(image.Height(), 2);
  image.ClearUp();
  EXPECT_EQ(image.hdc(), nullptr);
}

TEST(DibSection, RefusedAndOverflowingSizesLeaveTheObjectEmpty) {
  cDIBSection image;
  EXPECT_FALSE(image.Create(0, 0));
  EXPECT_EQ(image.hdc(), nullptr);
  EXPECT_FALSE(image.Create(-3, 4));
  EXPECT_EQ(image.hdc(), nullptr);
  try {
    image.Create(1 << 30, 1);  // 3 * width overflows 32 bits
    FAIL() << "no error raised";
  } catch (const rt::Error& e) {
    EXPECT_EQ(e.number(), rt::kErrOverflow);
  }
  EXPECT_EQ(image.hdc(), nullptr);
  try {
    image.Create(40000, 40000);  // the byte count overflows
    FAIL() << "no error raised";
  } catch (const rt::Error& e) {
    EXPECT_EQ(e.number(), rt::kErrOverflow);
  }
  EXPECT_EQ(image.hdc(), nullptr);
  EXPECT_EQ(image.hDib(), nullptr);
}

TEST(DibSection, BlitsWithMinusOneCoverTheWholeImage) {
  cDIBSection source, image, target;
  ASSERT_TRUE(source.Create(9, 5));
  ASSERT_TRUE(image.Create(9, 5));
  ASSERT_TRUE(target.Create(9, 5));
  Fill(source, RGB(10, 20, 30));
  Fill(image, RGB(0, 0, 0));
  Fill(target, RGB(0, 0, 0));
  image.LoadPictureBlt(source.hdc());
  image.PaintPicture(target.hdc());
  ::GdiFlush();
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 9; ++x) {
      const uint8_t* a = Pixel(image, x, y);
      const uint8_t* b = Pixel(target, x, y);
      ASSERT_EQ(a[0], 30);
      ASSERT_EQ(a[1], 20);
      ASSERT_EQ(a[2], 10);
      ASSERT_EQ(b[0], 30);
      ASSERT_EQ(b[2], 10);
    }
  // Explicit sizes and offsets are used as given.
  Fill(target, RGB(0, 0, 0));
  image.PaintPicture(target.hdc(), 2, 1, 3, 2);
  ::GdiFlush();
  EXPECT_EQ(Pixel(target, 1, 3)[0], 0);  // left of the painted block (memory row 3 = picture row 1)
  EXPECT_EQ(Pixel(target, 2, 3)[0], 30);
  EXPECT_EQ(Pixel(target, 4, 2)[0], 30);
  EXPECT_EQ(Pixel(target, 5, 3)[0], 0);
}

TEST(DibSection, ABlitTheSystemRefusesRaisesAndLeavesThePixels) {
  cDIBSection image;
  ASSERT_TRUE(image.Create(3, 2));
  Fill(image, RGB(1, 2, 3));
  auto number = [](auto&& blit) -> long {
    try {
      blit();
    } catch (const rt::Error& e) {
      return e.number();
    }
    return 0;
  };
  // No context to copy from or to: the copy fails, and an unwritten picture is not taken for one.
  EXPECT_NE(number([&] { image.LoadPictureBlt(nullptr); }), 0);
  EXPECT_NE(number([&] { image.PaintPicture(nullptr); }), 0);
  ::GdiFlush();
  EXPECT_EQ(Pixel(image, 0, 0)[0], 3);
  EXPECT_EQ(Pixel(image, 2, 1)[2], 1);
}

// A 4 x 3 device-dependent bitmap with a distinct colour per pixel, as a capture would give.
win::GdiBitmap MakeTestBitmap() {
  win::WindowDC screen = win::GetDC(nullptr);
  win::GdiBitmap bitmap(::CreateCompatibleBitmap(screen.get(), 4, 3));
  win::MemoryDC dc(::CreateCompatibleDC(screen.get()));
  win::SelectGuard selection(dc.get(), bitmap.get());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) ::SetPixel(dc.get(), x, y, RGB(40 * x + 10, 60 * y + 20, 200 - 30 * x));
  return bitmap;
}

TEST(DibSection, CreateFromPictureCopiesTheBitmapUprightAndIgnoresThePalette) {
  win::GdiBitmap plain = MakeTestBitmap();
  win::GdiBitmap with_palette = MakeTestBitmap();
  struct {
    WORD version, count;
    PALETTEENTRY entries[2];
  } record{0x300, 2, {{255, 0, 255, 0}, {0, 255, 0, 0}}};
  HPALETTE palette = ::CreatePalette(reinterpret_cast<const LOGPALETTE*>(&record));
  auto picture = modScreenCapture::WrapBitmapAsPicture(plain.release(), nullptr);
  auto picture_with_palette = modScreenCapture::WrapBitmapAsPicture(with_palette.release(), palette);
  ASSERT_TRUE(picture);
  ASSERT_TRUE(picture_with_palette);

  cDIBSection a, b;
  a.CreateFromPicture(picture);
  b.CreateFromPicture(picture_with_palette);
  ASSERT_EQ(a.Width(), 4);
  ASSERT_EQ(a.Height(), 3);
  ASSERT_NE(a.hDib(), nullptr);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      const uint8_t* p = Pixel(a, x, 2 - y);  // picture row y is memory row 2 - y
      EXPECT_EQ(p[2], 40 * x + 10);
      EXPECT_EQ(p[1], 60 * y + 20);
      EXPECT_EQ(p[0], 200 - 30 * x);
      EXPECT_EQ(std::memcmp(p, Pixel(b, x, 2 - y), 3), 0);
    }
}

TEST(DibSection, APictureWithoutABitmapGivesAZeroByZeroRequest) {
  cDIBSection image;
  ASSERT_TRUE(image.Create(3, 3));
  HDC old_dc = image.hdc();
  image.CreateFromPicture(nullptr);
  EXPECT_EQ(image.hdc(), nullptr);
  EXPECT_EQ(::GetObjectType(old_dc), 0u);
  EXPECT_EQ(image.Width(), 0);
  EXPECT_EQ(image.Height(), 0);

  // An empty picture object: its handle is 0.
  PICTDESC empty{};
  empty.cbSizeofstruct = sizeof empty;
  empty.picType = PICTYPE_NONE;
  win::ComPtr<IDispatch> none;
  ASSERT_HRESULT_SUCCEEDED(::OleCreatePictureIndirect(&empty, IID_IDispatch, TRUE, reinterpret_cast<void**>(none.GetAddressOf())));
  ASSERT_TRUE(image.Create(3, 3));
  image.CreateFromPicture(none);
  EXPECT_EQ(image.hdc(), nullptr);
  EXPECT_EQ(image.Width(), 0);
}

TEST(Guards, SelectionIsUndoneWhenTheGuardGoes) {
  win::MemoryDC dc(::CreateCompatibleDC(nullptr));
  HGDIOBJ original = ::GetCurrentObject(dc.get(), OBJ_BITMAP);
  win::GdiBitmap bitmap(::CreateCompatibleBitmap(dc.get(), 2, 2));
  {
    win::SelectGuard selection(dc.get(), bitmap.get());
    EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BITMAP), bitmap.get());
  }
  EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BITMAP), original);
  // A restored guard does nothing more at its end.
  HPALETTE stock = static_cast<HPALETTE>(::GetStockObject(DEFAULT_PALETTE));
  {
    win::PaletteGuard palette(dc.get(), stock);
    palette.restore();
  }
  EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_PAL), stock);
}

TEST(Guards, WrapBitmapAsPictureOwnsTheHandles) {
  win::GdiBitmap bitmap = MakeTestBitmap();
  HBITMAP handle = bitmap.release();
  {
    auto picture = modScreenCapture::WrapBitmapAsPicture(handle, nullptr);
    ASSERT_TRUE(picture);
    win::ComPtr<IPicture> as_picture;
    ASSERT_HRESULT_SUCCEEDED(picture.As(&as_picture));
    OLE_HANDLE palette = 1;
    as_picture->get_hPal(&palette);
    EXPECT_EQ(palette, 0u);
    EXPECT_EQ(::GetObjectType(handle), static_cast<DWORD>(OBJ_BITMAP));
  }
  EXPECT_EQ(::GetObjectType(handle), 0u);  // released with the last reference
}

// The PNG that goes on the clipboard for pasting: three pixels wide (rows padded), with a top row
// unlike the rest, read back by the imaging component: upright, and every pixel as it was.
TEST(Pasting, ThePngHoldsTheImageUprightPixelForPixel) {
  cDIBSection image;
  ASSERT_TRUE(image.Create(3, 4));
  for (int row = 0; row < 4; ++row)
    for (int x = 0; x < 3; ++x) {
      auto* pixel = static_cast<uint8_t*>(image.DIBSectionBitsPtr()) + row * image.BytesPerScanLine() + 3 * x;
      pixel[0] = static_cast<uint8_t>(10 + x);        // blue
      pixel[1] = static_cast<uint8_t>(40 * row);      // green: the memory row, bottom-up
      pixel[2] = row == 3 ? 255 : static_cast<uint8_t>(7 * x);  // red: the top row stands out
    }
  const std::string png = pasting::PngFile(image);
  ASSERT_EQ(png.rfind("\x89PNG", 0), 0u);
  testing_support::TempFolder folder;
  testing_support::WriteBytes(folder / L"pasted.png", png);
  const testing_support::DecodedImage decoded = testing_support::DecodeImageFile(folder / L"pasted.png");
  ASSERT_EQ(decoded.width, 3u);
  ASSERT_EQ(decoded.height, 4u);
  for (UINT y = 0; y < 4; ++y)
    for (UINT x = 0; x < 3; ++x)
      EXPECT_EQ(std::memcmp(decoded.At(x, y), Pixel(image, static_cast<int>(x), static_cast<int>(3 - y)), 3), 0)
          << x << "," << y;
  EXPECT_EQ(decoded.At(0, 0)[2], 255) << "upside down";

  cDIBSection empty;
  EXPECT_TRUE(pasting::PngFile(empty).empty());
}

}  // namespace

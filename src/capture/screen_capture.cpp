#include "capture/screen_capture.h"

#include <olectl.h>

#include <optional>

#include "platform/runtime/checked.h"
#include "platform/win/unique.h"

namespace modScreenCapture {
namespace {

struct LogPalette256 {
  WORD palVersion;
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[256];
};

}  // namespace

Picture GrabForegroundWindow() {
  HWND window = ::GetForegroundWindow();
  RECT rect{};  // stays all zero when there is no foreground window
  ::GetWindowRect(window, &rect);
  LONG width = rt::Sub32(rect.right, rect.left);
  LONG height = rt::Sub32(rect.bottom, rect.top);
  return GrabWindowImage(window, false, 0, 0, width, height);
}

Picture GrabWindowImage(HWND hWnd, bool bClient, LONG lLeft, LONG lTop, LONG lWidth, LONG lHeight) {
  win::WindowDC source = bClient ? win::GetDC(hWnd) : win::GetWindowDC(hWnd);
  win::MemoryDC memory(::CreateCompatibleDC(source.get()));
  win::GdiBitmap bitmap(::CreateCompatibleBitmap(source.get(), lWidth, lHeight));
  win::GdiPalette palette;
  {
    win::SelectGuard bitmap_selection(memory.get(), bitmap.get());
    const bool has_palette = (::GetDeviceCaps(source.get(), RASTERCAPS) & RC_PALETTE) != 0;
    const int palette_size = ::GetDeviceCaps(source.get(), SIZEPALETTE);
    std::optional<win::PaletteGuard> palette_selection;
    if (has_palette && palette_size == 256) {
      LogPalette256 record{.palVersion = 0x300, .palNumEntries = 256, .palPalEntry = {}};
      ::GetSystemPaletteEntries(source.get(), 0, 256, record.palPalEntry);
      palette.reset(::CreatePalette(reinterpret_cast<const LOGPALETTE*>(&record)));
      palette_selection.emplace(memory.get(), palette.get(), FALSE);
      ::RealizePalette(memory.get());
    }
    ::BitBlt(memory.get(), 0, 0, lWidth, lHeight, source.get(), lLeft, lTop, SRCCOPY);
    // The filled bitmap comes out of the memory context before the palette does.
    bitmap_selection.restore();
    if (palette_selection) palette_selection->restore();
  }
  memory.reset();
  source.reset();
  HBITMAP bitmap_handle = bitmap.release();
  HPALETTE palette_handle = palette.release();
  return WrapBitmapAsPicture(bitmap_handle, palette_handle);
}

Picture WrapBitmapAsPicture(HBITMAP hBmp, HPALETTE hPal) {
  win::GdiBitmap bitmap(hBmp);
  win::GdiPalette palette(hPal);
  PICTDESC description{};
  description.cbSizeofstruct = sizeof(PICTDESC);
  description.picType = PICTYPE_BITMAP;
  description.bmp.hbitmap = bitmap.get();
  description.bmp.hpal = palette.get();
  Picture picture;
  HRESULT hr = ::OleCreatePictureIndirect(&description, IID_IDispatch, TRUE,
                                          reinterpret_cast<void**>(picture.ReleaseAndGetAddressOf()));
  if (SUCCEEDED(hr) && picture) {
    // The picture accepted both handles and deletes them when its last reference goes.
    (void)bitmap.release();
    (void)palette.release();
  } else {
    picture.Reset();
  }
  return picture;
}

}  // namespace modScreenCapture

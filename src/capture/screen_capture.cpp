#include "capture/screen_capture.h"

#include <dwmapi.h>
#include <olectl.h>

#include <algorithm>

#include "platform/runtime/checked.h"
#include "platform/runtime/failure.h"
#include "platform/runtime/win_error.h"
#include "platform/win/dwm.h"
#include "platform/win/unique.h"

namespace modScreenCapture {
namespace {

struct LogPalette256 {
  WORD palVersion;
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[256];
};

// A 32-bit top-down DIB section of the size, or null. On a 32-bit display a blit into it keeps every
// byte that one into a compatible bitmap keeps, and the picture's pixels can then be read where they
// lie (cDIBSection::CreateFromPicture) instead of through a second blit.
HBITMAP ThirtyTwoBitSection(HDC source, LONG width, LONG height) {
  if (width <= 0 || height <= 0) return nullptr;
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{.biSize = sizeof(BITMAPINFOHEADER), .biWidth = width, .biHeight = -height,
                                    .biPlanes = 1, .biBitCount = 32, .biCompression = BI_RGB, .biSizeImage = 0,
                                    .biXPelsPerMeter = 0, .biYPelsPerMeter = 0, .biClrUsed = 0, .biClrImportant = 0};
  void* bits = nullptr;
  return ::CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

// Copies width x height pixels from (left, top) of a borrowed context into a new bitmap, carrying the
// system palette on a 256-colour display, and gives the context back before the picture is made.
// `as_section`: into a 32-bit DIB section where the display is a 32-bit one without a palette; into a
// compatible bitmap otherwise. A copy the system refuses raises its error instead of leaving a black
// picture to be mailed: reading the screen fails while another desktop has the input, as the lock
// screen and the User Account Control prompt do.
Picture CopyToPicture(win::WindowDC source, LONG left, LONG top, LONG width, LONG height, DWORD rop,
                      bool as_section = false) {
  win::MemoryDC memory(::CreateCompatibleDC(source.get()));
  const bool has_palette = (::GetDeviceCaps(source.get(), RASTERCAPS) & RC_PALETTE) != 0;
  const bool section = as_section && !has_palette && ::GetDeviceCaps(source.get(), BITSPIXEL) == 32 &&
                       ::GetDeviceCaps(source.get(), PLANES) == 1;
  win::GdiBitmap bitmap(section ? ThirtyTwoBitSection(source.get(), width, height) : nullptr);
  if (!bitmap) bitmap.reset(::CreateCompatibleBitmap(source.get(), width, height));
  win::GdiPalette palette;
  {
    win::SelectGuard bitmap_selection(memory.get(), bitmap.get());
    const int palette_size = ::GetDeviceCaps(source.get(), SIZEPALETTE);
    std::optional<win::PaletteGuard> palette_selection;
    if (has_palette && palette_size == 256) {
      LogPalette256 record{.palVersion = 0x300, .palNumEntries = 256, .palPalEntry = {}};
      ::GetSystemPaletteEntries(source.get(), 0, 256, record.palPalEntry);
      palette.reset(::CreatePalette(reinterpret_cast<const LOGPALETTE*>(&record)));
      palette_selection.emplace(memory.get(), palette.get(), FALSE);
      ::RealizePalette(memory.get());
    }
    ::SetLastError(ERROR_SUCCESS);
    // Without a bitmap (too large a window) the picture stays empty, and the run says it is too large.
    // A copy refused (the desktop switched to the secure one, a display gone) is a failure of its own,
    // never a black picture.
    if (bitmap && !::BitBlt(memory.get(), 0, 0, width, height, source.get(), left, top, rop)) {
      try {
        rt::RaiseLastError(rt::RuntimeErrorSource() + L".Capture", L"The window's pixels could not be copied (BitBlt)");
      } catch (const rt::Error& error) {
        throw rt::Failure(rt::FailureKind::kNotCaptured, error);
      }
    }
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

// Always true from Windows 8 on; false on Windows 7 with the basic or classic theme.
bool DesktopIsComposited() {
  BOOL composited = FALSE;
  return SUCCEEDED(win::DwmIsCompositionEnabled(&composited)) && composited;
}

}  // namespace

RECT CaptureRectangle(const WindowFacts& facts) {
  if (!facts.present) return RECT{};
  RECT area = facts.visible_frame.value_or(facts.window_rect);
  if (facts.maximised_within) {
    // A maximised window overhangs its monitor by its borders, onto a neighbouring monitor or the
    // taskbar; what is visible of it is the work area.
    const RECT& work = *facts.maximised_within;
    const RECT inside{std::max(area.left, work.left), std::max(area.top, work.top), std::min(area.right, work.right),
                      std::min(area.bottom, work.bottom)};
    if (inside.left < inside.right && inside.top < inside.bottom) area = inside;
  }
  return area;
}

WindowFacts FactsOf(HWND window) {
  WindowFacts facts;
  facts.present = window != nullptr;
  if (!window) return facts;
  // A minimised window can still be the foreground window; its rectangle then lies near -32000.
  facts.minimised = ::IsIconic(window) != FALSE;
  // Cloaked windows are kept by the compositor but not drawn: on another virtual desktop, or a
  // suspended Store program (DWMWA_CLOAKED, "DWMWINDOWATTRIBUTE"). Non-zero is a reason it is hidden.
  DWORD cloaked = 0;
  facts.cloaked = SUCCEEDED(win::DwmGetWindowAttribute(window, DWMWA_CLOAKED, &cloaked, sizeof cloaked)) && cloaked != 0;
  ::GetWindowRect(window, &facts.window_rect);
  // GetWindowRect includes the invisible resize borders from Windows Vista on; the extended frame
  // bounds are the visible frame ("Remarks" of GetWindowRect). Both are in physical pixels for a
  // per-monitor aware process such as ours.
  RECT frame{};
  if (SUCCEEDED(win::DwmGetWindowAttribute(window, DWMWA_EXTENDED_FRAME_BOUNDS, &frame, sizeof frame)))
    facts.visible_frame = frame;
  if (::IsZoomed(window)) {
    MONITORINFO monitor{.cbSize = sizeof(MONITORINFO), .rcMonitor = {}, .rcWork = {}, .dwFlags = 0};
    if (::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
      facts.maximised_within = monitor.rcWork;
  }
  return facts;
}

bool ShowsSomething(const WindowFacts& facts) {
  if (!facts.present || facts.minimised || facts.cloaked) return false;
  const RECT area = CaptureRectangle(facts);
  return area.right > area.left && area.bottom > area.top;
}

Picture GrabForegroundWindow() { return GrabForegroundWindow(::GetForegroundWindow()); }

Picture GrabForegroundWindow(HWND window) {
  if (DesktopIsComposited()) {
    // A window's own context holds no pixels for content the compositor puts together (browsers,
    // Electron and Store programs come out black), nor the frame it draws: copy what is displayed.
    return GrabScreenArea(CaptureRectangle(FactsOf(window)));
  }
  RECT rect{};  // stays all zero when there is no foreground window
  ::GetWindowRect(window, &rect);
  LONG width = rt::Sub32(rect.right, rect.left);
  LONG height = rt::Sub32(rect.bottom, rect.top);
  return GrabWindowImage(window, false, 0, 0, width, height);
}

Picture GrabWindowImage(HWND hWnd, bool bClient, LONG lLeft, LONG lTop, LONG lWidth, LONG lHeight) {
  return CopyToPicture(bClient ? win::GetDC(hWnd) : win::GetWindowDC(hWnd), lLeft, lTop, lWidth, lHeight, SRCCOPY);
}

Picture GrabScreenArea(const RECT& area) {
  LONG width = rt::Sub32(area.right, area.left);
  LONG height = rt::Sub32(area.bottom, area.top);
  // Without CAPTUREBLT a read of the screen leaves out layered windows (translucent, or with shaped
  // corners and shadows), so an always-on-top overlay would be missing from "what is displayed"
  // (BitBlt reference, CAPTUREBLT). The flag's known cost, a blinking software cursor while GDI hides
  // it for the read, belongs to desktops without composition (R. Chen, "The Case of the Disappearing
  // Cursor", TechNet Magazine, Feb. 2009), and this path runs only with composition on.
  return CopyToPicture(win::GetDC(nullptr), area.left, area.top, width, height, SRCCOPY | CAPTUREBLT, true);
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

// cDIBSection's copy to the clipboard, as a device-dependent bitmap.

#include "image/dib_section.h"
#include "platform/runtime/errors.h"
#include "platform/runtime/ui.h"
#include "platform/win/unique.h"

bool cDIBSection::CopyToClipboard(bool bAsDIB) {
  bool result = false;
  win::WindowDC screen = win::GetDC(::GetDesktopWindow());
  if (!screen) return false;
  win::MemoryDC copy(::CreateCompatibleDC(screen.get()));
  if (!copy) return false;
  if (bAsDIB) {
    rt::MsgBox(L"I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!", 0);
    return false;
  }
  win::GdiBitmap bitmap(::CreateCompatibleBitmap(screen.get(), Width(), Height()));
  if (!bitmap) return false;
  try {
    win::SelectGuard selection(copy.get(), bitmap.get());
    PaintPicture(copy.get(), 0, 0, -1, -1, 0, 0, SRCCOPY);
  } catch (const rt::Error&) {
    return false;  // an unpainted bitmap would paste as a black picture
  }
  // EmptyClipboard makes the window that opened the clipboard its owner, and with no window
  // SetClipboardData fails ("Remarks" of OpenClipboard). A message-only window of this call serves; what
  // it put on the clipboard stays there after it is gone, as it is not rendered on demand.
  win::Window owner(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
  if (::OpenClipboard(owner.get())) {
    ::EmptyClipboard();
    if (::SetClipboardData(CF_BITMAP, bitmap.get())) {
      // The clipboard owns the bitmap from here on.
      (void)bitmap.release();
      result = true;
    }
    ::CloseClipboard();
  }
  // A bitmap the clipboard refused is deleted with its owner here.
  return result;
}

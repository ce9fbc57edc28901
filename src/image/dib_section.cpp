#include "image/dib_section.h"

#include <ocidl.h>
#include <olectl.h>

#include <cstring>
#include <optional>

#include "image/kernels.h"
#include "platform/runtime/checked.h"
#include "platform/runtime/win_error.h"

LONG cDIBSection::BytesPerScanLine() const {
  return static_cast<LONG>(static_cast<uint32_t>(rt::Add32(rt::Mul32(header_.biWidth, 3), 3)) & 0xFFFFFFFCu);
}

bool cDIBSection::CreateDIB(HDC lhDC, LONG lWidth, LONG lHeight, HBITMAP& hDib) {
  header_ = BITMAPINFOHEADER{
      .biSize = sizeof(BITMAPINFOHEADER),
      .biWidth = lWidth,
      .biHeight = lHeight,
      .biPlanes = 1,
      .biBitCount = 24,
      .biCompression = BI_RGB,
      .biSizeImage = 0,
      .biXPelsPerMeter = 0,
      .biYPelsPerMeter = 0,
      .biClrUsed = 0,
      .biClrImportant = 0,
  };
  header_.biSizeImage = static_cast<DWORD>(rt::Mul32(BytesPerScanLine(), header_.biHeight));
  BITMAPINFO info{};
  info.bmiHeader = header_;
  hDib = ::CreateDIBSection(lhDC, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
  if (!hDib) bits_ = nullptr;
  return hDib != nullptr;
}

bool cDIBSection::Create(LONG lWidth, LONG lHeight) {
  ClearUp();
  // A size whose byte count overflows raises in CreateDIB: the new context's owner gives it back, and
  // the object stays empty.
  win::MemoryDC dc(::CreateCompatibleDC(nullptr));
  if (!dc) return false;
  HBITMAP dib = nullptr;
  if (!CreateDIB(dc.get(), lWidth, lHeight, dib)) return false;
  dib_.reset(dib);
  dc_ = std::move(dc);
  selection_.emplace(dc_.get(), dib_.get());
  return true;
}

void cDIBSection::ClearUp() {
  selection_.reset();
  dc_.reset();
  dib_.reset();
  bits_ = nullptr;
}

void cDIBSection::LoadPictureBlt(HDC lhDC, LONG lSrcLeft, LONG lSrcTop, LONG lSrcWidth, LONG lSrcHeight, DWORD eRop) {
  if (lSrcWidth < 0) lSrcWidth = Width();
  if (lSrcHeight < 0) lSrcHeight = Height();
  // A copy that fails leaves the image as it was: raised, so that no unwritten picture is taken for one.
  ::SetLastError(ERROR_SUCCESS);
  if (!::BitBlt(dc_.get(), 0, 0, lSrcWidth, lSrcHeight, lhDC, lSrcLeft, lSrcTop, eRop))
    rt::RaiseLastError(rt::RuntimeErrorSource() + L".LoadPictureBlt", L"The pixels could not be copied (BitBlt)");
}

void cDIBSection::PaintPicture(HDC lhDC, LONG lDestLeft, LONG lDestTop, LONG lDestWidth, LONG lDestHeight,
                               LONG lSrcLeft, LONG lSrcTop, DWORD eRop) {
  if (lDestWidth < 0) lDestWidth = Width();
  if (lDestHeight < 0) lDestHeight = Height();
  ::SetLastError(ERROR_SUCCESS);
  if (!::BitBlt(lhDC, lDestLeft, lDestTop, lDestWidth, lDestHeight, dc_.get(), lSrcLeft, lSrcTop, eRop))
    rt::RaiseLastError(rt::RuntimeErrorSource() + L".PaintPicture", L"The pixels could not be copied (BitBlt)");
}

namespace {

// Whether the first row in a 32-bit DIB section's memory is the picture's top row; nothing when the
// system cannot be asked. The header that GetObject returns does not say for sure (Wine gives a
// positive height for a top-down section), so the system is asked: a marked first pixel in memory,
// read back through GDI at the top left.
std::optional<bool> FirstRowIsTop(HBITMAP bitmap, const DIBSECTION& section) {
  if (section.dsBm.bmHeight <= 1) return true;  // one row: either way
  win::MemoryDC dc(::CreateCompatibleDC(nullptr));
  if (!dc) return std::nullopt;
  win::SelectGuard selection(dc.get(), bitmap);
  if (!selection.previous() || selection.previous() == HGDI_ERROR) return std::nullopt;
  auto* first = static_cast<uint8_t*>(section.dsBm.bmBits);
  uint8_t kept[3];
  std::memcpy(kept, first, 3);
  const uint8_t marked[3] = {static_cast<uint8_t>(kept[0] ^ 0x80), static_cast<uint8_t>(kept[1] ^ 0x80),
                             static_cast<uint8_t>(kept[2] ^ 0x80)};
  std::memcpy(first, marked, 3);
  const bool top = ::GetPixel(dc.get(), 0, 0) == RGB(marked[2], marked[1], marked[0]);
  std::memcpy(first, kept, 3);
  return top;
}

}  // namespace

void cDIBSection::CreateFromPicture(const win::ComPtr<IDispatch>& picThis) {
  HBITMAP picture_bitmap = nullptr;
  win::ComPtr<IPicture> picture;
  if (picThis && SUCCEEDED(picThis.As(&picture))) {
    OLE_HANDLE handle = 0;
    // OLE_HANDLE is 32 bits wide. That holds a GDI handle whole: 64-bit Windows keeps handles to 32
    // significant bits, sign-extended, so that 32-bit and 64-bit processes can share them
    // ("Interprocess Communication Between 32-bit and 64-bit Applications"). Hence through LONG.
    if (SUCCEEDED(picture->get_Handle(&handle)))
      picture_bitmap = reinterpret_cast<HBITMAP>(static_cast<LONG_PTR>(static_cast<LONG>(handle)));
  }
  // A DIB section's description, or only its BITMAP part for any other bitmap (GetObject then returns
  // that part's size); all zero for a handle that is not a bitmap.
  DIBSECTION section{};
  const bool is_section = ::GetObjectW(picture_bitmap, sizeof section, &section) == sizeof section;
  if (!Create(section.dsBm.bmWidth, section.dsBm.bmHeight)) return;

  // A 32-bit DIB section (what a capture of the screen makes) is read where it lies, in one pass that
  // gives the bytes the blit below gives, without the system's conversion.
  std::optional<bool> top_down;
  if (is_section && section.dsBm.bmBits && section.dsBm.bmBitsPixel == 32 &&
      section.dsBmih.biCompression == BI_RGB) {
    ::GdiFlush();  // drawing into the section may still be queued
    top_down = FirstRowIsTop(picture_bitmap, section);
  }
  if (top_down) {
    pixels::CopyFrom32Bit(static_cast<const uint8_t*>(section.dsBm.bmBits), section.dsBm.bmWidthBytes, *top_down,
                          pixels::Image{static_cast<uint8_t*>(DIBSectionBitsPtr()), Width(), Height(),
                                        BytesPerScanLine()});
    return;
  }

  win::WindowDC screen = win::GetDC(::GetDesktopWindow());
  if (!screen) return;
  win::MemoryDC copy(::CreateCompatibleDC(screen.get()));
  screen.reset();
  if (!copy) return;
  win::SelectGuard selection(copy.get(), picture_bitmap);
  LoadPictureBlt(copy.get());
}

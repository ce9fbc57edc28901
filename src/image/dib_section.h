#pragma once
// cDIBSection: a 24-bit bottom-up DIB section selected into a memory context of its own.
//
// Pixel layout: rows bottom-up (memory row 0 is the picture's bottom row), three bytes per pixel in the
// order blue, green, red, each row padded to BytesPerScanLine() = (3 * width + 3) & ~3 bytes.
// hDib, hdc and DIBSectionBitsPtr are either all set (the DIB selected into hdc) or all null.

#include <windows.h>
#include <ole2.h>

#include <memory>
#include <optional>

#include "platform/win/com.h"
#include "platform/win/unique.h"

class cDIBSection {
 public:
  cDIBSection() = default;
  cDIBSection(const cDIBSection&) = delete;
  cDIBSection& operator=(const cDIBSection&) = delete;
  ~cDIBSection() = default;  // the owners below unselect, delete the context, then the DIB

  // Copies the image to the clipboard as a screen-compatible bitmap; bAsDIB only explains that a DIB
  // cannot be offered. True when the clipboard accepted the bitmap.
  bool CopyToClipboard(bool bAsDIB = true);
  // Fills the header for lWidth x lHeight and creates a DIB section compatible with lhDC into hDib.
  bool CreateDIB(HDC lhDC, LONG lWidth, LONG lHeight, HBITMAP& hDib);
  // Makes the image a copy of the picture's bitmap (a 0 x 0 request when it holds no bitmap). A 32-bit
  // DIB section is read where its pixels lie, every other bitmap through a blit; the bytes are the same.
  // A blit the system refuses raises its error.
  void CreateFromPicture(const win::ComPtr<IDispatch>& picThis);
  // Replaces any earlier image with a new lWidth x lHeight one whose pixels are not written.
  bool Create(LONG lWidth, LONG lHeight);

  LONG BytesPerScanLine() const;
  LONG Width() const { return header_.biWidth; }
  LONG Height() const { return header_.biHeight; }

  // Copies from lhDC into the image; a negative width or height means the image's. A copy the system
  // refuses raises its error.
  void LoadPictureBlt(HDC lhDC, LONG lSrcLeft = 0, LONG lSrcTop = 0, LONG lSrcWidth = -1, LONG lSrcHeight = -1,
                      DWORD eRop = SRCCOPY);
  // Draws the image into lhDC; a negative width or height means the image's. A copy the system refuses
  // raises its error.
  void PaintPicture(HDC lhDC, LONG lDestLeft = 0, LONG lDestTop = 0, LONG lDestWidth = -1, LONG lDestHeight = -1,
                    LONG lSrcLeft = 0, LONG lSrcTop = 0, DWORD eRop = SRCCOPY);

  // Borrowed: the object keeps ownership.
  HDC hdc() const { return dc_.get(); }
  HBITMAP hDib() const { return dib_.get(); }
  void* DIBSectionBitsPtr() const { return bits_; }

  // Fills the pixels with gray noise (bGray) or with colour noise whose blue is 0.
  void RandomiseBits(bool bGray = false);
  // Frees the DIB and the memory context; harmless when there is none.
  void ClearUp();
  // A new image of the given size made by bilinear resampling (a blit at the same size),
  // or null when it cannot be created. Height first, width second.
  std::unique_ptr<cDIBSection> Resample(LONG lNewHeight, LONG lNewWidth);

 private:
  void ResampleBilinear(cDIBSection& target);

  // In release order: destruction unselects the DIB, deletes the context, then deletes the DIB.
  win::GdiBitmap dib_;
  win::MemoryDC dc_;
  std::optional<win::SelectGuard> selection_;
  void* bits_ = nullptr;
  BITMAPINFOHEADER header_{};
};

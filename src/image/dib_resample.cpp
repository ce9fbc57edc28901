// cDIBSection's resampling and noise fill; the pixel work itself is in kernels.cpp.

#include "image/dib_section.h"
#include "image/kernels.h"
#include "platform/runtime/random.h"
#include "platform/runtime/ui.h"

namespace {

pixels::Image PixelsOf(const cDIBSection& image) {
  return pixels::Image{static_cast<uint8_t*>(image.DIBSectionBitsPtr()), image.Width(), image.Height(),
                       image.BytesPerScanLine()};
}

}  // namespace

std::unique_ptr<cDIBSection> cDIBSection::Resample(LONG lNewHeight, LONG lNewWidth) {
  // A raised error releases the new image on its way out; this image is never written.
  auto resampled = std::make_unique<cDIBSection>();
  if (!resampled->Create(lNewWidth, lNewHeight)) return nullptr;
  if (lNewWidth == Width() && lNewHeight == Height()) {
    resampled->LoadPictureBlt(hdc(), 0, 0, -1, -1, SRCCOPY);
    ::GdiFlush();
  } else {
    ResampleBilinear(*resampled);
  }
  return resampled;
}

void cDIBSection::ResampleBilinear(cDIBSection& target) {
  ::GdiFlush();  // pending drawing into either image lands before its bytes are read
  pixels::ResampleBilinear(PixelsOf(*this), PixelsOf(target));
}

void cDIBSection::RandomiseBits(bool bGray) {
  ::GdiFlush();
  rt::Randomize(rt::Timer());
  pixels::RandomiseBits(PixelsOf(*this), bGray, rt::ProgramGenerator());
}

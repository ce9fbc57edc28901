#include "support/images.h"

#include <wincodec.h>

#include <algorithm>
#include <cstdlib>

#include "platform/win/com.h"

namespace testing_support {

DecodedImage DecodeImageFile(const std::wstring& path) {
  DecodedImage image;
  win::ComApartment apartment;
  win::ComPtr<IWICImagingFactory> factory;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
    return image;
  win::ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                &decoder)))
    return image;
  win::ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, &frame))) return image;
  win::ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(&converter))) return image;
  if (FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone, nullptr, 0,
                                   WICBitmapPaletteTypeCustom)))
    return image;
  UINT width = 0, height = 0;
  converter->GetSize(&width, &height);
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
  if (FAILED(converter->CopyPixels(nullptr, width * 3, static_cast<UINT>(pixels.size()), pixels.data()))) return image;
  image.width = width;
  image.height = height;
  image.bgr = std::move(pixels);
  return image;
}

DecodedImage ScreenArea(const RECT& area) {
  DecodedImage image;
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return image;
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{.biSize = sizeof(BITMAPINFOHEADER), .biWidth = width, .biHeight = -height,
                                    .biPlanes = 1, .biBitCount = 24, .biCompression = BI_RGB, .biSizeImage = 0,
                                    .biXPelsPerMeter = 0, .biYPelsPerMeter = 0, .biClrUsed = 0, .biClrImportant = 0};
  void* bits = nullptr;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap) {
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    if (::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY)) {
      ::GdiFlush();
      const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
      image.width = static_cast<UINT>(width);
      image.height = static_cast<UINT>(height);
      image.bgr.resize(static_cast<size_t>(width) * height * 3);
      for (int y = 0; y < height; ++y) {
        std::copy_n(static_cast<const uint8_t*>(bits) + y * stride, static_cast<size_t>(width) * 3,
                    image.bgr.begin() + static_cast<size_t>(y) * width * 3);
      }
    }
    ::SelectObject(memory, previous);
    ::DeleteObject(bitmap);
  }
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return image;
}

int ColourDistance(const uint8_t* bgr, COLORREF colour) {
  return std::max({std::abs(bgr[0] - GetBValue(colour)), std::abs(bgr[1] - GetGValue(colour)),
                   std::abs(bgr[2] - GetRValue(colour))});
}

}  // namespace testing_support

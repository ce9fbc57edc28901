#include "support/images.h"

#include <wincodec.h>

#include <algorithm>
#include <cstdlib>

#include "support/desktop.h"
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
  const std::vector<uint32_t> pixels = desktop::ScreenPixels(area);
  if (pixels.empty()) return image;
  image.width = static_cast<UINT>(area.right - area.left);
  image.height = static_cast<UINT>(area.bottom - area.top);
  image.bgr.reserve(pixels.size() * 3);
  for (uint32_t pixel : pixels) {
    image.bgr.push_back(static_cast<uint8_t>(pixel));
    image.bgr.push_back(static_cast<uint8_t>(pixel >> 8));
    image.bgr.push_back(static_cast<uint8_t>(pixel >> 16));
  }
  return image;
}

int ColourDistance(const uint8_t* bgr, COLORREF colour) {
  return std::max({std::abs(bgr[0] - GetBValue(colour)), std::abs(bgr[1] - GetGValue(colour)),
                   std::abs(bgr[2] - GetRValue(colour))});
}

}  // namespace testing_support

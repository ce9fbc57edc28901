#pragma once
// Reading pictures back in tests.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// Pixels top-down, three bytes per pixel (blue, green, red), no padding.
struct DecodedImage {
  UINT width = 0;
  UINT height = 0;
  std::vector<uint8_t> bgr;
  const uint8_t* At(UINT x, UINT y) const { return &bgr[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Decodes a picture file with the imaging component; width 0 when it cannot.
DecodedImage DecodeImageFile(const std::wstring& path);

// What the screen shows over a rectangle; width 0 when it cannot be read.
DecodedImage ScreenArea(const RECT& area);

// The largest per-channel difference between a pixel and a colour.
int ColourDistance(const uint8_t* bgr, COLORREF colour);

}  // namespace testing_support

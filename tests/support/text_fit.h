#pragma once
// How a test and the text-fit probe (text_fit_probe.cpp, loaded into another program by a window hook)
// speak: the message that asks the probe to measure a window's labels, and the shared memory it
// answers in.

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

inline constexpr wchar_t kMeasureTextsMessage[] = L"OrvaneMeasureTexts";

// "Local\OrvaneTextFit-<window handle in hex>": where the probe writes what it found for that window.
inline std::wstring TextFitMemoryName(const void* window) {
  wchar_t name[64] = {};
  std::swprintf(name, 64, L"Local\\OrvaneTextFit-%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
  return name;
}

namespace testing_support {

// What the probe reports of a window's labels, check boxes and buttons, measured inside the window's
// process (support/text_fit_probe.cpp), where its fonts are, as each control draws its text against its
// client rectangle: "measured N", then each text that does not fit or lies over another control, each
// after a U+001E; "(not measured)" where the probe could not be put into that process.
std::wstring TextFitReport(HWND window);

// The texts of that report that do not fit; one entry saying so where nothing was measured.
std::vector<std::wstring> CutOffTexts(HWND window);

}  // namespace testing_support

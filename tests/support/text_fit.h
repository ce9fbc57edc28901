#pragma once
// How a test and the text-fit probe (text_fit_probe.cpp, loaded into another program by a window hook)
// speak: the message that asks the probe to measure a window's labels, and the shared memory it
// answers in.

#include <cstdint>
#include <cwchar>
#include <string>

inline constexpr wchar_t kMeasureTextsMessage[] = L"OrvaneMeasureTexts";

// "Local\OrvaneTextFit-<window handle in hex>": where the probe writes what it found for that window.
inline std::wstring TextFitMemoryName(const void* window) {
  wchar_t name[64] = {};
  std::swprintf(name, 64, L"Local\\OrvaneTextFit-%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
  return name;
}

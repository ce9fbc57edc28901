// The screenshots' names, free of Windows so that they also build natively for fuzzing.

#include "driver/screenshot_names.h"

#include "platform/runtime/checked.h"

namespace modMain {
namespace {

std::wstring ScreenshotName(int16_t number) { return L"Screenshot" + PadWithZeros(number, 3) + L".jpg"; }

}  // namespace

std::wstring PadWithZeros(int16_t number, int16_t width) {
  std::wstring digits = std::to_wstring(number);
  // At most six characters, so the difference fits an int for every width, -32768 included.
  const int missing = int{width} - static_cast<int>(digits.size());
  if (missing <= 0) return digits;
  return std::wstring(static_cast<size_t>(missing), L'0') + digits;
}

std::wstring NextScreenshotName(const std::wstring& folder, const NameTaken& taken, int16_t after) {
  int16_t number = rt::Add16(after < 0 ? 0 : after, 1);
  std::wstring name = ScreenshotName(number);
  while (taken(folder + L"\\" + name)) {
    number = rt::Add16(number, 1);
    name = ScreenshotName(number);
  }
  return name;
}

int16_t ScreenshotNumber(std::wstring_view path) {
  const size_t slash = path.find_last_of(L"\\/");
  std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
  constexpr std::wstring_view kPrefix = L"Screenshot", kSuffix = L".jpg";
  if (name.size() <= kPrefix.size() + kSuffix.size()) return 0;
  if (name.substr(0, kPrefix.size()) != kPrefix || name.substr(name.size() - kSuffix.size()) != kSuffix) return 0;
  const std::wstring_view digits = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  int value = 0;
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') return 0;
    value = value * 10 + (c - L'0');
    if (value > INT16_MAX) return 0;
  }
  return static_cast<int16_t>(value);
}

}  // namespace modMain

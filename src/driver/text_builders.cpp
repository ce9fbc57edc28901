// The name and subject builders, free of Windows so that they also build natively for fuzzing.

#include <cwchar>

#include "driver/mod_main.h"
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

std::wstring NextScreenshotName(const std::wstring& folder, const NameTaken& taken) {
  int16_t number = 1;
  std::wstring name = ScreenshotName(number);
  while (taken(folder + L"\\" + name)) {
    number = rt::Add16(number, 1);
    name = ScreenshotName(number);
  }
  return name;
}

std::wstring SubjectFromTitle(const wchar_t* title, size_t buffer_size, int copied) {
  std::wstring subject = L"Screen Capture";
  if (copied != 0 && title && buffer_size > 0) {
    size_t length = 0;
    while (length < buffer_size && title[length] != L'\0') ++length;  // the characters before the NUL
    subject += L": " + std::wstring(title, length);
  }
  return subject;
}

}  // namespace modMain

#include <windows.h>

#include "driver/mod_main.h"
#include "platform/runtime/checked.h"
#include "platform/runtime/files.h"

namespace modMain {
namespace {

std::wstring ScreenshotName(int16_t number) { return L"Screenshot" + PadWithZeros(number, 3) + L".jpg"; }

}  // namespace

std::wstring PadWithZeros(int16_t number, int16_t width) {
  std::wstring digits = std::to_wstring(number);
  int16_t missing = rt::Sub16(width, static_cast<int16_t>(digits.size()));
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

std::wstring NextScreenshotName(const std::wstring& folder) {
  return NextScreenshotName(folder, [](const std::wstring& path) { return !rt::Dir(path).empty(); });
}

std::wstring ForegroundSubject() {
  std::wstring subject = L"Screen Capture";
  constexpr int kTitleBuffer = 512;  // characters, the terminating NUL included
  wchar_t title[kTitleBuffer] = {};
  int copied = ::GetWindowTextW(::GetForegroundWindow(), title, kTitleBuffer);
  if (copied != 0) subject += L": " + std::wstring(title, ::wcsnlen(title, kTitleBuffer));
  return subject;
}

}  // namespace modMain

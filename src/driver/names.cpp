#include <windows.h>

#include "driver/mod_main.h"
#include "platform/runtime/files.h"

namespace modMain {

std::wstring NextScreenshotName(const std::wstring& folder) {
  return NextScreenshotName(folder, [](const std::wstring& path) { return !rt::Dir(path).empty(); });
}

std::wstring NextFreeScreenshotPath(const std::wstring& folder, const std::vector<std::wstring>& taken_meanwhile) {
  return folder + L"\\" + NextScreenshotName(folder, [&taken_meanwhile](const std::wstring& path) {
           for (const auto& taken : taken_meanwhile)
             if (::lstrcmpiW(taken.c_str(), path.c_str()) == 0) return true;
           return !rt::Dir(path).empty();
         });
}

std::wstring ForegroundSubject() {
  constexpr int kTitleBuffer = 512;  // characters, the terminating NUL included
  wchar_t title[kTitleBuffer] = {};
  int copied = ::GetWindowTextW(::GetForegroundWindow(), title, kTitleBuffer);
  return SubjectFromTitle(title, kTitleBuffer, copied);
}

}  // namespace modMain

#include <windows.h>

#include "driver/mod_main.h"
#include "platform/runtime/app.h"

namespace modMain {

std::wstring ReadSettingIn(const std::wstring& folder, std::wstring_view section, std::wstring_view key,
                           std::wstring_view default_value) {
  const std::wstring file = folder + L"\\" + L"Orvane.ini";
  const std::wstring section_text(section), key_text(key), default_text(default_value);
  constexpr DWORD kBufferSize = 1024;  // characters, the terminating NUL included
  wchar_t buffer[kBufferSize] = {};
  ::GetPrivateProfileStringW(section_text.c_str(), key_text.c_str(), default_text.c_str(), buffer, kBufferSize,
                             file.c_str());
  // The reader NUL-terminates what it copies; a value that is empty leaves the NUL in front.
  size_t length = std::wstring_view(buffer, kBufferSize).find(L'\0');
  if (length == std::wstring_view::npos) length = kBufferSize - 1;
  return std::wstring(WholeCharacters(std::wstring_view(buffer, length), kBufferSize - 1));
}

std::wstring ReadSetting(std::wstring_view section, std::wstring_view key, std::wstring_view default_value) {
  return ReadSettingIn(rt::App::Path(), section, key, default_value);
}

}  // namespace modMain

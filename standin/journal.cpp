#include "standin/journal.h"

#include <windows.h>

namespace standin {
namespace {

std::string Utf8(const std::wstring& text) {
  int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

}  // namespace

std::wstring RegistryText(HKEY root, const wchar_t* key, const wchar_t* name) {
  wchar_t value[4096] = {};
  DWORD size = sizeof value - sizeof(wchar_t);
  if (::RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return {};
  return value;
}

std::wstring SettingUnder(const wchar_t* key, const wchar_t* name) { return RegistryText(HKEY_CURRENT_USER, key, name); }

void AppendJournal(const std::wstring& path, const std::wstring& line) {
  if (path.empty()) return;
  HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string bytes = Utf8(line) + "\n";
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
}

}  // namespace standin

#include "support/wine_version.h"

#include <windows.h>

namespace testing_support {
namespace {

std::optional<std::wstring> ReadVersion(const std::wstring& key) {
  wchar_t value[64] = {};
  DWORD size = sizeof value - sizeof(wchar_t);
  if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"Version", RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(value);
}

void WriteVersion(const std::wstring& key, const std::optional<std::wstring>& version) {
  if (!version) {
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Version");
    return;
  }
  ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Version", REG_SZ, version->c_str(),
                    static_cast<DWORD>((version->size() + 1) * sizeof(wchar_t)));
}

}  // namespace

bool UnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

WineVersionFor::WineVersionFor(const std::wstring& exe_name, const std::wstring& version)
    : key_(L"Software\\Wine\\AppDefaults\\" + exe_name), previous_(ReadVersion(key_)) {
  WriteVersion(key_, version);
}

WineVersionFor::~WineVersionFor() { WriteVersion(key_, previous_); }

}  // namespace testing_support

#include "text/text.h"

#include <windows.h>

#include <mutex>
#include <optional>
#include <vector>

#include "text/catalog.h"
#include "text/language.h"
#include "text/mo_file.h"

namespace text {

namespace {

constexpr wchar_t kCatalogType[] = L"MO";

std::string Narrow(std::wstring_view tag) {
  std::string narrow;
  for (wchar_t c : tag) narrow += c < 0x80 ? static_cast<char>(c) : '?';  // tags are ASCII
  return narrow;
}

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
std::u16string U16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

BOOL CALLBACK AddCatalog(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
  if (!IS_INTRESOURCE(name)) reinterpret_cast<std::vector<std::string>*>(param)->push_back(CanonicalTag(Narrow(name)));
  return TRUE;
}

// The languages this executable carries.
std::vector<std::string> CatalogsHere() {
  std::vector<std::string> tags;
  // Fails with ERROR_RESOURCE_TYPE_NOT_FOUND where there are none (English alone).
  ::EnumResourceNamesW(nullptr, kCatalogType, AddCatalog, reinterpret_cast<LONG_PTR>(&tags));
  return tags;
}

// The catalog's bytes stay mapped with the executable for the life of the process.
std::string_view CatalogBytes(const std::string& tag) {
  std::wstring name;
  for (char c : tag) name += static_cast<wchar_t>(c);
  HRSRC found = ::FindResourceW(nullptr, name.c_str(), kCatalogType);
  if (!found) return {};
  HGLOBAL loaded = ::LoadResource(nullptr, found);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes) return {};
  return {static_cast<const char*>(bytes), ::SizeofResource(nullptr, found)};
}

std::wstring SettingsFile() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"Orvane.ini";
}

std::string LanguageSetting() {
  const std::wstring file = SettingsFile();
  if (file.empty()) return {};
  wchar_t value[64] = {};
  ::GetPrivateProfileStringW(L"Display", L"Language", L"", value, 64, file.c_str());
  return Narrow(value);
}

// Windows' UI languages for the user, most preferred first.
std::vector<std::string> WindowsLanguages() {
  std::vector<std::string> tags;
  ULONG count = 0, size = 0;
  if (::GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) && size > 0) {
    std::wstring names(size, L'\0');
    if (::GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, names.data(), &size)) {
      // A list of names, each ending in a NUL, the whole ending in another.
      for (size_t start = 0; start < names.size() && names[start] != L'\0';) {
        const size_t end = names.find(L'\0', start);
        tags.push_back(Narrow(std::wstring_view(names).substr(start, end - start)));
        start = end + 1;
      }
    }
  }
  if (tags.empty()) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (::LCIDToLocaleName(MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) > 0) {
      tags.push_back(Narrow(name));
    }
  }
  return tags;
}

struct Chosen {
  std::wstring language;
  Catalog catalog;
};

std::mutex requested_mutex;
std::optional<std::string> requested;  // under requested_mutex
bool choosing = false;                 // under requested_mutex: from here on a request comes too late
std::once_flag chosen_once;
const Chosen* chosen = nullptr;        // set once, inside chosen_once

Chosen Choose() {
  const std::vector<std::string> available = CatalogsHere();
  std::vector<std::string> preferred = WindowsLanguages();
  std::string setting = LanguageSetting();
  {
    std::lock_guard lock(requested_mutex);
    choosing = true;
    // A requested language the executable lacks leaves the choice to the setting, then to Windows.
    if (requested && MatchLanguage(*requested, available)) setting = *requested;
  }
  const std::string language = ChooseLanguage(setting, preferred, available);
  const auto catalog = MoFile::Parse(CatalogBytes(language));
  return {std::wstring(language.begin(), language.end()), Catalog(catalog ? &*catalog : nullptr)};
}

const Chosen& Current() {
  std::call_once(chosen_once, [] {
    static const Chosen texts = Choose();
    chosen = &texts;
  });
  return *chosen;
}

}  // namespace

std::wstring Get(Id id) { return Wide(Current().catalog.Text(id)); }

std::wstring KeysForDisplay(std::wstring_view keys) { return Wide(Current().catalog.Keys(U16(keys))); }

std::wstring Language() { return Current().language; }

bool RequestLanguage(std::wstring_view tag) {
  std::lock_guard lock(requested_mutex);
  if (choosing) return false;
  requested = Narrow(tag);
  return true;
}

}  // namespace text

#include <windows.h>

#include <cwchar>

#include "driver/mod_main.h"
#include "mail/simple_mapi.h"
#include "platform/runtime/app.h"

namespace modMain {
namespace {

std::wstring SettingsFile(const std::wstring& folder) { return folder + L"\\" + L"Orvane.ini"; }

bool Blank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view Trimmed(std::wstring_view text) {
  while (!text.empty() && Blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && Blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::wstring ReadSettingIn(const std::wstring& folder, std::wstring_view section, std::wstring_view key,
                           std::wstring_view default_value) {
  const std::wstring file = SettingsFile(folder);
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

RecipientSetting RecipientFromReads(std::wstring_view value, std::wstring_view longer) {
  RecipientSetting setting{std::wstring(value), {}};
  if (longer.size() <= value.size()) return setting;  // read whole
  const size_t cut = value.size();
  // The longer read tells whether the address that the cut fell in ended there. Should it not go on
  // from the first read, the first read's last address counts as cut.
  const bool goes_on = longer.substr(0, cut) == value;
  const std::wstring_view whole = goes_on ? longer : value;
  for (std::wstring_view part : mail::RecipientParts(whole)) {
    const size_t start = static_cast<size_t>(part.data() - whole.data());
    const std::wstring_view address = Trimmed(part);
    const size_t address_end = static_cast<size_t>(address.data() - whole.data()) + address.size();
    if (goes_on ? address_end <= cut : start + part.size() < cut) continue;  // read whole
    if (start >= cut) break;                                                  // none of it read
    const std::wstring_view read = Trimmed(value.substr(start));
    if (read.empty()) break;  // only blanks of it read
    setting.value = std::wstring(value.substr(0, start));
    setting.cut_short = std::wstring(read);
    break;
  }
  return setting;
}

RecipientSetting ReadRecipientSettingIn(const std::wstring& folder) {
  const std::wstring value = ReadSettingIn(folder, L"Email", L"Recipient", L"");
  // Once more with room to spare, only to see whether the value was cut and where its last address
  // ends; the mail still gets no more than the 1023 characters read above.
  constexpr DWORD kRoomToSpare = 32768;
  std::wstring longer(kRoomToSpare, L'\0');
  ::GetPrivateProfileStringW(L"Email", L"Recipient", L"", longer.data(), kRoomToSpare, SettingsFile(folder).c_str());
  // Up to the first NUL, as the first read is taken.
  longer.resize(std::wcslen(longer.c_str()));
  return RecipientFromReads(value, longer);
}

RecipientSetting ReadRecipientSetting() { return ReadRecipientSettingIn(rt::App::Path()); }

std::wstring ReadSetting(std::wstring_view section, std::wstring_view key, std::wstring_view default_value) {
  return ReadSettingIn(rt::App::Path(), section, key, default_value);
}

}  // namespace modMain

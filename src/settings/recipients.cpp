#include "settings/recipients.h"

#include "mail/recipient_parts.h"

namespace recipients {

namespace {

bool Blank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view Trimmed(std::wstring_view text) {
  while (!text.empty() && Blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && Blank(text.back())) text.remove_suffix(1);
  return text;
}

bool Ascii(wchar_t c) { return static_cast<unsigned long>(c) < 0x80; }
bool Alphanumeric(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9'); }

bool LocalPart(std::wstring_view local) {
  if (local.empty() || local.front() == L'.' || local.back() == L'.' || local.find(L"..") != std::wstring_view::npos) return false;
  for (wchar_t c : local) {
    if (!Ascii(c)) continue;  // internationalised addresses
    if (!Alphanumeric(c) && std::wstring_view(L".!#$%&'*+-/=?^_`{|}~").find(c) == std::wstring_view::npos) return false;
  }
  return true;
}

bool Domain(std::wstring_view domain) {
  size_t labels = 0;
  std::wstring_view last;
  while (true) {
    const size_t dot = domain.find(L'.');
    const std::wstring_view label = domain.substr(0, dot);
    if (label.empty() || label.front() == L'-' || label.back() == L'-') return false;
    for (wchar_t c : label) {
      if (Ascii(c) && !Alphanumeric(c) && c != L'-') return false;
    }
    ++labels;
    last = label;
    if (dot == std::wstring_view::npos) break;
    domain.remove_prefix(dot + 1);
  }
  bool all_digits = true;
  for (wchar_t c : last) all_digits = all_digits && c >= L'0' && c <= L'9';
  return labels >= 2 && last.size() >= 2 && !all_digits;
}

bool IsEntry(std::wstring_view entry) {
  const size_t open = entry.rfind(L'<');
  if (open == std::wstring_view::npos) return entry.find(L'>') == std::wstring_view::npos && IsAddress(entry);
  if (entry.back() != L'>') return false;
  const std::wstring_view name = entry.substr(0, open);
  // A name of its own: quoted, or without the characters that would end it.
  const std::wstring_view bare = Trimmed(name);
  const bool quoted = bare.size() >= 2 && bare.front() == L'"' && bare.back() == L'"';
  if (!quoted && bare.find_first_of(L"<>\"") != std::wstring_view::npos) return false;
  return IsAddress(Trimmed(entry.substr(open + 1, entry.size() - open - 2)));
}

}  // namespace

bool IsAddress(std::wstring_view address) {
  const size_t at = address.rfind(L'@');
  if (at == std::wstring_view::npos) return false;
  return LocalPart(address.substr(0, at)) && Domain(address.substr(at + 1));
}

std::vector<std::wstring> NotAddresses(std::wstring_view setting) {
  std::vector<std::wstring> bad;
  // As the mail step splits the setting.
  for (std::wstring_view part : mail::RecipientParts(setting)) {
    const std::wstring_view entry = Trimmed(part);
    if (!entry.empty() && !IsEntry(entry)) bad.emplace_back(entry);
  }
  return bad;
}

}  // namespace recipients

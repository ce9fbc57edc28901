#include "hotkey.h"

#include <windows.h>
#include <commctrl.h>

#include <cwctype>
#include <vector>

namespace installer {

// A Start-menu shortcut's key is global: whatever it is, no program sees it any more. Ctrl with a
// letter (Save, Copy), Alt with a letter (menus) or F4 (close), Shift with a letter (capitals): each
// single modifier belongs to the programs. Windows itself proposes Ctrl+Alt when a key is typed into a
// shortcut's "Shortcut key" field, so that is what the rule asks for.
const wchar_t kHotkeyRule[] =
    L"The shortcut is Ctrl+Alt, with Shift if you like, and a letter, a digit or F1 to F12, for example "
    L"Ctrl+Alt+S. Keys that programs use themselves, such as Ctrl+S, Ctrl+C or Alt+F4, are refused.";

namespace {

std::wstring_view Trimmed(std::wstring_view part) {
  while (!part.empty() && std::iswspace(part.front())) part.remove_prefix(1);
  while (!part.empty() && std::iswspace(part.back())) part.remove_suffix(1);
  return part;
}

std::wstring Upper(std::wstring_view part) {
  std::wstring upper(part);
  for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
  return upper;
}

// The virtual key of "S", "7" or "F12" (already upper case), or 0.
unsigned KeyCode(const std::wstring& key) {
  if (key.size() == 1 && ((key[0] >= L'A' && key[0] <= L'Z') || (key[0] >= L'0' && key[0] <= L'9'))) return key[0];
  if (key.size() < 2 || key.size() > 3 || key[0] != L'F' || key[1] == L'0') return 0;
  unsigned number = 0;
  for (size_t i = 1; i < key.size(); ++i) {
    if (key[i] < L'0' || key[i] > L'9') return 0;
    number = number * 10 + (key[i] - L'0');
  }
  return number >= 1 && number <= 12 ? VK_F1 + number - 1 : 0;
}

}  // namespace

std::optional<Hotkey> ParseHotkey(std::wstring_view text) {
  std::vector<std::wstring> parts;
  for (size_t start = 0;;) {
    size_t plus = text.find(L'+', start);
    parts.push_back(Upper(Trimmed(text.substr(start, plus == std::wstring_view::npos ? text.npos : plus - start))));
    if (plus == std::wstring_view::npos) break;
    start = plus + 1;
  }
  BYTE modifiers = 0;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    BYTE flag = parts[i] == L"CTRL" || parts[i] == L"CONTROL" ? HOTKEYF_CONTROL
                : parts[i] == L"ALT"                          ? HOTKEYF_ALT
                : parts[i] == L"SHIFT"                        ? HOTKEYF_SHIFT
                                                              : 0;
    if (flag == 0 || (modifiers & flag)) return std::nullopt;  // not a modifier, or one named twice
    modifiers |= flag;
  }
  const unsigned key = KeyCode(parts.back());
  if (key == 0 || (modifiers & (HOTKEYF_CONTROL | HOTKEYF_ALT)) != (HOTKEYF_CONTROL | HOTKEYF_ALT)) return std::nullopt;
  std::wstring spelling = L"Ctrl+Alt+";
  if (modifiers & HOTKEYF_SHIFT) spelling += L"Shift+";
  spelling += parts.back();
  return Hotkey{static_cast<unsigned short>(MAKEWORD(key, modifiers)), std::move(spelling)};
}

}  // namespace installer

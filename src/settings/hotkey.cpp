#include "settings/hotkey.h"

#include "text/text.h"

#include <windows.h>
#include <commctrl.h>

#include <cwctype>
#include <vector>

namespace installer {

// A Start-menu shortcut's key is global: whatever it is, no program sees it any more. Ctrl with a
// letter (Save, Copy), Alt with a letter (menus) or F4 (close), Shift with a letter (capitals): each
// single modifier belongs to the programs. Windows itself proposes Ctrl+Alt when a key is pressed in a
// shortcut's "Shortcut key" field, so that is what the rule asks for. Ctrl+Alt is also AltGr, with
// which many keyboards type characters (€ on most European ones), so those keys are refused too.
std::wstring HotkeyRule() { return text::Get(text::Id::kShortcut_Rule); }

namespace {

constexpr BYTE kModifiers = HOTKEYF_CONTROL | HOTKEYF_ALT | HOTKEYF_SHIFT;

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

bool IsLetterOrDigit(unsigned key) { return (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'); }
bool IsFunctionKey(unsigned key) { return key >= VK_F1 && key <= VK_F12; }

// The virtual key of "S", "7" or "F12" (already upper case), or 0.
unsigned KeyCode(const std::wstring& key) {
  if (key.size() == 1 && IsLetterOrDigit(key[0])) return key[0];
  if (key.size() < 2 || key.size() > 3 || key[0] != L'F' || key[1] == L'0') return 0;
  unsigned number = 0;
  for (size_t i = 1; i < key.size(); ++i) {
    if (key[i] < L'0' || key[i] > L'9') return 0;
    number = number * 10 + (key[i] - L'0');
  }
  return number >= 1 && number <= 12 ? VK_F1 + number - 1 : 0;
}

std::wstring ModifierSpelling(BYTE modifiers) {
  std::wstring spelling;
  if (modifiers & HOTKEYF_CONTROL) spelling += L"Ctrl+";
  if (modifiers & HOTKEYF_ALT) spelling += L"Alt+";
  if (modifiers & HOTKEYF_SHIFT) spelling += L"Shift+";
  return spelling;
}

std::optional<Hotkey> Allowed(unsigned key, BYTE modifiers) {
  if (!IsLetterOrDigit(key) && !IsFunctionKey(key)) return std::nullopt;
  if ((modifiers & (HOTKEYF_CONTROL | HOTKEYF_ALT)) != (HOTKEYF_CONTROL | HOTKEYF_ALT)) return std::nullopt;
  std::wstring spelling = ModifierSpelling(modifiers);
  spelling += IsFunctionKey(key) ? L"F" + std::to_wstring(key - VK_F1 + 1) : std::wstring(1, static_cast<wchar_t>(key));
  return Hotkey{static_cast<unsigned short>(MAKEWORD(key, modifiers & kModifiers)), std::move(spelling)};
}

// Keys the rule refuses, as the refusal names them ("Ctrl+Alt+Home"), the key's name from `key_name`.
std::wstring KeysSpelling(unsigned short keys, const std::function<std::wstring(unsigned virtual_key)>& key_name) {
  const std::wstring modifiers = ModifierSpelling(HIBYTE(keys));
  if (LOBYTE(keys) == 0) return modifiers.empty() ? modifiers : modifiers.substr(0, modifiers.size() - 1);
  return modifiers + key_name(LOBYTE(keys));
}

std::wstring Refusal(const std::wstring& keys, const std::wstring& reason) {
  return text::Format(text::Id::kShortcut_Refused, text::KeysForDisplay(keys), reason);
}

// Only what a key puts into text counts: control characters (Ctrl+letter on some layouts) do not.
bool IsCharacter(const std::wstring& typed) {
  for (wchar_t c : typed) {
    if (c >= 0x20 && c != 0x7F) return true;
  }
  return false;
}

Verdict JudgeAllowed(std::optional<Hotkey> hotkey, const std::wstring& as_given,
                     const std::vector<KeyboardLayout>& layouts) {
  if (!hotkey) return {std::nullopt, Refusal(as_given, HotkeyRule())};
  std::wstring typed = CharacterItTypes(*hotkey, layouts);
  if (!typed.empty()) return {std::nullopt, Refusal(hotkey->spelling, typed)};
  return {std::move(hotkey), {}};
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
  return key == 0 ? std::nullopt : Allowed(key, modifiers);
}

std::optional<Hotkey> HotkeyOfKeys(unsigned short keys) { return Allowed(LOBYTE(keys), HIBYTE(keys)); }

std::wstring CharacterItTypes(const Hotkey& hotkey, const std::vector<KeyboardLayout>& layouts) {
  const bool shift = (HIBYTE(hotkey.link_value) & HOTKEYF_SHIFT) != 0;
  for (const KeyboardLayout& layout : layouts) {
    std::wstring typed = layout.typed_with_ctrl_alt(LOBYTE(hotkey.link_value), shift);
    if (IsCharacter(typed)) {
      return text::Format(text::Id::kShortcut_TypesCharacter, text::KeysForDisplay(hotkey.spelling), typed, layout.name);
    }
  }
  return {};
}

Verdict JudgeText(std::wstring_view text, const std::vector<KeyboardLayout>& layouts) {
  return JudgeAllowed(ParseHotkey(text), std::wstring(Trimmed(text)), layouts);
}

Verdict JudgeKeys(unsigned short keys, const std::vector<KeyboardLayout>& layouts,
                  const std::function<std::wstring(unsigned virtual_key)>& key_name) {
  if (keys == 0) return {std::nullopt, text::Get(text::Id::kShortcut_NoKeys) + L"\r\n\r\n" + HotkeyRule()};
  std::optional<Hotkey> hotkey = HotkeyOfKeys(keys);
  return JudgeAllowed(hotkey, hotkey ? std::wstring() : KeysSpelling(keys, key_name), layouts);
}

Hotkey DefaultHotkey(const std::vector<KeyboardLayout>& layouts, const std::function<bool(const Hotkey&)>& free) {
  constexpr BYTE kCtrlAlt = HOTKEYF_CONTROL | HOTKEYF_ALT;
  std::vector<unsigned> keys = {'S'};
  for (unsigned key = VK_F1; key <= VK_F12; ++key) keys.push_back(key);
  for (unsigned key : keys) {
    Hotkey candidate = *Allowed(key, kCtrlAlt);
    if (CharacterItTypes(candidate, layouts).empty() && free(candidate)) return candidate;
  }
  return *Allowed('S', kCtrlAlt);
}

}  // namespace installer

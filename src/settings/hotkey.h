#pragma once
// The rule for the keyboard shortcut that starts Orvane, and its words for the user. The installer and
// the change-shortcut helper both apply it.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace installer {

struct Hotkey {
  unsigned short link_value;  // for IShellLink::SetHotkey: virtual key low, HOTKEYF_ modifiers high
  std::wstring spelling;      // as Windows writes it: "Ctrl+Alt+S", "Ctrl+Alt+Shift+F5"
};

// The rule, in the words the installer shows on its page and in its refusals, in the person's language.
std::wstring HotkeyRule();

// The shortcut written in `text` (any letter case, spaces around the parts), or nothing when the rule
// refuses it.
std::optional<Hotkey> ParseHotkey(std::wstring_view text);

// The shortcut a hotkey control or a .lnk holds (virtual key low, HOTKEYF_ modifiers high), or nothing
// when the rule refuses it.
std::optional<Hotkey> HotkeyOfKeys(unsigned short keys);

// A keyboard layout of the user's: its name, and what a key types while Ctrl and Alt (AltGr) are held,
// with Shift as well when asked; empty when it types nothing.
struct KeyboardLayout {
  std::wstring name;
  std::function<std::wstring(unsigned virtual_key, bool shift)> typed_with_ctrl_alt;
};

// "Ctrl+Alt+S types ś on the Polish (Programmers) keyboard. Ctrl+Alt with F1 to F12 types nothing on any
// keyboard.", in the person's language, for the first layout that types a character with the shortcut;
// empty when none does.
std::wstring CharacterItTypes(const Hotkey& hotkey, const std::vector<KeyboardLayout>& layouts);

// What the rule says of a shortcut: the shortcut, or the whole message that refuses it (the keys in it
// named in the person's language).
struct Verdict {
  std::optional<Hotkey> hotkey;
  std::wstring refusal;
};
Verdict JudgeText(std::wstring_view text, const std::vector<KeyboardLayout>& layouts);
Verdict JudgeKeys(unsigned short keys, const std::vector<KeyboardLayout>& layouts,
                  const std::function<std::wstring(unsigned virtual_key)>& key_name);

// The shortcut offered to a new user: Ctrl+Alt+S, or else the first of Ctrl+Alt+F1 to F12, that types
// nothing on the user's layouts and that `free` accepts; Ctrl+Alt+S when none passes.
Hotkey DefaultHotkey(const std::vector<KeyboardLayout>& layouts, const std::function<bool(const Hotkey&)>& free);

// The layouts the user has installed, as the system answers for them.
std::vector<KeyboardLayout> UsersKeyboardLayouts();

// The name of a key as the keyboard in use labels it ("Home", "Num 5").
std::wstring KeyName(unsigned virtual_key);

// Whether no program has taken the keys as a system-wide hotkey.
bool NoProgramHoldsIt(const Hotkey& hotkey);

}  // namespace installer

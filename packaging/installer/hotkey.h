#pragma once
// The installer's rule for the keyboard shortcut that starts Orvane, and its words for the user.

#include <optional>
#include <string>
#include <string_view>

namespace installer {

struct Hotkey {
  unsigned short link_value;  // for IShellLink::SetHotkey: virtual key low, HOTKEYF_ modifiers high
  std::wstring spelling;      // as Windows writes it: "Ctrl+Alt+S", "Ctrl+Alt+Shift+F5"
};

// The rule, in the words the installer shows on its page and in its refusals.
extern const wchar_t kHotkeyRule[];

// The shortcut written in `text` (any letter case, spaces around the parts), or nothing when the rule
// refuses it.
std::optional<Hotkey> ParseHotkey(std::wstring_view text);

}  // namespace installer

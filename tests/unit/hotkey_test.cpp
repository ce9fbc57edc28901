// The installer's rule for the shortcut key: what it refuses, what it accepts and how it spells it.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "hotkey.h"

namespace {

using installer::ParseHotkey;

TEST(HotkeyRule, RefusesKeysThatProgramsUseThemselves) {
  for (const wchar_t* text : {L"Ctrl+S", L"Ctrl+C", L"Alt+F4", L"Alt+F", L"Shift+A", L"Ctrl+Shift+S", L"Alt+Shift+S",
                              L"S", L"F5", L"Ctrl+Alt", L"", L"Ctrl+Alt+F13", L"Ctrl+Alt+F0", L"Ctrl+Alt+F01",
                              L"Ctrl+Alt+Del", L"Ctrl+Alt+SS", L"Ctrl+Ctrl+Alt+S", L"Ctrl+Alt++S", L"Ctrl+Alt+S+T",
                              L"Win+Alt+S", L"Ctrl+Alt+\u00e9"}) {
    EXPECT_FALSE(ParseHotkey(text)) << testing::PrintToString(std::wstring(text));
  }
}

TEST(HotkeyRule, SpellsWhatItAcceptsAsWindowsDoes) {
  struct Case {
    const wchar_t* typed;
    const wchar_t* spelling;
    WORD link_value;
  };
  for (const Case& c : {
           Case{L"Ctrl+Alt+S", L"Ctrl+Alt+S", MAKEWORD('S', HOTKEYF_CONTROL | HOTKEYF_ALT)},
           Case{L"ctrl+alt+e", L"Ctrl+Alt+E", MAKEWORD('E', HOTKEYF_CONTROL | HOTKEYF_ALT)},
           Case{L" alt + CONTROL + 7 ", L"Ctrl+Alt+7", MAKEWORD('7', HOTKEYF_CONTROL | HOTKEYF_ALT)},
           Case{L"shift+ctrl+alt+f12", L"Ctrl+Alt+Shift+F12",
                MAKEWORD(VK_F12, HOTKEYF_CONTROL | HOTKEYF_ALT | HOTKEYF_SHIFT)},
           Case{L"Ctrl+Alt+F1", L"Ctrl+Alt+F1", MAKEWORD(VK_F1, HOTKEYF_CONTROL | HOTKEYF_ALT)},
       }) {
    auto hotkey = ParseHotkey(c.typed);
    ASSERT_TRUE(hotkey) << testing::PrintToString(std::wstring(c.typed));
    EXPECT_EQ(hotkey->spelling, c.spelling);
    EXPECT_EQ(hotkey->link_value, c.link_value);
  }
}

TEST(HotkeyRule, ItsWordsNameWhatItChecks) {
  const std::wstring rule = installer::kHotkeyRule;
  for (const wchar_t* words : {L"Ctrl+Alt", L"Shift", L"F1 to F12", L"Ctrl+S", L"Ctrl+C", L"Alt+F4"}) {
    EXPECT_NE(rule.find(words), std::wstring::npos) << testing::PrintToString(std::wstring(words));
  }
}

}  // namespace

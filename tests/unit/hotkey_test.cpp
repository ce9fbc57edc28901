// The rule for the shortcut key: what it refuses, what it accepts, how it spells it, and which keys it
// keeps away from the characters that keyboards type with AltGr.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <map>

#include "settings/hotkey.h"

namespace {

using installer::KeyboardLayout;
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
  const std::wstring rule = installer::HotkeyRule();
  for (const wchar_t* words : {L"Ctrl+Alt", L"Shift", L"F1 to F12", L"Ctrl+S", L"Ctrl+C", L"Alt+F4", L"AltGr"}) {
    EXPECT_NE(rule.find(words), std::wstring::npos) << testing::PrintToString(std::wstring(words));
  }
}

// Keyboards as their layouts answer for Ctrl+Alt (AltGr), without and with Shift.
KeyboardLayout Layout(const wchar_t* name, std::map<unsigned, std::wstring> plain, std::map<unsigned, std::wstring> shifted = {}) {
  return {name, [plain, shifted](unsigned key, bool shift) {
            const auto& table = shift ? shifted : plain;
            auto found = table.find(key);
            return found == table.end() ? std::wstring() : found->second;
          }};
}

const KeyboardLayout kUs = Layout(L"US", {{'S', L"\x13"}});  // a control character is not typed text
const KeyboardLayout kPolish =
    Layout(L"Polish (Programmers)",
           {{'A', L"\u0105"}, {'C', L"\u0107"}, {'E', L"\u0119"}, {'L', L"\u0142"}, {'N', L"\u0144"}, {'O', L"\u00f3"},
            {'S', L"\u015b"}, {'X', L"\u017a"}, {'Z', L"\u017c"}},
           {{'S', L"\u015a"}});
const KeyboardLayout kGerman = Layout(L"German", {{'Q', L"@"}, {'E', L"\u20ac"}, {'M', L"\u00b5"}, {'7', L"{"},
                                                  {'0', L"}"}, {'2', L"\u00b2"}});
const KeyboardLayout kCzech = Layout(L"Czech", {{'1', L"~"}});  // a dead key's accent

std::wstring Refusal(const wchar_t* text, const std::vector<KeyboardLayout>& layouts) {
  installer::Verdict verdict = installer::JudgeText(text, layouts);
  return verdict.hotkey ? L"<taken>" : verdict.refusal;
}

TEST(HotkeyLayouts, RefusesAKeyThatTypesACharacterOnAnyOfTheUsersKeyboards) {
  const std::vector<KeyboardLayout> layouts = {kUs, kPolish, kGerman, kCzech};
  EXPECT_EQ(Refusal(L"ctrl+alt+s", layouts),
            L"\"Ctrl+Alt+S\" cannot be the shortcut.\r\n\r\nCtrl+Alt+S types \u015b on the Polish (Programmers) keyboard. "
            L"Ctrl+Alt with F1 to F12 types nothing on any keyboard.");
  EXPECT_NE(Refusal(L"Ctrl+Alt+Shift+S", layouts).find(L"Ctrl+Alt+Shift+S types \u015a on the Polish"), std::wstring::npos);
  EXPECT_NE(Refusal(L"Ctrl+Alt+E", layouts).find(L"types \u0119 on the Polish (Programmers) keyboard"), std::wstring::npos)
      << "the first layout that types it is named";
  EXPECT_NE(Refusal(L"Ctrl+Alt+Q", layouts).find(L"types @ on the German keyboard"), std::wstring::npos);
  EXPECT_NE(Refusal(L"Ctrl+Alt+7", layouts).find(L"types { on the German keyboard"), std::wstring::npos);
  EXPECT_NE(Refusal(L"Ctrl+Alt+1", layouts).find(L"types ~ on the Czech keyboard"), std::wstring::npos);

  for (const wchar_t* free : {L"Ctrl+Alt+T", L"Ctrl+Alt+Shift+E", L"Ctrl+Alt+F9", L"Ctrl+Alt+Shift+F12", L"Ctrl+Alt+4"}) {
    installer::Verdict verdict = installer::JudgeText(free, {kUs, kGerman});
    EXPECT_TRUE(verdict.hotkey) << testing::PrintToString(std::wstring(free)) << testing::PrintToString(verdict.refusal);
  }
  EXPECT_TRUE(installer::JudgeText(L"Ctrl+Alt+S", {kUs}).hotkey) << "a control character counted as typed";
  EXPECT_TRUE(installer::JudgeText(L"Ctrl+Alt+S", {}).hotkey);
}

TEST(HotkeyLayouts, TheRuleStillComesFirst) {
  const std::wstring refusal = Refusal(L" Ctrl+S ", {kUs});
  EXPECT_EQ(refusal, L"\"Ctrl+S\" cannot be the shortcut.\r\n\r\n" + installer::HotkeyRule());
}

TEST(HotkeyLayouts, KeysPressedInAHotkeyControlAreJudgedAlike) {
  auto name = [](unsigned key) { return key == VK_HOME ? std::wstring(L"Home") : L"key " + std::to_wstring(key); };
  constexpr BYTE kCtrlAlt = HOTKEYF_CONTROL | HOTKEYF_ALT;
  installer::Verdict taken = installer::JudgeKeys(MAKEWORD('T', kCtrlAlt | HOTKEYF_SHIFT), {kPolish}, name);
  ASSERT_TRUE(taken.hotkey);
  EXPECT_EQ(taken.hotkey->spelling, L"Ctrl+Alt+Shift+T");
  // The control marks some keys as extended; the shortcut carries only the modifiers the rule knows.
  taken = installer::JudgeKeys(MAKEWORD(VK_F8, kCtrlAlt | HOTKEYF_EXT), {kPolish}, name);
  ASSERT_TRUE(taken.hotkey);
  EXPECT_EQ(taken.hotkey->link_value, MAKEWORD(VK_F8, kCtrlAlt));

  EXPECT_EQ(installer::JudgeKeys(MAKEWORD(VK_HOME, kCtrlAlt), {}, name).refusal,
            L"\"Ctrl+Alt+Home\" cannot be the shortcut.\r\n\r\n" + installer::HotkeyRule());
  EXPECT_NE(installer::JudgeKeys(MAKEWORD('S', kCtrlAlt), {kPolish}, name).refusal.find(L"types \u015b"), std::wstring::npos);
  EXPECT_EQ(installer::JudgeKeys(0, {}, name).refusal.rfind(L"No keys were pressed", 0), 0u);
}

TEST(HotkeyLayouts, TheDefaultIsCtrlAltSOrElseAFreeFunctionKey) {
  auto any = [](const installer::Hotkey&) { return true; };
  EXPECT_EQ(installer::DefaultHotkey({kUs, kGerman}, any).spelling, L"Ctrl+Alt+S");
  EXPECT_EQ(installer::DefaultHotkey({kUs, kPolish}, any).spelling, L"Ctrl+Alt+F1");
  auto f1_taken = [](const installer::Hotkey& hotkey) { return hotkey.spelling != L"Ctrl+Alt+F1"; };
  EXPECT_EQ(installer::DefaultHotkey({kPolish}, f1_taken).spelling, L"Ctrl+Alt+F2");
  auto s_taken = [](const installer::Hotkey& hotkey) { return hotkey.spelling != L"Ctrl+Alt+S"; };
  EXPECT_EQ(installer::DefaultHotkey({kUs}, s_taken).spelling, L"Ctrl+Alt+F1");
  EXPECT_EQ(installer::DefaultHotkey({kPolish}, [](const installer::Hotkey&) { return false; }).spelling, L"Ctrl+Alt+S")
      << "with nothing free, the usual key is still offered";
}

// The system's own answers, as far as Wine gives them: it has one layout, the US one, whatever is
// loaded, and types nothing with Ctrl+Alt on it.
TEST(HotkeyLayouts, TheUsersLayoutsAreReadFromTheSystem) {
  const std::vector<KeyboardLayout> layouts = installer::UsersKeyboardLayouts();
  ASSERT_FALSE(layouts.empty());
  for (const KeyboardLayout& layout : layouts) EXPECT_FALSE(layout.name.empty());
  EXPECT_TRUE(installer::JudgeText(L"Ctrl+Alt+F5", layouts).hotkey);
  EXPECT_FALSE(installer::KeyName(VK_HOME).empty());
}

TEST(HotkeyLayouts, AHotkeyAnotherProgramHoldsIsNotFree) {
  const installer::Hotkey probe = *ParseHotkey(L"Ctrl+Alt+Shift+F11");
  EXPECT_TRUE(installer::NoProgramHoldsIt(probe));
  ASSERT_TRUE(::RegisterHotKey(nullptr, 7, MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F11));
  EXPECT_FALSE(installer::NoProgramHoldsIt(probe));
  ::UnregisterHotKey(nullptr, 7);
  EXPECT_TRUE(installer::NoProgramHoldsIt(probe)) << "the probe kept the keys";
}

}  // namespace

// orvane_settings.exe in the person's language: what it prints and its window, in German, from a copy
// built with the tests' German catalog (tests/fixtures/texts/de.po) until the real one is translated.
// The language comes from --language=, else Orvane.ini's [Display] Language=, else Windows.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/desktop.h"
#include "support/orvane_process.h"
#include "support/po_texts.h"
#include "support/screen_dpi.h"
#include "support/temp_folder.h"
#include "support/text_fit.h"

namespace {

using testing_support::RunCapturing;
using testing_support::Said;
using testing_support::TempFolder;

// The tests' German, as tests/fixtures/texts/de.po has it.
const std::wstring kGermanRule =
    L"Die Tastenkombination besteht aus Strg+Alt, auf Wunsch mit Umschalt, und einem Buchstaben, einer Ziffer oder "
    L"F1 bis F12, zum Beispiel Strg+Alt+S. Tasten, die Programme selbst verwenden, etwa Strg+S, Strg+C oder Alt+F4, "
    L"werden abgelehnt, ebenso Tasten, die auf einer Ihrer Tastaturen mit Alt Gr ein Zeichen schreiben.";
const std::wstring kEnglishRule =
    L"The shortcut is Ctrl+Alt, with Shift if you like, and a letter, a digit or F1 to F12, for example Ctrl+Alt+S. "
    L"Keys that programs use themselves, such as Ctrl+S, Ctrl+C or Alt+F4, are refused, and so are keys that type a "
    L"character with AltGr on one of your keyboards.";

// The German copy of the tool, alone in a folder of its own, as the installer puts it.
struct GermanTool {
  TempFolder folder{L"orvane-texts"};
  std::wstring exe = folder / L"orvane_settings.exe";

  GermanTool() {
    ::CopyFileW((testing_support::BuildFolder() + L"\\orvane_settings_german.exe").c_str(), exe.c_str(), FALSE);
  }
  void Settings(const std::wstring& text) const { testing_support::WriteUtf16(folder / L"Orvane.ini", text); }
};

// Orvane's languages: the tag --language= takes, and the language's file in po/.
struct Language {
  const wchar_t* tag;
  const wchar_t* po;
};
constexpr Language kLanguages[] = {{L"en", L"en"}, {L"de", L"de"},       {L"fr", L"fr"}, {L"es", L"es"},
                                   {L"it", L"it"}, {L"pt-BR", L"pt_BR"}, {L"nl", L"nl"}, {L"pl", L"pl"},
                                   {L"ja", L"ja"}, {L"zh-CN", L"zh_CN"}};

TEST(ShortcutTexts, PrintsInTheLanguageTheInstallerAsksFor) {
  GermanTool tool;
  Said said = RunCapturing(tool.exe, L"--language=de rule");
  EXPECT_EQ(said.code, 0u);
  EXPECT_EQ(said.text, kGermanRule);

  // The refusal names the keys as a German keyboard does; the rule's refusal keeps its exit code.
  said = RunCapturing(tool.exe, L"--language=de change Ctrl+C");
  EXPECT_EQ(said.code, 2u);
  EXPECT_EQ(said.text, L"\u201EStrg+C\u201C kann nicht die Tastenkombination sein.\r\n\r\n" + kGermanRule);
  said = RunCapturing(tool.exe, L"--language=de normalise ctrl+shift+s");
  EXPECT_EQ(said.code, 2u);
  EXPECT_EQ(said.text.rfind(L"\u201EStrg+Umschalt+s\u201C", 0), 0u) << "the rest as given" << testing::PrintToString(said.text);

  said = RunCapturing(tool.exe, L"--language=de unknown words");
  EXPECT_EQ(said.code, 3u);
  EXPECT_EQ(said.text, L"Aufruf: orvane_settings change [TASTEN], zum Beispiel: orvane_settings change Ctrl+Alt+E");

  // What the installer writes into Orvane.ini and the shortcut stays as Windows spells it.
  said = RunCapturing(tool.exe, L"--language=de normalise ctrl+alt+shift+f5");
  EXPECT_EQ(said.code, 0u);
  EXPECT_EQ(said.text, L"Ctrl+Alt+Shift+F5");
  EXPECT_EQ(RunCapturing(tool.exe, L"--language=de value Ctrl+Alt+S").text, RunCapturing(tool.exe, L"value Ctrl+Alt+S").text);

  // A language the tool has no catalog for leaves it to Windows, as no --language at all does.
  EXPECT_EQ(RunCapturing(tool.exe, L"--language=sv rule").text, RunCapturing(tool.exe, L"rule").text);
  // --language= alone is a language, no command.
  EXPECT_EQ(RunCapturing(tool.exe, L"--language=de unknown").code, 3u);
}

TEST(ShortcutTexts, TheSettingChoosesUnlessTheInstallerAsksForAnother) {
  GermanTool tool;
  const std::wstring windows_choice = RunCapturing(tool.exe, L"rule").text;
  ASSERT_FALSE(windows_choice.empty());

  tool.Settings(L"[Display]\r\nLanguage=de-AT\r\n");
  EXPECT_EQ(RunCapturing(tool.exe, L"rule").text, kGermanRule) << "by its primary language";
  EXPECT_EQ(RunCapturing(tool.exe, L"--language=en rule").text, kEnglishRule) << "the installer's language comes first";
  EXPECT_EQ(RunCapturing(tool.exe, L"--language=sv rule").text, kGermanRule) << "one the tool lacks leaves it to the setting";

  tool.Settings(L"[display]\r\nlanguage=\"DE\"\r\n");
  EXPECT_EQ(RunCapturing(tool.exe, L"rule").text, kGermanRule) << "any letter case, quoted";

  tool.Settings(L"[Display]\r\nLanguage=Deutsch\r\n");
  EXPECT_EQ(RunCapturing(tool.exe, L"rule").text, windows_choice) << "a language the tool lacks leaves it to Windows";
  tool.Settings(L"[Display]\r\nLanguage=\r\n");
  EXPECT_EQ(RunCapturing(tool.exe, L"rule").text, windows_choice);
}

TEST(ShortcutTexts, TheWindowSpeaksGermanAndHoldsItsLongerWords) {
  GermanTool tool;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring command = L"\"" + tool.exe + L"\" --language=de change";
  ASSERT_TRUE(::CreateProcessW(tool.exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
  ::CloseHandle(process.hThread);
  HWND window = desktop::WaitForDialog(process.dwProcessId, 20000, process.hProcess);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(desktop::ControlText(window), L"Tastenkombination von Orvane \u00E4ndern");
  std::vector<std::wstring> labels;
  for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    labels.push_back(desktop::ControlText(child));
  }
  const std::vector<std::wstring> expected = {
      L"Klicken Sie in das Feld, und dr\u00FCcken Sie die Tasten der neuen Tastenkombination f\u00FCr Orvane:",
      L"", kGermanRule, L"OK", L"Abbrechen"};
  EXPECT_EQ(labels, expected);
  EXPECT_EQ(testing_support::TextFitReport(window), L"measured 4") << "every label and button whole";
  // Each button at least as wide as its word.
  for (int id : {IDOK, IDCANCEL}) {
    HWND button = ::GetDlgItem(window, id);
    RECT room{};
    ::GetClientRect(button, &room);
    HDC dc = ::GetDC(button);
    SIZE needed{};
    const std::wstring word = desktop::ControlText(button);
    ::GetTextExtentPoint32W(dc, word.c_str(), static_cast<int>(word.size()), &needed);
    ::ReleaseDC(button, dc);
    EXPECT_GE(room.right, needed.cx) << testing_support::Utf8(word);
  }
  desktop::Press(window, IDCANCEL);
  EXPECT_EQ(desktop::WaitForExit(process.hProcess, 20000), 1u) << "cancelled";
  ::CloseHandle(process.hProcess);
}

// The shipped tool's window in each of its languages, at 100% and 150%: its own words, nothing cut off.
TEST(ShortcutTexts, EveryLanguagesWindowHoldsItsWordsAtEveryScale) {
  TempFolder folder{L"orvane-texts"};
  const std::wstring exe = folder / L"orvane_settings.exe";
  ASSERT_TRUE(::CopyFileW((testing_support::BuildFolder() + L"\\orvane_settings.exe").c_str(), exe.c_str(), FALSE));
  for (DWORD dpi : {96u, 144u}) {
    testing_support::ScreenDpi screen(dpi);
    for (const Language& language : kLanguages) {
      const std::string where = testing_support::Utf8(language.tag) + " at " + std::to_string(dpi) + " dpi";
      STARTUPINFOW startup{};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION process{};
      std::wstring command = L"\"" + exe + L"\" --language=" + language.tag + L" change";
      ASSERT_TRUE(::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &process));
      ::CloseHandle(process.hThread);
      HWND window = desktop::WaitForDialog(process.dwProcessId, 20000, process.hProcess);
      if (window) {
        EXPECT_EQ(desktop::ControlText(window), testing_support::PoText(language.po, L"Shortcut.Title")) << where;
        EXPECT_EQ(desktop::ControlText(::GetDlgItem(window, IDCANCEL)), testing_support::PoText(language.po, L"Shortcut.Cancel"))
            << where;
        EXPECT_EQ(testing_support::TextFitReport(window), L"measured 4") << where;
        desktop::Press(window, IDCANCEL);
      }
      EXPECT_EQ(desktop::WaitForExit(process.hProcess, 20000), 1u) << where;
      ::CloseHandle(process.hProcess);
      ASSERT_NE(window, nullptr) << where;
    }
  }
}

}  // namespace

namespace {

// The settings window in each of Orvane's languages, at 100%, 150% and 200%: its own words, nothing cut off
// (the six labels with words and the three buttons measured).
TEST(SettingsTexts, EveryLanguagesSettingsWindowHoldsItsWordsAtEveryScale) {
  TempFolder folder{L"orvane-texts"};
  const std::wstring exe = folder / L"orvane_settings.exe";
  ASSERT_TRUE(::CopyFileW((testing_support::BuildFolder() + L"\\orvane_settings.exe").c_str(), exe.c_str(), FALSE));
  for (DWORD dpi : {96u, 144u, 192u}) {
    testing_support::ScreenDpi screen(dpi);
    for (const auto& [tag, po] : kLanguages) {
      const std::string where = testing_support::Utf8(tag) + " at " + std::to_string(dpi) + " dpi";
      STARTUPINFOW startup{};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION process{};
      std::wstring command = L"\"" + exe + L"\" --language=" + tag;
      ASSERT_TRUE(::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &process));
      ::CloseHandle(process.hThread);
      HWND window = desktop::WaitForDialog(process.dwProcessId, 20000, process.hProcess);
      if (window) {
        EXPECT_EQ(desktop::ControlText(window), testing_support::PoText(po, L"Settings.Title")) << where;
        EXPECT_EQ(testing_support::TextFitReport(window), L"measured 9") << where;
        desktop::Press(window, IDCANCEL);
      }
      EXPECT_EQ(desktop::WaitForExit(process.hProcess, 20000), 1u) << where;
      ::CloseHandle(process.hProcess);
      ASSERT_NE(window, nullptr) << where;
    }
  }
}

}  // namespace

// orvane.exe on Windows in another language (Wine takes it from LANG, set for the whole test program on
// the Unix side): what the person reads comes in their language, from the translators' files, and the
// Language= setting wins over Windows' choice. The error line stays English, for whoever supports them.

#include <gtest/gtest.h>

#include <string>

#include "support/desktop.h"
#include "support/orvane_process.h"
#include "support/po_texts.h"
#include "support/standin.h"
#include "support/temp_folder.h"

namespace {

using desktop::SampleWindow;
using testing_support::OrvaneProcess;
using testing_support::PoText;
using testing_support::TempFolder;

// The language Windows speaks here, as its file in po/ is named ("de", "ja"); "en" for any other.
std::wstring WindowsLanguage() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  ::LCIDToLocaleName(MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0);
  const std::wstring tag = name;
  if (tag.rfind(L"de", 0) == 0) return L"de";
  if (tag.rfind(L"ja", 0) == 0) return L"ja";
  return L"en";
}

// Ctrl+Alt+S as the language names the keys.
std::wstring Keys(const std::wstring& language) {
  return PoText(language, L"Key.Ctrl") + L"+" + PoText(language, L"Key.Alt") + L"+S";
}

std::wstring Question(const std::wstring& language) {
  return PoText(language, L"QuestionPressed", {Keys(language)}) + L"\r\n\r\n" + PoText(language, L"Question");
}

class RunInWindowsLanguage : public ::testing::Test {
 protected:
  void SetUp() override {
    language_ = WindowsLanguage();
    ASSERT_NE(language_, L"en") << "Windows speaks English here: run this with LANG=de_DE.UTF-8 or ja_JP.UTF-8, "
                                   "and make the locale if it is missing (localedef; scripts/test makes it)";
    Install("");
    ASSERT_TRUE(target_.BringToFront()) << "the sample window did not come to the front";
  }

  void Install(const std::string& display_section) {
    testing_support::InstallOrvane(
        app_.path(), "[Email]\r\nRecipient=arvel@example.com\r\n[KeyCombos]\r\nActivate=Ctrl+Alt+S\r\n" + display_section);
  }

  // The text of the question of a run started now, which is then cancelled.
  std::wstring AskedQuestion() {
    EXPECT_TRUE(target_.BringToFront());
    OrvaneProcess run(app_.path());
    HWND box = desktop::WaitForDialog(run.id(), 15000, run.handle());
    if (!box) return L"(no question)";
    const std::wstring text = desktop::ReadDialog(box).text;
    desktop::Press(box, IDCANCEL);
    EXPECT_EQ(run.WaitForExit(), 0u);
    return text;
  }

  std::wstring language_;
  testing_support::StandIn mail_program_;
  TempFolder app_{L"orvane-app"};
  SampleWindow target_{L"Quarterly report", 320, 200};
};

TEST_F(RunInWindowsLanguage, TheQuestionAndAReportSpeakIt) {
  OrvaneProcess run(app_.path(), L"orvane.exe", testing_support::BuildFolder());
  HWND box = desktop::WaitForDialog(run.id(), 15000, run.handle());
  ASSERT_NE(box, nullptr) << "no question appeared";
  EXPECT_EQ(desktop::ReadDialog(box).text, Question(language_));
  // The folder goes away while the question is open: the screenshot cannot be written, and the report
  // says so in the language, with the error line in English.
  const std::wstring moved = app_.path() + L"-moved";
  ASSERT_TRUE(::MoveFileW(app_.path().c_str(), moved.c_str()));
  desktop::Press(box, IDOK);
  HWND report = testing_support::BoxAfter(run, box);
  std::wstring text;
  if (report) text = desktop::ReadDialog(report).text;
  if (report) desktop::Press(report, IDOK);
  const DWORD code = run.WaitForExit();
  ASSERT_TRUE(::MoveFileW(moved.c_str(), app_.path().c_str()));
  ASSERT_NE(report, nullptr) << "no report; exit code " << code;
  EXPECT_EQ(text, PoText(language_, L"Report.FileNotWritten", {Keys(language_)}) + L"\r\n\r\n" +
                      PoText(language_, L"NotSaved") + L"\r\n\r\n(Error 26001: Failed to save to JPG -6)");
  EXPECT_EQ(code, 1u);
}

// The setting names another of Orvane's languages, or English, which is then exactly the English
// wording; a language Orvane does not have leaves the choice to Windows.
TEST_F(RunInWindowsLanguage, TheLanguageSettingWinsOverWindows) {
  const std::wstring other = language_ == L"de" ? L"ja" : L"de";
  Install("[Display]\r\nLanguage=" + std::string(other.begin(), other.end()) + "\r\n");
  EXPECT_EQ(AskedQuestion(), Question(other));
  Install("[Display]\r\nLanguage=en\r\n");
  EXPECT_EQ(AskedQuestion(),
            L"You have pressed Ctrl+Alt+S.\r\n\r\nAre you sure you want to e-mail a screenshot of the current window "
            L"Arvel?");
  Install("[Display]\r\nLanguage=tlh\r\n");
  EXPECT_EQ(AskedQuestion(), Question(language_));
}

}  // namespace

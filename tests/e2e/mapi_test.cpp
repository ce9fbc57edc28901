// Runs on a machine whose mail program has no automation interface: the mail goes to the default mail
// program through Simple MAPI (the stand-in), or, with none, the report names the saved file.

#include <gtest/gtest.h>

#include "desktop/desktop.h"
#include "support/images.h"
#include "support/orvane_process.h"
#include "support/standin.h"
#include "support/temp_folder.h"

namespace {

using desktop::SampleWindow;
using testing_support::MapiStandIn;
using testing_support::OrvaneProcess;
using testing_support::StandIn;
using testing_support::TempFolder;

using testing_support::Utf8;

class MapiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(StandIn::Run(L"/UnregServer"), 0);  // no automation server: its destructor registers it again
    testing_support::InstallOrvane(app_.path(), "[Email]\r\nRecipient=Arvel Quist <arvel@example.com>; desk@example.com\r\n"
                                                "[KeyCombos]\r\nActivate=F9\r\n");
    ASSERT_TRUE(target_.BringToFront());
  }

  // Starts a confirmed run and returns once its question has been answered with OK.
  bool Confirm(OrvaneProcess& run) {
    HWND question = desktop::WaitForDialog(run.id(), 15000, run.handle());
    if (!question) return false;
    desktop::Press(question, IDOK);
    return true;
  }

  // Waits for a mail window of the stand-in while the run lives.
  HWND WaitForMailWindow(OrvaneProcess& run) {
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 15000;) {
      SampleWindow::Pump();
      auto windows = MapiStandIn::MailWindows();
      if (!windows.empty()) return windows.front();
      if (::WaitForSingleObject(run.handle(), 0) == WAIT_OBJECT_0) break;
      ::Sleep(20);
    }
    return nullptr;
  }

  std::wstring Shot() const { return app_ / L"Screenshot001.jpg"; }

  StandIn automation_;  // only unregistered here, and registered again at the end
  TempFolder app_{L"orvane-mapi"};
  SampleWindow target_{L"Budget \u2014 Draft", 300, 160};
};

TEST_F(MapiTest, WithoutAutomationTheDefaultMailProgramShowsTheMailWithFileRecipientsAndSubject) {
  MapiStandIn client;
  OrvaneProcess run(app_.path());
  ASSERT_TRUE(Confirm(run));
  HWND mail = WaitForMailWindow(run);
  ASSERT_NE(mail, nullptr) << "no mail window";
  EXPECT_TRUE(desktop::WindowsOf(run.id(), L"#32770").empty()) << "a message besides the mail";
  ::PostMessageW(mail, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitForExit(), 0u);

  const auto journal = client.Journal();
  ASSERT_EQ(journal.size(), 1u);
  const std::string& call = journal[0];
  EXPECT_EQ(call.rfind("MAPISendMailW flags=0x00000009 owner=yes ", 0), 0u) << call;  // MAPI_DIALOG | MAPI_LOGON_UI
  EXPECT_NE(call.find(" subject=Screen Capture: " + Utf8(L"Budget \u2014 Draft") + " "), std::string::npos) << call;
  EXPECT_NE(call.find("recipients=[MAPI_TO Arvel Quist <SMTP:arvel@example.com>; MAPI_TO desk@example.com "
                      "<SMTP:desk@example.com>]"),
            std::string::npos)
      << call;
  EXPECT_NE(call.find("files=[" + Utf8(Shot()) + " | Screenshot001.jpg]"), std::string::npos) << call;
  EXPECT_GT(testing_support::DecodeImageFile(Shot()).width, 0u);
  EXPECT_TRUE(automation_.Journal(true).empty());
}

TEST_F(MapiTest, ClosingTheMailUnsentIsTheUsersChoiceAndNoError) {
  MapiStandIn client;
  client.Answer(L"UserAbort");
  OrvaneProcess run(app_.path());
  ASSERT_TRUE(Confirm(run));
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(client.Journal().size(), 1u);
  EXPECT_TRUE(testing_support::FileExists(Shot()));
}

TEST_F(MapiTest, AMailProgramThatFailsIsReportedWithTheSavedFile) {
  MapiStandIn client;
  client.Answer(L"Failure");
  OrvaneProcess run(app_.path());
  ASSERT_TRUE(Confirm(run));
  HWND report = nullptr;
  for (int i = 0; i < 100 && !report; ++i) {
    for (HWND dialog : desktop::WindowsOf(run.id(), L"#32770"))
      if (desktop::ReadDialog(dialog).text.find(L"Run-time error") != std::wstring::npos) report = dialog;
    if (!report) desktop::WaitForDialog(run.id(), 100, run.handle());
  }
  ASSERT_NE(report, nullptr);
  const desktop::DialogInfo info = desktop::ReadDialog(report);
  desktop::Press(report, IDNO);
  EXPECT_EQ(run.WaitForExit(), 1u);
  EXPECT_NE(info.text.find(L"default mail program could not open"), std::wstring::npos) << Utf8(info.text);
  EXPECT_NE(info.text.find(L"saved as " + Shot() + L"."), std::wstring::npos) << Utf8(info.text);
  EXPECT_NE(info.text.find(L"Run-time error '2':\r\n\r\nThe mail program answered MAPI_E_FAILURE (2)"),
            std::wstring::npos)
      << Utf8(info.text);
  EXPECT_EQ(info.buttons, (std::vector<int>{IDYES, IDNO}));
  EXPECT_TRUE(info.owner_topmost) << "the report is owned by the hidden topmost form";
}

TEST_F(MapiTest, WithNoMailProgramAtAllTheReportNamesTheSavedFile) {
  OrvaneProcess run(app_.path());
  ASSERT_TRUE(Confirm(run));
  HWND report = nullptr;
  for (int i = 0; i < 100 && !report; ++i) {
    HWND dialog = desktop::WaitForDialog(run.id(), 100, run.handle());
    if (dialog && desktop::ReadDialog(dialog).text.find(L"Run-time error") != std::wstring::npos) report = dialog;
  }
  ASSERT_NE(report, nullptr);
  const desktop::DialogInfo info = desktop::ReadDialog(report);
  desktop::Press(report, IDNO);
  EXPECT_EQ(run.WaitForExit(), 1u);
  EXPECT_EQ(info.text.rfind(L"There is no mail program to open the mail with", 0), 0u) << Utf8(info.text);
  EXPECT_NE(info.text.find(L"The screenshot was saved as " + Shot() + L"."), std::wstring::npos) << Utf8(info.text);
  EXPECT_NE(info.text.find(L"Run-time error '-2147221164':\r\n\r\nClass not registered"), std::wstring::npos);
  EXPECT_NE(info.text.find(L"Show the screenshot in its folder?"), std::wstring::npos);
  EXPECT_TRUE(testing_support::FileExists(Shot()));
}

TEST(MapiStandInRegistration, NeverDisplacesAnotherDefaultMailProgram) {
  HKEY clients = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Clients\\Mail", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &clients, nullptr),
            ERROR_SUCCESS);
  const wchar_t other[] = L"Another Mail Program";
  ::RegSetValueExW(clients, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(other), sizeof other);
  EXPECT_NE(MapiStandIn::Register(), 0);  // refused
  wchar_t value[64] = {};
  DWORD size = sizeof value - sizeof(wchar_t);
  ::RegGetValueW(clients, nullptr, nullptr, RRF_RT_REG_SZ, nullptr, value, &size);
  EXPECT_STREQ(value, other);
  EXPECT_EQ(MapiStandIn::Register(true), 0);  // and unregistering leaves it alone too
  size = sizeof value - sizeof(wchar_t);
  ::RegGetValueW(clients, nullptr, nullptr, RRF_RT_REG_SZ, nullptr, value, &size);
  EXPECT_STREQ(value, other);
  ::RegDeleteValueW(clients, nullptr);
  ::RegCloseKey(clients);
}

}  // namespace

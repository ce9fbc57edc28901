// orvane_settings.exe's window driven as a person drives it: the settings file afterwards byte for
// byte, the Start-menu entry's key, refusals that say what they refuse, the mail program named, and
// the test mail.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "platform/win/com.h"
#include "settings/settings_window.h"
#include "support/desktop.h"
#include "support/orvane_process.h"
#include "support/shell_link.h"
#include "support/standin.h"
#include "support/temp_folder.h"

namespace {

using testing_support::TempFolder;

std::string Utf16(std::wstring_view text) {
  std::string bytes = "\xFF\xFE";
  bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  return bytes;
}

// Orvane's folder with the settings program beside a stand-in orvane.exe, the window open.
class Window {
 public:
  explicit Window(const std::string& settings_bytes) {
    exe_ = folder_ / L"orvane_settings.exe";
    ::CopyFileW((testing_support::BuildFolder() + L"\\orvane_settings.exe").c_str(), exe_.c_str(), FALSE);
    ::CopyFileW((testing_support::BuildFolder() + L"\\orvane.exe").c_str(), (folder_ / L"orvane.exe").c_str(), FALSE);
    if (!settings_bytes.empty()) testing_support::WriteBytes(settings(), settings_bytes);
  }
  ~Window() {
    if (process_.hProcess) {
      if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(process_.hProcess, 9);
      ::CloseHandle(process_.hProcess);
    }
  }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND Open() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + exe_ + L"\" --language=en";
    if (!::CreateProcessW(exe_.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_)) return nullptr;
    ::CloseHandle(process_.hThread);
    window_ = desktop::WaitForDialog(process_.dwProcessId, 20000, process_.hProcess);
    return window_;
  }
  HWND Item(int id) const { return ::GetDlgItem(window_, id); }
  void Type(int id, const std::wstring& text) const {
    ::SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  // The first box the window shows over itself.
  HWND WaitForBox() const {
    for (int i = 0; i < 200; ++i) {
      for (HWND box : desktop::WindowsOf(process_.dwProcessId, L"#32770")) {
        if (box != window_ && ::IsWindowVisible(box)) return box;
      }
      ::Sleep(50);
    }
    return nullptr;
  }
  DWORD WaitForExit() const { return desktop::WaitForExit(process_.hProcess, 20000); }
  std::wstring settings() const { return folder_ / L"Orvane.ini"; }
  const std::wstring& folder() const { return folder_.path(); }
  HWND window() const { return window_; }

 private:
  TempFolder folder_{L"orvane-settings"};
  std::wstring exe_;
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

const std::wstring kWritten =
    L"; Mine, all mine: Orvane must keep this.\r\n"
    L"[Email]\r\n"
    L"; who gets them\r\n"
    L"Recipient = arvel@example.com\r\n"
    L"\r\n"
    L"[Custom]\r\n"
    L"Colour=blue\r\n"
    L"[Display]\r\n"
    L"Language=\r\n";

TEST(SettingsWindow, OkChangesOnlyWhatChangedAndKeepsEveryOtherByte) {
  Window settings(Utf16(kWritten));
  ASSERT_NE(settings.Open(), nullptr);
  EXPECT_EQ(desktop::ControlText(settings.window()), L"Orvane settings");
  EXPECT_EQ(desktop::ControlText(settings.Item(IDC_RECIPIENT)), L"arvel@example.com");
  settings.Type(IDC_RECIPIENT, L"Arvel Lind <lind@example.org>; \u0430\u0440\u0432\u0435\u043b@example.com");
  ::SendMessageW(settings.Item(IDC_LANGUAGE), CB_SETCURSEL, 2, 0);  // Deutsch, after Windows' and English
  desktop::Press(settings.window(), IDOK);
  EXPECT_EQ(settings.WaitForExit(), 0u);

  std::wstring expected = kWritten;
  expected.replace(expected.find(L"arvel@example.com"), 17, L"Arvel Lind <lind@example.org>; \u0430\u0440\u0432\u0435\u043b@example.com");
  expected.replace(expected.find(L"Language="), 9, L"Language=de");
  EXPECT_EQ(testing_support::ReadBytes(settings.settings()), Utf16(expected));
}

// The Start-menu shortcut Orvane's keys live on, moved aside while a test needs there to be none and
// put back after, whatever the test left there taken away.
class NoStartMenuShortcut {
 public:
  NoStartMenuShortcut() {
    wchar_t programs[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs);
    link_ = std::wstring(programs) + L"\\Orvane.lnk";
    aside_ = link_ + L".aside";
    moved_ = ::MoveFileExW(link_.c_str(), aside_.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
  }
  ~NoStartMenuShortcut() {
    ::DeleteFileW(link_.c_str());
    if (moved_) ::MoveFileW(aside_.c_str(), link_.c_str());
  }
  NoStartMenuShortcut(const NoStartMenuShortcut&) = delete;
  NoStartMenuShortcut& operator=(const NoStartMenuShortcut&) = delete;
  const std::wstring& link() const { return link_; }

 private:
  std::wstring link_, aside_;
  bool moved_ = false;
};

// A copy unpacked from the portable zip has no Start-menu shortcut, and keys work only on one: the
// window offers to make it, with the keys pressed, and makes it and the setting together, or nothing.
TEST(SettingsWindow, KeysWithoutAStartMenuShortcutOfferOneAndMakeItWithThem) {
  NoStartMenuShortcut none;
  ASSERT_FALSE(testing_support::FileExists(none.link()));
  Window settings(Utf16(kWritten));
  ASSERT_NE(settings.Open(), nullptr);
  const WORD keys = MAKEWORD('E', HOTKEYF_CONTROL | HOTKEYF_ALT);
  ::SendMessageW(settings.Item(IDC_SETTINGS_KEYS), HKM_SETHOTKEY, keys, 0);

  desktop::Press(settings.window(), IDOK);
  HWND offer = settings.WaitForBox();
  ASSERT_NE(offer, nullptr) << "no offer of a Start-menu shortcut";
  EXPECT_EQ(desktop::ReadDialog(offer).text,
            L"There is no Start-menu shortcut for Orvane yet, so no keys start it. Create one in your Start menu, "
            L"with the keys Ctrl+Alt+E?");
  desktop::Press(offer, IDNO);
  for (int i = 0; i < 100 && ::IsWindowVisible(offer); ++i) ::Sleep(20);
  EXPECT_FALSE(testing_support::FileExists(none.link())) << "declined, yet made";
  EXPECT_EQ(testing_support::ReadBytes(settings.settings()), Utf16(kWritten)) << "declined, yet written";

  desktop::Press(settings.window(), IDOK);
  offer = settings.WaitForBox();
  ASSERT_NE(offer, nullptr);
  desktop::Press(offer, IDYES);
  EXPECT_EQ(settings.WaitForExit(), 0u);
  const testing_support::Link made = testing_support::ReadLink(none.link());
  EXPECT_EQ(made.hotkey, keys);
  EXPECT_EQ(made.target, settings.folder() + L"\\orvane.exe");
  const std::string written = testing_support::ReadBytes(settings.settings());
  EXPECT_EQ(written.rfind(Utf16(L"; Mine, all mine: Orvane must keep this.\r\n"), 0), 0u) << "the comments kept";
  wchar_t activate[64] = {};
  ::GetPrivateProfileStringW(L"KeyCombos", L"Activate", L"", activate, 64, settings.settings().c_str());
  EXPECT_STREQ(activate, L"Ctrl+Alt+E");
}

TEST(SettingsWindow, ABadAddressIsNamedAsTypedAndRefusedOnOk) {
  Window settings(Utf16(kWritten));
  ASSERT_NE(settings.Open(), nullptr);
  settings.Type(IDC_RECIPIENT, L"arvel@example.com; arvel at example.com");
  EXPECT_EQ(desktop::ControlText(settings.Item(IDC_RECIPIENT_CHECK)), L"\"arvel at example.com\" is not an e-mail address.");
  desktop::Press(settings.window(), IDOK);
  HWND box = settings.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(desktop::ReadDialog(box).text.rfind(L"\"arvel at example.com\" is not an e-mail address.", 0), 0u);
  desktop::Press(box, IDOK);
  EXPECT_EQ(testing_support::ReadBytes(settings.settings()), Utf16(kWritten));
  settings.Type(IDC_RECIPIENT, L"arvel@example.com");
  EXPECT_EQ(desktop::ControlText(settings.Item(IDC_RECIPIENT_CHECK)), L"") << "told no more once mended";
  desktop::Press(settings.window(), IDCANCEL);
  EXPECT_EQ(settings.WaitForExit(), 1u);
  EXPECT_EQ(testing_support::ReadBytes(settings.settings()), Utf16(kWritten)) << "Cancel keeps the file";
}

TEST(SettingsWindow, AFileThatCannotBeWrittenIsToldAndNothingChanges) {
  Window settings(Utf16(kWritten));
  ::SetFileAttributesW(settings.settings().c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_NE(settings.Open(), nullptr);
  settings.Type(IDC_RECIPIENT, L"lind@example.org");
  desktop::Press(settings.window(), IDOK);
  HWND box = settings.WaitForBox();
  ASSERT_NE(box, nullptr);
  const std::wstring told = desktop::ReadDialog(box).text;
  EXPECT_NE(told.find(L"could not be written: it is marked read-only"), std::wstring::npos) << testing::PrintToString(told);
  EXPECT_NE(told.find(settings.settings()), std::wstring::npos) << "names the file";
  desktop::Press(box, IDOK);
  desktop::Press(settings.window(), IDCANCEL);
  EXPECT_EQ(settings.WaitForExit(), 1u);
  ::SetFileAttributesW(settings.settings().c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(testing_support::ReadBytes(settings.settings()), Utf16(kWritten));
  std::vector<std::wstring> left;
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW((settings.folder() + L"\\Orvane.ini*").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(search, &found)) left.push_back(found.cFileName);
  if (search != INVALID_HANDLE_VALUE) ::FindClose(search);
  EXPECT_EQ(left, std::vector<std::wstring>{L"Orvane.ini"}) << "no temporary file left";
}

TEST(SettingsWindow, NamesTheMailProgramAPressWouldUse) {
  // No mail program's automation class, whatever an earlier run left registered.
  ASSERT_EQ(testing_support::StandIn::Run(L"/UnregServer"), 0);
  {
    Window settings(Utf16(kWritten));
    ASSERT_NE(settings.Open(), nullptr);
    EXPECT_EQ(desktop::ControlText(settings.Item(IDC_ROUTE)), L"none: screenshots are saved only");
    desktop::Press(settings.window(), IDCANCEL);
  }
  {
    testing_support::MailtoStandIn links;
    Window settings(Utf16(kWritten));
    ASSERT_NE(settings.Open(), nullptr);
    EXPECT_EQ(desktop::ControlText(settings.Item(IDC_ROUTE)),
              L"your mail links' program: the picture will be on the clipboard, for you to paste into the mail");
    desktop::Press(settings.window(), IDCANCEL);
  }
  {
    testing_support::MapiStandIn mapi;
    Window settings(Utf16(kWritten));
    ASSERT_NE(settings.Open(), nullptr);
    const std::wstring route = desktop::ControlText(settings.Item(IDC_ROUTE));
    EXPECT_NE(route.find(L", as your default mail program"), std::wstring::npos) << testing::PrintToString(route);
    EXPECT_NE(route.rfind(L", as", 0), 0u) << "the program is named";
    desktop::Press(settings.window(), IDCANCEL);
  }
  testing_support::StandIn automation;
  Window settings(Utf16(kWritten));
  ASSERT_NE(settings.Open(), nullptr);
  EXPECT_EQ(desktop::ControlText(settings.Item(IDC_ROUTE)), L"Outlook, through its automation");

  // The test mail: a picture of the window, saved as a screenshot and mailed as a press mails it.
  desktop::Press(settings.window(), IDC_TEST_MAIL);
  std::vector<HWND> mails;
  for (int i = 0; i < 200 && mails.empty(); ++i, ::Sleep(100)) mails = testing_support::StandIn::Windows(L"OrvaneStandInMail");
  ASSERT_EQ(mails.size(), 1u);
  std::string journal;
  for (const std::string& line : automation.Journal()) journal += line + "\n";
  EXPECT_NE(journal.find("Screen Capture: Orvane settings test"), std::string::npos) << journal;
  EXPECT_NE(journal.find("arvel@example.com"), std::string::npos) << journal;
  EXPECT_TRUE(testing_support::FileExists(settings.folder() + L"\\Screenshot001.jpg"));
  desktop::Press(settings.window(), IDCANCEL);
  EXPECT_EQ(settings.WaitForExit(), 1u);
}

}  // namespace

// Runs on a machine whose mail program has no automation interface: the mail goes to the default mail
// program through Simple MAPI (the stand-in), else to the mailto: handler with the picture on the
// clipboard, or, with neither, the report names the saved file.

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "support/desktop.h"
#include "support/images.h"
#include "support/orvane_process.h"
#include "support/standin.h"
#include "support/temp_folder.h"

namespace {

constexpr size_t kLongestLink = 800;  // the link's limit (mail/mailto.h), written out to be checked

// What a program of the X11 display reads from the clipboard, as Wine offers it to them: xclip run
// outside Wine (Wine starts a Unix program as a process of its own, but its handle cannot be waited
// on, so the output is looked for). The targets' names, or the bytes of one target; empty when it
// has none.
std::string X11Clipboard(const testing_support::TempFolder& folder, const std::string& target) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  const auto unix_name = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!unix_name) return "<not under Wine>";
  const std::wstring out = folder / L"x11-clipboard";
  ::DeleteFileW(out.c_str());
  char* name = unix_name(out.c_str());
  if (!name) return "<no Unix name>";
  const std::string unix_out = name;
  ::HeapFree(::GetProcessHeap(), 0, name);
  const std::string script = "command -v xclip >/dev/null || { echo '<no xclip>' > '" + unix_out +
                             ".part'; mv '" + unix_out + ".part' '" + unix_out + "'; exit; }; timeout 10 xclip "
                             "-selection clipboard -t " + target + " -o > '" + unix_out + ".part' 2>/dev/null; mv '" +
                             unix_out + ".part' '" + unix_out + "'";
  std::wstring command = L"Z:\\bin\\sh -c \"" + std::wstring(script.begin(), script.end()) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return "<sh not started>";
  if (process.hThread) ::CloseHandle(process.hThread);
  if (process.hProcess) ::CloseHandle(process.hProcess);
  for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 15000; ::Sleep(50))
    if (testing_support::FileExists(out)) return testing_support::ReadBytes(out);
  return "<xclip did not answer>";
}

// The pixels of the clipboard's CF_DIB (24 bits, bottom-up), top-down as DecodedImage has them.
testing_support::DecodedImage ClipboardDib() {
  testing_support::DecodedImage image;
  if (!::OpenClipboard(nullptr)) return image;
  if (HANDLE data = ::GetClipboardData(CF_DIB)) {
    const auto* header = static_cast<const BITMAPINFOHEADER*>(::GlobalLock(data));
    if (header && header->biBitCount == 24 && header->biCompression == BI_RGB && header->biHeight > 0) {
      image.width = static_cast<UINT>(header->biWidth);
      image.height = static_cast<UINT>(header->biHeight);
      const size_t stride = (image.width * 3 + 3) & ~size_t{3};
      const auto* rows = reinterpret_cast<const uint8_t*>(header) + header->biSize;
      for (UINT y = 0; y < image.height; ++y) {
        const uint8_t* row = rows + (image.height - 1 - y) * stride;
        image.bgr.insert(image.bgr.end(), row, row + image.width * 3);
      }
    }
    if (header) ::GlobalUnlock(data);
  }
  ::CloseClipboard();
  return image;
}

// The clipboard held open by another program for as long as the object lives, emptied first.
class ClipboardHeld {
 public:
  ClipboardHeld()
      : window_(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {
    held_ = ::OpenClipboard(window_) && ::EmptyClipboard();
  }
  ~ClipboardHeld() {
    Release();
    ::DestroyWindow(window_);
  }
  bool held() const { return held_; }
  void Release() {
    if (held_) ::CloseClipboard();
    held_ = false;
  }

 private:
  HWND window_;
  bool held_ = false;
};

// UTF-16 settings with the recipient given, the shortcut F9.
void WriteRecipient(const testing_support::TempFolder& app, const std::wstring& recipient) {
  testing_support::WriteUtf16(app / L"Orvane.ini",
                              L"[Email]\r\nRecipient=" + recipient + L"\r\n[KeyCombos]\r\nActivate=F9\r\n");
}

using desktop::SampleWindow;
using testing_support::MailtoStandIn;
using testing_support::MapiStandIn;
using testing_support::OrvaneProcess;
using testing_support::StandIn;
using testing_support::TempFolder;

using testing_support::Utf8;

// The processes a run started that are still running: the helper that makes the Simple MAPI call.
std::vector<DWORD> HelpersOf(DWORD run) {
  std::vector<DWORD> found;
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
    if (entry.th32ParentProcessID == run) found.push_back(entry.th32ProcessID);
  ::CloseHandle(snapshot);
  return found;
}

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

  // Waits for a box of the run whose text holds `part` (at its start, with `at_start`); null when none
  // came in time.
  static HWND WaitForBox(OrvaneProcess& run, const std::wstring& part, bool at_start = false,
                         DWORD timeout_ms = 15000) {
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < timeout_ms;) {
      for (HWND dialog : desktop::WindowsOf(run.id(), L"#32770")) {
        const size_t at = desktop::ReadDialog(dialog).text.find(part);
        if (at_start ? at == 0 : at != std::wstring::npos) return dialog;
      }
      if (!desktop::WaitForDialog(run.id(), 100, run.handle())) ::Sleep(100);
    }
    return nullptr;
  }

  // A confirmed run through the mailto: handler: the message that the picture is on the clipboard
  // comes before the link is opened; OK to it, and the run ends as done (or, where the handler cannot
  // be started, with the report, which `report` then holds). Returns what the message said. `told`
  // is called while the message is up.
  desktop::DialogInfo RunThroughLink(const MailtoStandIn& links, desktop::DialogInfo* report = nullptr,
                                     const std::function<void()>& told_hook = {}) {
    OrvaneProcess run(app_.path());
    EXPECT_TRUE(Confirm(run));
    HWND told = WaitForBox(run, L"Your mail program", true);
    EXPECT_NE(told, nullptr) << "no message before the link";
    if (!told) return {};
    const desktop::DialogInfo info = desktop::ReadDialog(told);
    EXPECT_TRUE(links.Journal().empty()) << "the link was opened before the user was told";
    if (told_hook) told_hook();
    desktop::Press(told, IDOK);
    if (report) {
      HWND box = WaitForBox(run, L"(Error ");
      EXPECT_NE(box, nullptr) << "no report";
      if (box) {
        *report = desktop::ReadDialog(box);
        desktop::Press(box, IDNO);
      }
      EXPECT_EQ(run.WaitForExit(), 1u);
    } else {
      EXPECT_EQ(run.WaitForExit(), 0u);
    }
    return info;
  }

  // The clipboard's bitmap as "WxH", or what it holds instead.
  static std::string ClipboardBitmap() {
    if (!::OpenClipboard(nullptr)) return "not opened";
    std::string size = "no bitmap";
    if (HANDLE data = ::GetClipboardData(CF_BITMAP)) {
      BITMAP bitmap{};
      if (::GetObjectW(data, sizeof bitmap, &bitmap) == sizeof bitmap)
        size = std::to_string(bitmap.bmWidth) + "x" + std::to_string(bitmap.bmHeight);
    }
    ::CloseClipboard();
    return size;
  }

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
  // Shown by the helper process that makes the call, in front of the window the user was in.
  bool in_front = false;
  for (int i = 0; i < 100 && !in_front; ++i, ::Sleep(50)) {
    SampleWindow::Pump();
    in_front = ::GetForegroundWindow() == mail;
  }
  EXPECT_TRUE(in_front) << "the mail window is not in front";
  DWORD shown_by = 0;
  ::GetWindowThreadProcessId(mail, &shown_by);
  EXPECT_EQ(HelpersOf(run.id()), std::vector<DWORD>{shown_by});
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
  HWND report = WaitForBox(run, L"(Error ");
  ASSERT_NE(report, nullptr);
  const desktop::DialogInfo info = desktop::ReadDialog(report);
  desktop::Press(report, IDNO);
  EXPECT_EQ(run.WaitForExit(), 1u);
  // The next step names the program as it is registered, and the shortcut as the settings name it.
  EXPECT_EQ(info.text, L"Your default mail program could not open the new mail. Open Orvane MAPI Stand-in once to "
                       L"finish its set-up, then press F9 again.\r\n\r\nThe screenshot was saved as " + Shot() +
                           L".\r\n\r\n(Error 2: The mail program answered MAPI_E_FAILURE (2))\r\n\r\nShow the "
                           L"screenshot in its folder?");
  EXPECT_EQ(info.buttons, (std::vector<int>{IDYES, IDNO}));
  EXPECT_EQ(info.icon, L"exclamation");
  EXPECT_TRUE(info.owner_topmost) << "the report is owned by the hidden topmost form";
}

// A library that crashes takes only the helper that calls it down: the run reports it with the saved
// file, and no crash dialog comes up, from the system or from Wine.
TEST_F(MapiTest, AMailProgramThatCrashesIsReportedWithTheSavedFileAndNoCrashDialog) {
  MapiStandIn client;
  client.Answer(L"Crash");
  const std::vector<HWND> before = desktop::WindowsOf(0);
  OrvaneProcess run(app_.path());
  ASSERT_TRUE(Confirm(run));
  HWND report = WaitForBox(run, L"(Error ");
  ASSERT_NE(report, nullptr);
  const desktop::DialogInfo info = desktop::ReadDialog(report);
  for (int i = 0; i < 10; ++i, ::Sleep(100)) {  // a crash dialog would be up by now
    for (HWND window : desktop::WindowsOf(0)) {
      DWORD process = 0;
      ::GetWindowThreadProcessId(window, &process);
      wchar_t title[128] = {};
      ::GetWindowTextW(window, title, 128);
      EXPECT_TRUE(process == run.id() || std::find(before.begin(), before.end(), window) != before.end())
          << "a window besides the report: " << Utf8(title);
    }
  }
  desktop::Press(report, IDNO);
  EXPECT_EQ(run.WaitForExit(), 1u);
  EXPECT_EQ(info.text, L"Your default mail program failed while it was opening the new mail. Open Orvane MAPI "
                       L"Stand-in and attach the screenshot to a new mail yourself; if this happens every time, "
                       L"repair or reinstall it.\r\n\r\nThe screenshot was saved as " + Shot() +
                           L".\r\n\r\n(Error -1073741819: The mail program's library crashed: access violation "
                           L"(0xC0000005))\r\n\r\nShow the screenshot in its folder?");
  EXPECT_EQ(info.buttons, (std::vector<int>{IDYES, IDNO}));
  EXPECT_EQ(info.icon, L"exclamation");
  EXPECT_EQ(client.Journal().size(), 1u);
  EXPECT_GT(testing_support::DecodeImageFile(Shot()).width, 0u);
  EXPECT_TRUE(HelpersOf(run.id()).empty());
}

// However a run ends, its helper goes with it: here it is ended from outside while the library hangs.
TEST_F(MapiTest, ARunEndedFromOutsideTakesTheHelperThatMakesTheCallWithIt) {
  MapiStandIn client;
  client.Answer(L"Hang");
  OrvaneProcess run(app_.path());
  ASSERT_TRUE(Confirm(run));
  // Ended while the helper is in the library's call, as a user or a script would end it.
  for (int i = 0; i < 300 && client.Journal().empty(); ++i) ::Sleep(50);
  ASSERT_FALSE(HelpersOf(run.id()).empty()) << "no helper makes the call";
  ASSERT_FALSE(client.Journal().empty()) << "the helper never reached the library";
  ASSERT_TRUE(::TerminateProcess(run.handle(), 9));
  EXPECT_EQ(run.WaitForExit(), 9u);
  for (int i = 0; i < 100 && !HelpersOf(run.id()).empty(); ++i) ::Sleep(50);
  EXPECT_TRUE(HelpersOf(run.id()).empty()) << "the helper outlived its run";
}

// Without settings as well: the next step cannot name the shortcut, and says so plainly.
TEST_F(MapiTest, WithNoMailProgramAtAllTheReportNamesTheSavedFile) {
  ASSERT_TRUE(::DeleteFileW((app_ / L"Orvane.ini").c_str()));
  OrvaneProcess run(app_.path());
  ASSERT_TRUE(Confirm(run));
  HWND report = WaitForBox(run, L"(Error ");
  ASSERT_NE(report, nullptr);
  const desktop::DialogInfo info = desktop::ReadDialog(report);
  desktop::Press(report, IDNO);
  EXPECT_EQ(run.WaitForExit(), 1u);
  EXPECT_EQ(info.text, L"There is no mail program to open the mail with: the desktop Outlook, which Orvane drives, "
                       L"is not installed, and no other mail program is set up on this computer. Choose a mail "
                       L"program under Settings > Apps > Default apps, then try again.\r\n\r\nThe screenshot was "
                       L"saved as " + Shot() + L".\r\n\r\n(Error -2147221164: Class not registered)\r\n\r\nShow "
                       L"the screenshot in its folder?");
  EXPECT_EQ(info.buttons, (std::vector<int>{IDYES, IDNO}));
  EXPECT_EQ(info.icon, L"exclamation");
  EXPECT_TRUE(testing_support::FileExists(Shot()));
}

// The new Outlook and webmail take no attachment from another program but open mailto: links.
TEST_F(MapiTest, WithOnlyAMailtoHandlerTheLinkCarriesToAndSubjectAndThePictureIsOnTheClipboard) {
  MailtoStandIn links;
  const desktop::DialogInfo told = RunThroughLink(links);
  EXPECT_EQ(told.text, L"Your mail program cannot take the picture from Orvane, so it is on the clipboard: paste it "
                       L"into the new mail with Ctrl+V. The screenshot was also saved as " + Shot() + L".");
  EXPECT_EQ(told.caption, L"Orvane");
  EXPECT_EQ(told.buttons, (std::vector<int>{IDOK}));
  EXPECT_EQ(told.icon, L"information");
  EXPECT_TRUE(told.owner_topmost);

  const auto journal = links.WaitForJournal(2);
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[0], "link: mailto:arvel@example.com,desk@example.com?subject=Screen%20Capture%3A%20Budget%20%E2%80%94%20Draft");
  const auto shot = testing_support::DecodeImageFile(Shot());
  ASSERT_GT(shot.width, 0u);
  const std::string size = std::to_string(shot.width) + "x" + std::to_string(shot.height);
  EXPECT_EQ(journal[1], "clipboard: bitmap " + size + ", PNG " + size);
  EXPECT_EQ(ClipboardBitmap(), size) << "the picture must stay on the clipboard after Orvane has ended";
  EXPECT_TRUE(automation_.Journal(true).empty());
}

// A default mail program that refuses, a registration left by an uninstalled one for example, is not
// the end: the mailto: handler gets the mail.
TEST_F(MapiTest, ADefaultMailProgramThatRefusesHandsTheMailToTheMailtoHandler) {
  MapiStandIn client;
  client.Answer(L"Failure");
  MailtoStandIn links;
  const desktop::DialogInfo told = RunThroughLink(links);
  EXPECT_EQ(told.text.rfind(L"Your mail program cannot take the picture from Orvane, so it is on the clipboard", 0), 0u)
      << Utf8(told.text);
  EXPECT_EQ(client.Journal().size(), 1u);
  const auto journal = links.WaitForJournal(2);
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[0].rfind("link: mailto:arvel@example.com,desk@example.com?subject=Screen%20Capture", 0), 0u)
      << journal[0];
  EXPECT_TRUE(testing_support::FileExists(Shot()));
}

// Browsers (the new Outlook and webmail run in one) paste a "PNG" first, and Wine hands X11 programs
// only that one as image/png: a Linux mail program opened through Wine's link handler pasted nothing
// from a bitmap alone. The PNG that an X11 program reads is the captured picture, pixel for pixel.
TEST_F(MapiTest, ThePictureOnTheClipboardPastesAsAPngInX11ProgramsWithTheCapturedPixels) {
  // Libraries of the imaging component's names in the program's folder must not be the ones it uses.
  for (const wchar_t* name : {L"windowscodecs.dll", L"propsys.dll", L"shcore.dll"})
    ASSERT_TRUE(::CopyFileW((testing_support::BuildFolder() + L"\\planted_marker.dll").c_str(), (app_ / name).c_str(),
                            FALSE));
  RECT frame{};
  ASSERT_TRUE(::GetWindowRect(target_.hwnd(), &frame));
  const testing_support::DecodedImage screen = testing_support::ScreenArea(frame);
  ASSERT_GT(screen.width, 0u);
  MailtoStandIn links;
  RunThroughLink(links);
  ASSERT_EQ(links.WaitForJournal(2).size(), 2u);
  for (const wchar_t* name : {L"windowscodecs.dll", L"propsys.dll", L"shcore.dll"})
    EXPECT_FALSE(testing_support::FileExists(app_ / (std::wstring(name) + L".loaded"))) << Utf8(name) << " was loaded";

  const std::string targets = X11Clipboard(app_, "TARGETS");
  EXPECT_NE(targets.find("image/png\n"), std::string::npos) << targets;
  const std::string png = X11Clipboard(app_, "image/png");
  testing_support::WriteBytes(app_ / L"pasted.png", png);
  const testing_support::DecodedImage pasted = testing_support::DecodeImageFile(app_ / L"pasted.png");
  ASSERT_GT(pasted.width, 0u) << "not a PNG: " << png.substr(0, 40);
  const testing_support::DecodedImage dib = ClipboardDib();
  EXPECT_EQ(pasted.width, dib.width);
  EXPECT_EQ(pasted.height, dib.height);
  EXPECT_TRUE(pasted.bgr == dib.bgr) << "the PNG and the DIB on the clipboard differ";
  ASSERT_EQ(pasted.width, screen.width);
  ASSERT_EQ(pasted.height, screen.height);
  EXPECT_TRUE(pasted.bgr == screen.bgr) << "the PNG is not the window as it was on the screen";
}

// Every combination of the clipboard taking the picture or not (another program holding it open) and
// the link's program starting or not (a registration left by an uninstalled one): what the user is
// told before the link and after it is what happened.
TEST_F(MapiTest, WithTheClipboardHeldByAnotherProgramTheMessageSaysThePictureIsNotOnIt) {
  MailtoStandIn links;
  ClipboardHeld clipboard;
  ASSERT_TRUE(clipboard.held());
  const desktop::DialogInfo told = RunThroughLink(links, nullptr, [&clipboard] { clipboard.Release(); });
  EXPECT_EQ(told.text, L"Your mail program cannot take the picture from Orvane, and the clipboard would not take it "
                       L"either: attach the screenshot to the new mail yourself. The screenshot was saved as " +
                           Shot() + L".");
  const auto journal = links.WaitForJournal(2);
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[1], "clipboard: no bitmap, no PNG");
}

TEST_F(MapiTest, WhenTheLinksProgramCannotStartTheReportSaysWhereThePictureIs) {
  MailtoStandIn gone(false);
  desktop::DialogInfo report;
  const desktop::DialogInfo told = RunThroughLink(gone, &report);
  EXPECT_EQ(told.text.rfind(L"Your mail program cannot take the picture from Orvane, so it is on the clipboard", 0), 0u);
  EXPECT_EQ(report.text.rfind(L"The program for mail links could not be started. The picture is on the clipboard: "
                              L"paste it into a new mail with Ctrl+V.\r\n\r\nThe screenshot was saved as " + Shot() +
                                  L".\r\n\r\n(Error ", 0),
            0u)
      << Utf8(report.text);
  const auto shot = testing_support::DecodeImageFile(Shot());
  EXPECT_EQ(ClipboardBitmap(), std::to_string(shot.width) + "x" + std::to_string(shot.height));

  ClipboardHeld clipboard;
  ASSERT_TRUE(clipboard.held());
  ASSERT_TRUE(::DeleteFileW(Shot().c_str()));
  const desktop::DialogInfo not_told = RunThroughLink(gone, &report, [&clipboard] { clipboard.Release(); });
  EXPECT_EQ(not_told.text.find(L"is on the clipboard"), std::wstring::npos) << Utf8(not_told.text);
  EXPECT_EQ(report.text.rfind(L"The program for mail links could not be started, and the clipboard would not take "
                              L"the picture either. Attach the screenshot to a new mail yourself.\r\n\r\nThe "
                              L"screenshot was saved as " + Shot() + L".\r\n\r\n(Error ", 0),
            0u)
      << Utf8(report.text);
  EXPECT_EQ(ClipboardBitmap(), "no bitmap");
  EXPECT_TRUE(gone.Journal().empty());
}

// The longest link the program hands over reaches the handler whole, with the subject cut to fit.
TEST_F(MapiTest, ALinkOfTheLongestLengthReachesTheHandlerWhole) {
  std::string addresses;
  std::wstring setting;
  for (int i = 100; addresses.size() < 300; ++i) {
    const std::string address = "recipient" + std::to_string(i) + "@example.com";
    addresses += (addresses.empty() ? "" : ",") + address;
    setting += std::wstring(address.begin(), address.end()) + L"; ";
  }
  WriteRecipient(app_, setting);
  const std::wstring title(500, L'x');
  SampleWindow long_title(title, 300, 160);
  ASSERT_TRUE(long_title.BringToFront());
  MailtoStandIn links;
  RunThroughLink(links);
  const auto journal = links.WaitForJournal(2);
  ASSERT_EQ(journal.size(), 2u);
  std::string expected = "mailto:" + addresses + "?subject=Screen%20Capture%3A%20";
  expected += std::string(kLongestLink - expected.size(), 'x');
  EXPECT_EQ(journal[0], "link: " + expected);
}

// Wine's shell crashed the run on a link of 400 percent signs (1,200 characters encoded) and on one
// of a thousand characters of recipients; both stay within the limit now. A setting longer than the
// 1023 characters read ends in an address cut short, which is left out and named, and so are the
// addresses the link has no room for.
TEST_F(MapiTest, APercentTitleAndAThousandCharactersOfRecipientsNeitherCrashNorPassTheLimit) {
  {
    MailtoStandIn links;
    SampleWindow percent(std::wstring(400, L'%'), 300, 160);
    ASSERT_TRUE(percent.BringToFront());
    RunThroughLink(links);
    const auto journal = links.WaitForJournal(2);
    ASSERT_EQ(journal.size(), 2u);
    std::string expected = "link: mailto:arvel@example.com,desk@example.com?subject=Screen%20Capture%3A%20";
    while (expected.size() + 3 <= 6 + kLongestLink) expected += "%25";
    EXPECT_EQ(journal[0], expected);
  }
  ASSERT_TRUE(::DeleteFileW(Shot().c_str()));
  std::wstring setting;
  std::vector<std::wstring> addresses;
  for (int i = 10; setting.size() < 1100; ++i) {
    addresses.push_back(L"\u0430\u0440\u0432\u0435\u043b" + std::to_wstring(i) + L"@\u8a66\u9a13.jp");
    setting += addresses.back() + L"; ";
  }
  WriteRecipient(app_, setting);
  ASSERT_TRUE(target_.BringToFront());
  MailtoStandIn links;
  const desktop::DialogInfo told = RunThroughLink(links);
  const auto journal = links.WaitForJournal(2);
  ASSERT_EQ(journal.size(), 2u);
  const std::string& link = journal[0];
  EXPECT_LE(link.size(), 6 + kLongestLink);
  // The addresses that went in are whole; the others read whole are named, and so is the one cut
  // short by the reading.
  const size_t first_left_out = static_cast<size_t>(std::count(link.begin(), link.end(), ',')) + 1;
  ASSERT_LT(first_left_out, addresses.size());
  const std::wstring read = setting.substr(0, 1023);
  std::wstring named;
  for (size_t i = first_left_out; i < addresses.size() && read.find(addresses[i] + L";") != std::wstring::npos; ++i)
    named += (named.empty() ? L"" : L"; ") + addresses[i];
  EXPECT_NE(told.text.find(L"missing from the new mail's To line; add them yourself: " + named + L".\r\n\r\n"),
            std::wstring::npos)
      << Utf8(told.text);
  const std::wstring cut_short = read.substr(read.rfind(L"; ") + 2);
  EXPECT_NE(told.text.find(L"its last address was cut short (\"" + cut_short + L"\")"), std::wstring::npos)
      << Utf8(told.text);
}

// On the other routes too, an address cut short by the reading is left off the mail, and the user is
// told before the mail opens.
TEST_F(MapiTest, ARecipientCutShortIsLeftOffTheMailAndToldBeforeIt) {
  std::wstring setting;
  for (int i = 100; setting.size() < 1100; ++i) setting += L"user" + std::to_wstring(i) + L"@example.com; ";
  WriteRecipient(app_, setting);
  const std::wstring read = setting.substr(0, 1023);
  const std::wstring cut_short = read.substr(read.rfind(L"; ") + 2);
  MapiStandIn client;
  OrvaneProcess run(app_.path());
  ASSERT_TRUE(Confirm(run));
  HWND told = WaitForBox(run, L"The Recipient setting in Orvane.ini", true);
  ASSERT_NE(told, nullptr);
  const desktop::DialogInfo info = desktop::ReadDialog(told);
  EXPECT_NE(info.text.find(L"cut short (\"" + cut_short + L"\")"), std::wstring::npos) << Utf8(info.text);
  EXPECT_TRUE(client.Journal().empty()) << "the mail came before the message";
  desktop::Press(told, IDOK);
  HWND mail = WaitForMailWindow(run);
  ASSERT_NE(mail, nullptr);
  ::PostMessageW(mail, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitForExit(), 0u);
  const auto journal = client.Journal();
  ASSERT_EQ(journal.size(), 1u);
  EXPECT_EQ(journal[0].find("<SMTP:" + Utf8(cut_short) + ">"), std::string::npos) << "the cut address was mailed";
  const std::wstring last_whole = read.substr(0, read.rfind(L"; "));
  EXPECT_NE(journal[0].find("<SMTP:" + Utf8(last_whole.substr(last_whole.rfind(L' ') + 1)) + ">]"), std::string::npos)
      << journal[0];
}

using MapiDeadlineTest = MapiTest;  // on a desktop of its own, as MailDeadlineTest

// A default mail program stuck on its start, showing nothing, is asked about within the start deadline
// (60 s), as the desktop mail program is, even when the user clicks another program's window meanwhile;
// giving up ends the run at once with the file kept, and the helper that made the call with it.
TEST_F(MapiDeadlineTest, ADefaultMailProgramThatNeverComesUpIsAskedAboutAndGivingUpEndsTheRunWithTheFileKept) {
  MapiStandIn client;
  client.Answer(L"Hang");
  SampleWindow other(L"Another program", 200, 100, 500, 320);  // open before the run, as the user's others are
  ASSERT_TRUE(target_.BringToFront());
  OrvaneProcess run(app_.path());
  ASSERT_TRUE(Confirm(run));
  for (int i = 0; i < 300 && HelpersOf(run.id()).empty(); ++i) ::Sleep(50);
  ASSERT_FALSE(HelpersOf(run.id()).empty()) << "no helper makes the call";
  ASSERT_TRUE(other.BringToFront());  // the user clicks another program's window
  HWND question = WaitForBox(run, L"The mail program is not responding.", true, 80000);
  ASSERT_NE(question, nullptr) << "no question: the run waits invisibly";
  const desktop::DialogInfo info = desktop::ReadDialog(question);
  EXPECT_NE(info.text.find(L"The screenshot was saved as " + Shot() + L"."), std::wstring::npos) << Utf8(info.text);
  EXPECT_EQ(info.buttons, (std::vector<int>{IDYES, IDNO}));
  desktop::Press(question, IDNO);
  EXPECT_EQ(run.WaitForExit(20000), 2u);
  EXPECT_TRUE(HelpersOf(run.id()).empty()) << "the helper outlived the run";
  EXPECT_GT(testing_support::DecodeImageFile(Shot()).width, 0u);
}

// The program's folder is writable by design: a library of a system name put there must never run
// inside Orvane, up to and through "Show in folder", where the shell loads libraries of its own.
TEST_F(MapiTest, NoLibraryPlantedInTheProgramsFolderIsLoaded) {
  const wchar_t* const kPlanted[] = {L"dwmapi.dll", L"shcore.dll", L"mapi32.dll", L"uxtheme.dll", L"version.dll",
                                     L"propsys.dll", L"windowscodecs.dll"};
  for (const wchar_t* name : kPlanted)
    ASSERT_TRUE(::CopyFileW((testing_support::BuildFolder() + L"\\planted_marker.dll").c_str(), (app_ / name).c_str(),
                            FALSE));
  const std::vector<HWND> before = desktop::WindowsOf(0);
  OrvaneProcess run(app_.path());
  ASSERT_TRUE(Confirm(run));
  HWND report = WaitForBox(run, L"(Error ");
  ASSERT_NE(report, nullptr);
  desktop::Press(report, IDYES);  // show the screenshot in its folder
  EXPECT_EQ(run.WaitForExit(), 1u);
  for (int i = 0; i < 20; ++i) {  // the folder window, wherever the shell opens it
    SampleWindow::Pump();
    ::Sleep(50);
  }
  for (HWND window : desktop::WindowsOf(0))
    if (std::find(before.begin(), before.end(), window) == before.end()) ::PostMessageW(window, WM_CLOSE, 0, 0);
  for (const wchar_t* name : kPlanted)
    EXPECT_FALSE(testing_support::FileExists(app_ / (std::wstring(name) + L".loaded"))) << Utf8(name) << " was loaded";
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

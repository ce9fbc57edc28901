// A whole run against the mail program stand-in: the journal of calls, the windows, the failures.

#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <functional>
#include <iostream>

#include "driver/frm_capture.h"
#include "mail/outlook_ids.h"
#include "standin/names.h"
#include "support/desktop.h"
#include "support/orvane_process.h"
#include "support/standin.h"
#include "support/temp_folder.h"

namespace {

using desktop::SampleWindow;
using testing_support::OrvaneProcess;
using testing_support::StandIn;
using testing_support::TempFolder;
using Lines = std::vector<std::string>;

using testing_support::Utf8;

class MailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::InstallOrvane(app_.path(), "[Email]\r\nRecipient=arvel@example.com\r\n[KeyCombos]\r\nActivate=F9\r\n");
  }

  // A confirmed run; the dialogs it shows after the question are handed to `on_dialog` (which presses a
  // button) and counted. Returns the exit code.
  DWORD ConfirmedRun(const std::function<void(HWND)>& on_dialog = {}, int* dialogs_after = nullptr,
                     const std::wstring& folder = {}) {
    EXPECT_TRUE(target_.BringToFront());
    OrvaneProcess run(folder.empty() ? app_.path() : folder);
    HWND question = desktop::WaitForDialog(run.id(), 15000, run.handle());
    EXPECT_NE(question, nullptr);
    if (!question) return STILL_ACTIVE;
    desktop::Press(question, IDOK);
    int seen = 0;
    HWND last = question;
    for (;;) {
      HWND dialog = desktop::WaitForDialog(run.id(), 200, run.handle());
      if (::WaitForSingleObject(run.handle(), 0) == WAIT_OBJECT_0) break;
      if (!dialog || dialog == last) continue;
      ++seen;
      last = dialog;
      if (on_dialog) {
        on_dialog(dialog);
      } else {
        std::cerr << "unexpected dialog: " << Utf8(desktop::ReadDialog(dialog).text) << "\n";
        desktop::Press(dialog, IDOK);
      }
    }
    if (dialogs_after) *dialogs_after = seen;
    return run.WaitForExit();
  }

  // A dialog of the run whose text holds `part`, waited for while the run lives; null otherwise.
  static HWND WaitForText(OrvaneProcess& run, const std::wstring& part, DWORD timeout_ms) {
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < timeout_ms;) {
      for (HWND dialog : desktop::WindowsOf(run.id(), L"#32770"))
        if (desktop::ReadDialog(dialog).text.find(part) != std::wstring::npos) return dialog;
      if (::WaitForSingleObject(run.handle(), 0) == WAIT_OBJECT_0) return nullptr;
      desktop::WaitForDialog(run.id(), 200, run.handle());
    }
    return nullptr;
  }

  // Starts a run and confirms its question.
  void StartConfirmed(OrvaneProcess& run) {
    HWND question = desktop::WaitForDialog(run.id(), 15000, run.handle());
    ASSERT_NE(question, nullptr);
    desktop::Press(question, IDOK);
  }

  std::string Shot(int n) { return Utf8(app_ / (L"Screenshot00" + std::to_wstring(n) + L".jpg")); }

  StandIn standin_;
  TempFolder app_{L"orvane-mail"};
  SampleWindow target_{L"Invoice \u2116 42 \u2014 Editor", 300, 160};
  const std::string subject_ = "Screen Capture: " + Utf8(L"Invoice \u2116 42 \u2014 Editor");
};

TEST_F(MailTest, AConfirmedRunOpensAMinimisedInboxThenShowsTheFilledMail) {
  int dialogs = -1;
  ASSERT_EQ(ConfirmedRun({}, &dialogs), 0u);
  EXPECT_EQ(dialogs, 0);
  EXPECT_EQ(standin_.Journal(), (Lines{
                                    "Application.Create",
                                    "_Application.ActiveExplorer method|get () args=0",
                                    "_Application.GetNamespace method|get (\"MAPI\") args=1",
                                    "_NameSpace.GetDefaultFolder method|get (6) args=1",
                                    "MAPIFolder.GetExplorer method|get () args=0",
                                    "_Explorer.Activate method () args=0",
                                    "_Explorer.WindowState put (1) args=1",
                                    "Application.Create",
                                    "_Application.CreateItem method|get (0) args=1",
                                    "_MailItem.Attachments get () args=0",
                                    "Attachments.Add method|get (\"" + Shot(1) + "\") args=1",
                                    "_MailItem.To put (\"arvel@example.com\") args=1",
                                    "_MailItem.Subject put (\"" + subject_ + "\") args=1",
                                    "_MailItem.Display method () args=0",
                                }));
  // Every object the program was handed was let go, the application objects last.
  Lines all = standin_.Journal(true);
  for (const char* object : {"_Explorer", "MAPIFolder", "_NameSpace", "Attachment", "Attachments", "_MailItem"})
    EXPECT_NE(std::find(all.begin(), all.end(), std::string("release ") + object), all.end()) << object;
  EXPECT_EQ(std::count(all.begin(), all.end(), std::string("release _Application")), 2);

  // orvane.exe has ended; the mail window stays open, and so does the minimised Inbox.
  auto mails = StandIn::Windows(standin::names::kMailClass);
  ASSERT_EQ(mails.size(), 1u);
  wchar_t title[512] = {};
  ::GetWindowTextW(mails[0], title, 512);
  EXPECT_EQ(Utf8(title), subject_ + " - Message");
  auto inboxes = StandIn::Windows(standin::names::kExplorerClass);
  ASSERT_EQ(inboxes.size(), 1u);
  EXPECT_TRUE(::IsIconic(inboxes[0]));
}

TEST_F(MailTest, WithAMainWindowOpenNoSecondOneIsOpened) {
  ASSERT_EQ(ConfirmedRun(), 0u);
  standin_.ClearJournal();
  ASSERT_EQ(ConfirmedRun(), 0u);
  Lines journal = standin_.Journal();
  ASSERT_GE(journal.size(), 3u);
  EXPECT_EQ(journal[0], "Application.Create");
  EXPECT_EQ(journal[1], "_Application.ActiveExplorer method|get () args=0");
  EXPECT_EQ(journal[2], "Application.Create");
  EXPECT_EQ(journal.back(), "_MailItem.Display method () args=0");
  EXPECT_EQ(StandIn::Windows(standin::names::kExplorerClass).size(), 1u);
  EXPECT_EQ(StandIn::Windows(standin::names::kMailClass).size(), 2u);
}

TEST_F(MailTest, AnEmptyRecipientSetsAnEmptyToLineWithoutAMessage) {
  testing_support::WriteBytes(app_ / L"Orvane.ini", "[KeyCombos]\r\nActivate=F9\r\n");
  int dialogs = -1;
  ASSERT_EQ(ConfirmedRun({}, &dialogs), 0u);
  EXPECT_EQ(dialogs, 0);
  Lines journal = standin_.Journal();
  EXPECT_NE(std::find(journal.begin(), journal.end(), "_MailItem.To put (\"\") args=1"), journal.end());
  EXPECT_EQ(journal.back(), "_MailItem.Display method () args=0");
}

// A Recipient setting longer than the 1023 characters read: the address it ends in, cut short, is
// not put on the To line (it would reach a stranger), and the user is told before the mail opens.
TEST_F(MailTest, ARecipientCutShortByTheReadingIsLeftOffTheToLineAndToldBeforeTheMail) {
  std::string setting;
  for (int i = 100; setting.size() < 1100; ++i) setting += "user" + std::to_string(i) + "@example.com; ";
  testing_support::WriteBytes(app_ / L"Orvane.ini", "[Email]\r\nRecipient=" + setting + "\r\n[KeyCombos]\r\nActivate=F9\r\n");
  const std::string read = setting.substr(0, 1023);
  const std::string kept = read.substr(0, read.rfind("; ") + 1);
  const std::string cut_short = read.substr(read.rfind("; ") + 2);
  desktop::DialogInfo told;
  size_t journal_then = 0;
  int dialogs = 0;
  ASSERT_EQ(ConfirmedRun(
                [&](HWND dialog) {
                  told = desktop::ReadDialog(dialog);
                  journal_then = standin_.Journal().size();
                  desktop::Press(dialog, IDOK);
                },
                &dialogs),
            0u);
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(told.text, L"The Recipient setting in Orvane.ini is longer than the 1023 characters Orvane reads, so its "
                       L"last address was cut short (\"" + std::wstring(cut_short.begin(), cut_short.end()) +
                           L"\") and is left out of the mail. Add that address to the mail yourself, and shorten the "
                           L"setting.");
  EXPECT_EQ(told.icon, L"exclamation");
  Lines journal = standin_.Journal();
  EXPECT_NE(std::find(journal.begin(), journal.end(), "_MailItem.To put (\"" + kept + "\") args=1"), journal.end());
  const auto created = std::find(journal.begin(), journal.end(), "_Application.CreateItem method|get (0) args=1");
  ASSERT_NE(created, journal.end());
  EXPECT_LE(journal_then, static_cast<size_t>(created - journal.begin())) << "the mail was made before the message";
}

TEST_F(MailTest, AFailingAttachmentIsToldWithTheSavedFileAndStopsFillingIn) {
  standin_.FailAt(L"Attachments.Add");
  int dialogs = 0;
  desktop::DialogInfo message;
  ASSERT_EQ(ConfirmedRun(
                [&](HWND dialog) {
                  message = desktop::ReadDialog(dialog);
                  desktop::Press(dialog, IDNO);
                },
                &dialogs),
            1u);
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(message.caption, L"Orvane");
  EXPECT_EQ(
      message.text.rfind(L"Problem creating email message\r\n\r\nThe mail program made the new mail but did "
                         L"not take the screenshot as its attachment, so no mail was opened. Attach the "
                         L"screenshot to a new mail yourself.\r\n\r\n",
                         0),
      0u)
      << Utf8(message.text);
  EXPECT_NE(message.text.find(L"\r\n\r\nThe screenshot was saved as " + app_ / L"Screenshot001.jpg" +
                              L".\r\n\r\n(Error -2147467259: The stand-in was told to fail at Attachments.Add."),
            std::wstring::npos)
      << Utf8(message.text);
  EXPECT_NE(message.text.find(L")\r\n\r\nShow the screenshot in its folder?"), std::wstring::npos);
  EXPECT_EQ(message.buttons, (std::vector<int>{IDYES, IDNO}));
  EXPECT_EQ(message.icon, L"exclamation");  // the screenshot was saved
  // Owned by the hidden topmost form, so it stays in front of the mail program's windows.
  EXPECT_EQ(message.owner_class, frmCapture::kClassName);
  EXPECT_TRUE(message.owner_topmost);
  Lines journal = standin_.Journal();
  EXPECT_EQ(journal.back(), "Attachments.Add method|get (\"" + Shot(1) + "\") args=1");
  EXPECT_TRUE(StandIn::Windows(standin::names::kMailClass).empty());
  Lines all = standin_.Journal(true);
  EXPECT_NE(std::find(all.begin(), all.end(), "release _MailItem"), all.end());
}

// Whichever step of filling in fails, the report says what became of the mail, and it matches what the
// mail program shows: no mail window unless the mail was displayed.
TEST_F(MailTest, EachFillingStepThatFailsIsToldAsItHappened) {
  struct Step {
    const wchar_t* step;
    const wchar_t* says;
  };
  const Step steps[] = {
      {L"To", L"The mail program took the screenshot but not the recipient, so no mail was opened."},
      {L"Subject",
       L"The mail program took the screenshot and the recipient but not the subject, so no mail was "
       L"opened."},
      {L"Display",
       L"The mail program filled in the new mail but could not show it. If no mail window opened, "
       L"attach the screenshot to a new mail yourself."},
  };
  for (const Step& step : steps) {
    standin_.FailAt(step.step);
    standin_.ClearJournal();
    std::wstring text;
    EXPECT_EQ(ConfirmedRun([&](HWND dialog) {
                text = desktop::ReadDialog(dialog).text;
                desktop::Press(dialog, IDNO);
              }),
              1u);
    EXPECT_EQ(text.rfind(L"Problem creating email message\r\n\r\n" + std::wstring(step.says), 0), 0u)
        << Utf8(text);
    const Lines journal = standin_.Journal();
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.back().rfind("_MailItem." + Utf8(step.step) + " ", 0), 0u) << journal.back();
    EXPECT_TRUE(StandIn::Windows(standin::names::kMailClass).empty()) << Utf8(step.step);
  }
}

// A mail program closed or killed while it makes the mail answers the call with "the remote procedure
// call failed": that is told as a mail program busy or closed, as every such failure is.
TEST_F(MailTest, AMailProgramClosedWhileItMakesTheMailIsToldAsBusyOrClosed) {
  standin_.FailAt(L"CreateItem", HRESULT_FROM_WIN32(RPC_S_CALL_FAILED));
  desktop::DialogInfo report;
  EXPECT_EQ(ConfirmedRun([&](HWND dialog) {
              report = desktop::ReadDialog(dialog);
              desktop::Press(dialog, IDNO);
            }),
            1u);
  EXPECT_EQ(
      report.text.rfind(L"Outlook was busy, or was closed while Orvane was handing it the mail. Wait until "
                        L"Outlook has started and close its open dialogs, then press F9 again.\r\n\r\nThe "
                        L"screenshot was saved as " +
                            app_ / L"Screenshot001.jpg" + L".\r\n\r\n(Error -2147023170: ",
                        0),
      0u)
      << Utf8(report.text);
  EXPECT_EQ(report.text.find(L"dialog of its own"), std::wstring::npos);
  EXPECT_EQ(standin_.Journal().back(), "_Application.CreateItem method|get (0) args=1");
}

TEST_F(MailTest, AMailThatCannotBeCreatedIsToldWithTheSavedFileAndFailsTheRun) {
  int run = 0;
  for (const wchar_t* step : {L"CreateItem", L"CreateItem:NotMail"}) {
    standin_.FailAt(step);
    standin_.ClearJournal();
    int dialogs = -1;
    desktop::DialogInfo message;
    EXPECT_EQ(ConfirmedRun(
                  [&](HWND dialog) {
                    message = desktop::ReadDialog(dialog);
                    desktop::Press(dialog, IDNO);
                  },
                  &dialogs),
              1u)
        << Utf8(step);
    ++run;
    EXPECT_EQ(dialogs, 1) << Utf8(step);
    EXPECT_EQ(message.text.rfind(L"The mail program could not create the new mail. Check that Outlook is not showing "
                                 L"a dialog of its own, and attach the screenshot to a new mail yourself.\r\n\r\n"
                                 L"The screenshot was saved as " +
                                     app_ / (L"Screenshot00" + std::to_wstring(run) + L".jpg") + L".\r\n\r\n(Error ",
                                 0),
              0u)
        << Utf8(message.text);
    EXPECT_NE(message.text.find(L"Show the screenshot in its folder?"), std::wstring::npos);
    EXPECT_EQ(message.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(message.icon, L"exclamation");
    EXPECT_EQ(message.owner_class, frmCapture::kClassName);
    Lines journal = standin_.Journal();
    EXPECT_EQ(journal.back(), "_Application.CreateItem method|get (0) args=1") << Utf8(step);
    EXPECT_TRUE(StandIn::Windows(standin::names::kMailClass).empty());
  }
  EXPECT_TRUE(testing_support::FileExists(app_ / L"Screenshot002.jpg"));
}

TEST_F(MailTest, AFailureWhileOpeningTheInboxEndsTheRunWithItsNumberAndDescription) {
  standin_.FailAt(L"Activate");
  desktop::DialogInfo report;
  int dialogs = 0;
  DWORD code = ConfirmedRun(
      [&](HWND dialog) {
        report = desktop::ReadDialog(dialog);
        desktop::Press(dialog, IDNO);  // not shown in its folder
      },
      &dialogs);
  EXPECT_EQ(code, 1u);
  EXPECT_EQ(dialogs, 1);
  // In plain words, where the file is, then the error as the mail program raised it; and the offer.
  EXPECT_EQ(report.text, L"Orvane could not finish. The error below says what went wrong.\r\n\r\nThe screenshot "
                         L"was saved as " + app_ / L"Screenshot001.jpg" +
                             L".\r\n\r\n(Error -2147467259: The stand-in was told to fail at Activate.)"
                             L"\r\n\r\nShow the screenshot in its folder?");
  EXPECT_EQ(report.buttons, (std::vector<int>{IDYES, IDNO}));
  Lines journal = standin_.Journal();
  EXPECT_EQ(journal.back(), "_Explorer.Activate method () args=0");  // no mail was composed
  Lines all = standin_.Journal(true);
  for (const char* object : {"release _Explorer", "release MAPIFolder", "release _NameSpace", "release _Application"})
    EXPECT_NE(std::find(all.begin(), all.end(), object), all.end()) << object;
  EXPECT_TRUE(testing_support::FileExists(app_ / L"Screenshot001.jpg"));
}

TEST_F(MailTest, WithoutARegisteredMailProgramTheRunReportsTheErrorAndSendsNothing) {
  ASSERT_EQ(StandIn::Run(L"/UnregServer"), 0);
  // Registrations in other prefixes share the stand-in's type library file: unregistering keeps it.
  EXPECT_TRUE(testing_support::FileExists(testing_support::BuildFolder() + L"\\outlook_standin.tlb"));
  desktop::DialogInfo report;
  DWORD code = ConfirmedRun([&](HWND dialog) {
    report = desktop::ReadDialog(dialog);
    desktop::Press(dialog, IDNO);
  });
  EXPECT_EQ(code, 1u);
  // No default mail program is registered either (see the Simple MAPI tests for one that is).
  EXPECT_EQ(report.text.rfind(L"There is no mail program to open the mail with", 0), 0u) << Utf8(report.text);
  EXPECT_NE(report.text.find(L"then press F9 again."), std::wstring::npos) << Utf8(report.text);
  EXPECT_NE(report.text.find(L"(Error -2147221164: Class not registered)"), std::wstring::npos) << Utf8(report.text);
  EXPECT_EQ(report.buttons, (std::vector<int>{IDYES, IDNO}));
  EXPECT_NE(report.text.find(L"saved as " + app_ / L"Screenshot001.jpg"), std::wstring::npos);
  EXPECT_TRUE(standin_.Journal().empty());
}

// A mail program that stops answering: the user is told within the deadline (30 s for a call, 60 s to
// come up), with the saved file named, and decides.
// The runs that wait out the real deadlines, one for each way the mail program can stop answering: they
// run on a desktop of their own (tests/CMakeLists.txt). Waiting longer, and the deadlines themselves,
// are tested with shorter ones in the unit tests.
using MailDeadlineTest = MailTest;

TEST_F(MailDeadlineTest, AMailProgramThatNeverComesUpIsToldAndGivingUpEndsTheRunWithTheFileKept) {
  standin_.HangAt(L"CreateObject");  // its process runs but never hands out the application object
  ASSERT_TRUE(target_.BringToFront());
  OrvaneProcess run(app_.path());
  StartConfirmed(run);
  const DWORD asked_at = ::GetTickCount();
  HWND message = WaitForText(run, L"not responding", 80000);
  ASSERT_NE(message, nullptr) << "no word within the deadline";
  EXPECT_GE(::GetTickCount() - asked_at, 55000u);  // not before the deadline
  const desktop::DialogInfo info = desktop::ReadDialog(message);
  EXPECT_EQ(info.caption, L"Orvane");
  EXPECT_NE(info.text.find(L"The screenshot was saved as " + app_ / L"Screenshot001.jpg" + L"."), std::wstring::npos)
      << Utf8(info.text);
  EXPECT_EQ(info.buttons, (std::vector<int>{IDYES, IDNO}));
  desktop::Press(message, IDNO);  // give up
  EXPECT_EQ(run.WaitForExit(15000), 2u);
  EXPECT_TRUE(testing_support::FileExists(app_ / L"Screenshot001.jpg"));
}

TEST_F(MailDeadlineTest, AMailProgramHangingInACallIsToldAndGivingUpEndsTheRunWithoutAnotherWord) {
  standin_.HangAt(L"Attachments");
  ASSERT_TRUE(target_.BringToFront());
  OrvaneProcess run(app_.path());
  StartConfirmed(run);
  HWND message = WaitForText(run, L"not responding", 50000);
  ASSERT_NE(message, nullptr);
  desktop::Press(message, IDNO);
  for (int i = 0; i < 250 && ::IsWindow(message); ++i) desktop::WaitForDialog(run.id(), 20, run.handle());
  // No "Problem creating email message", no report: the user chose this.
  EXPECT_EQ(WaitForText(run, L"", 3000), nullptr);
  EXPECT_EQ(run.WaitForExit(15000), 2u);
  EXPECT_TRUE(testing_support::FileExists(app_ / L"Screenshot001.jpg"));
}

// A second press while the first run waits for a slow mail program finds that run's hidden form in
// front and nothing of it to see: it says so, takes no picture, and its word goes once the first run
// has shown the mail.
TEST_F(MailTest, ASecondPressWhileTheMailProgramIsSlowSaysOrvaneIsStillOpeningTheMail) {
  standin_.HangAt(L"CreateObject", 8000);
  ASSERT_TRUE(target_.BringToFront());
  OrvaneProcess first(app_.path());
  StartConfirmed(first);
  // The question has gone; its hidden owner is what is left in front while the mail program is slow.
  HWND form = nullptr;
  for (int i = 0; i < 200 && !form; ++i) {
    desktop::WaitForDialog(first.id(), 10, first.handle());
    HWND front = ::GetForegroundWindow();
    DWORD process = 0;
    ::GetWindowThreadProcessId(front, &process);
    wchar_t name[64] = {};
    ::GetClassNameW(front, name, 64);
    if (process == first.id() && std::wstring(name) == frmCapture::kClassName) form = front;
  }
  ASSERT_NE(form, nullptr) << "the first run's form never came to the front";

  OrvaneProcess second(app_.path());
  ASSERT_TRUE(second.started());
  HWND message = WaitForText(second, L"still opening", 5000);
  ASSERT_NE(message, nullptr) << "the second press showed nothing";
  const desktop::DialogInfo info = desktop::ReadDialog(message);
  EXPECT_EQ(info.caption, L"Orvane");
  EXPECT_EQ(info.text,
            L"Orvane is still opening the mail for your last screenshot: the mail program has not finished "
            L"yet. Wait for the new mail to appear. If the mail program does not answer, Orvane will tell "
            L"you.");
  EXPECT_EQ(info.buttons, (std::vector<int>{IDOK}));
  EXPECT_EQ(info.icon, L"information");
  EXPECT_TRUE(info.owner_topmost);
  EXPECT_EQ(::GetForegroundWindow(), message);

  // The mail program comes up: the first run shows the mail and ends, and the word goes by itself.
  EXPECT_EQ(first.WaitForExit(30000), 0u);
  EXPECT_EQ(second.WaitForExit(10000), 0u);
  EXPECT_EQ(standin_.Journal().back(), "_MailItem.Display method () args=0");
  EXPECT_EQ(StandIn::Windows(standin::names::kMailClass).size(), 1u);
  EXPECT_EQ(testing_support::ListFolder(app_.path()), L"Orvane.ini,Screenshot001.jpg,orvane.exe");
}

TEST_F(MailTest, CancelNeverStartsTheMailProgram) {
  ASSERT_TRUE(target_.BringToFront());
  OrvaneProcess run(app_.path());
  HWND question = desktop::WaitForDialog(run.id(), 15000, run.handle());
  ASSERT_NE(question, nullptr);
  desktop::Press(question, IDCANCEL);
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_TRUE(standin_.Journal(true).empty());
}

// Wine's COM re-sends calls a server turns away without asking the caller's filter, so here this shows
// the run surviving a busy server; the filter's own decisions are tested in the unit tests.
TEST_F(MailTest, AMailProgramStillStartingIsWaitedForRatherThanReportedAsAnError) {
  standin_.BusyFor(3000);
  int dialogs = -1;
  ASSERT_EQ(ConfirmedRun({}, &dialogs), 0u);
  EXPECT_EQ(dialogs, 0);
  Lines journal = standin_.Journal();
  EXPECT_NE(std::find(journal.begin(), journal.end(), "busy: call turned away"), journal.end());
  journal.erase(std::remove(journal.begin(), journal.end(), "busy: call turned away"), journal.end());
  EXPECT_EQ(journal.back(), "_MailItem.Display method () args=0");
  EXPECT_EQ(StandIn::Windows(standin::names::kMailClass).size(), 1u);
}

TEST_F(MailTest, AFolderWithCharactersOutsideTheCodePageWorksThroughAndNothingIsWrittenElsewhere) {
  TempFolder parent(L"orvane-unicode");
  const std::wstring folder = parent / L"\u0421\u043d\u0438\u043c\u043a\u0438 \u5199\u771f";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  testing_support::InstallOrvane(folder, "[Email]\r\nRecipient=arvel@example.com\r\n");
  wchar_t temp[MAX_PATH + 1];
  const std::wstring temp_folder(temp, ::GetTempPathW(MAX_PATH + 1, temp));
  const std::wstring temp_before = testing_support::ListFolder(temp_folder);
  const std::wstring parent_before = testing_support::ListFolder(parent.path());

  std::wstring report;
  ASSERT_EQ(ConfirmedRun([&](HWND d) { report = desktop::ReadDialog(d).text; desktop::Press(d, IDOK); }, nullptr, folder), 0u) << Utf8(report);
  EXPECT_EQ(testing_support::ListFolder(folder), L"Orvane.ini,Screenshot001.jpg,orvane.exe");
  Lines journal = standin_.Journal();
  EXPECT_NE(std::find(journal.begin(), journal.end(),
                      "Attachments.Add method|get (\"" + Utf8(folder + L"\\Screenshot001.jpg") + "\") args=1"),
            journal.end());
  EXPECT_EQ(testing_support::ListFolder(parent.path()), parent_before);
  // The journal is the stand-in's; the program itself leaves nothing in the temporary folder.
  auto without_journals = [](std::wstring listing) {
    std::wstring kept;
    for (size_t start = 0; start < listing.size();) {
      size_t comma = listing.find(L',', start);
      std::wstring name = listing.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
      if (name.rfind(L"standin-journal-", 0) != 0) kept += (kept.empty() ? L"" : L",") + name;
      if (comma == std::wstring::npos) break;
      start = comma + 1;
    }
    return kept;
  };
  EXPECT_EQ(without_journals(testing_support::ListFolder(temp_folder)), without_journals(temp_before));
}

TEST(StandInRegistration, RefusesToRegisterOverAnotherMailProgram) {
  StandIn::Shutdown();
  ASSERT_EQ(StandIn::Run(L"/UnregServer"), 0);
  wchar_t clsid[64] = {};
  ASSERT_GT(::StringFromGUID2(outlook::kClsidApplication, clsid, 64), 0);
  const std::wstring class_key = std::wstring(L"CLSID\\") + clsid;
  const std::wstring server_key = class_key + L"\\LocalServer32";
  const wchar_t* key = server_key.c_str();
  const wchar_t other[] = L"C:\\Program Files\\Mail\\OUTLOOK.EXE";
  ASSERT_EQ(::RegSetKeyValueW(HKEY_CLASSES_ROOT, key, nullptr, REG_SZ, other, sizeof other), ERROR_SUCCESS);
  EXPECT_EQ(StandIn::Run(L"/RegServer"), 3);
  wchar_t value[256] = {};
  DWORD size = sizeof value;
  ASSERT_EQ(::RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, value, &size), ERROR_SUCCESS);
  EXPECT_STREQ(value, other);
  EXPECT_EQ(StandIn::Run(L"/UnregServer"), 0);  // and it does not remove what is not its own
  size = sizeof value;
  EXPECT_EQ(::RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, value, &size), ERROR_SUCCESS);
  ::RegDeleteTreeW(HKEY_CLASSES_ROOT, class_key.c_str());
  EXPECT_EQ(StandIn::Run(L"/RegServer"), 0);
}

}  // namespace

namespace {

// Fifty clients, half of them still holding the application object: one /Quit ends the server, and
// says so only once it has ended.
TEST(StandInQuit, OneQuitEndsTheServerAfterFiftyClients) {
  StandIn standin;
  HRESULT apartment = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const CLSID application = outlook::kClsidApplication;
  std::vector<IUnknown*> held;
  for (int client = 0; client < 50; ++client) {
    IUnknown* object = nullptr;
    ASSERT_EQ(::CoCreateInstance(application, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK)
        << "client " << client;
    if (client % 2) {
      object->Release();
    } else {
      held.push_back(object);
    }
  }
  ASSERT_EQ(StandIn::Windows(standin::names::kControlClass).size(), 1u);
  EXPECT_EQ(StandIn::Run(L"/Quit"), 0);
  EXPECT_TRUE(StandIn::Windows(standin::names::kControlClass).empty()) << "the server outlived the first /Quit";
  for (IUnknown* object : held) object->Release();  // to a server that has gone: answered at once
  if (SUCCEEDED(apartment)) ::CoUninitialize();
}

}  // namespace

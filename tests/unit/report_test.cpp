// The texts a user reads when a run cannot end as planned, and the recipients a mail program is given.

#include <gtest/gtest.h>

#include "driver/report.h"
#include "driver/window_in_front.h"
#include "jpeg/jpeg_writer.h"
#include "platform/ijl/ijl.h"
#include "mail/mapi_w.h"
#include "mail/simple_mapi.h"
#include "platform/runtime/win_error.h"

namespace {

using mail::Recipient;
using mail::SplitRecipients;

std::vector<std::wstring> Flat(const std::vector<Recipient>& recipients) {
  std::vector<std::wstring> out;
  for (const Recipient& r : recipients) out.push_back(r.name + L"|" + r.address);
  return out;
}

TEST(Recipients, AreSplitAtSemicolonsWithNamesAndStrayBlanksAndEmptyPartsDropped) {
  EXPECT_TRUE(SplitRecipients(L"").empty());
  EXPECT_TRUE(SplitRecipients(L" ; ;; ").empty());
  EXPECT_EQ(Flat(SplitRecipients(L"arvel@example.com")), (std::vector<std::wstring>{L"|arvel@example.com"}));
  EXPECT_EQ(Flat(SplitRecipients(L";  a@x.org ;b@y.org;")), (std::vector<std::wstring>{L"|a@x.org", L"|b@y.org"}));
  EXPECT_EQ(Flat(SplitRecipients(L"Arvel Quist <arvel@example.com>; \"Desk, Help\" <help@example.com> ")),
            (std::vector<std::wstring>{L"Arvel Quist|arvel@example.com", L"Desk, Help|help@example.com"}));
  // A name without an address is no recipient; brackets that do not close the part are part of it.
  EXPECT_TRUE(SplitRecipients(L"Nobody <>").empty());
  EXPECT_EQ(Flat(SplitRecipients(L"odd<one@x.org")), (std::vector<std::wstring>{L"|odd<one@x.org"}));
  EXPECT_EQ(Flat(SplitRecipients(L"<bare@x.org>")), (std::vector<std::wstring>{L"|bare@x.org"}));
}

TEST(Recipients, ASemicolonInsideAQuotedNameBelongsToTheName) {
  EXPECT_EQ(Flat(SplitRecipients(L"\"Quist; Arvel\" <arvel@example.com>; desk@example.com")),
            (std::vector<std::wstring>{L"Quist; Arvel|arvel@example.com", L"|desk@example.com"}));
  // An escaped quotation mark does not end the quotes.
  EXPECT_EQ(Flat(SplitRecipients(L"\"Arvel \\\"AQ; Q\\\" Quist\" <a@x.org>;b@y.org")).size(), 2u);
  // Quotation marks that do not pair up are no quotes: every semicolon separates.
  EXPECT_EQ(Flat(SplitRecipients(L"O\"Brien <o@x.org>; desk@x.org")),
            (std::vector<std::wstring>{L"O\"Brien|o@x.org", L"|desk@x.org"}));
  EXPECT_EQ(Flat(SplitRecipients(L"a@x.org;")), (std::vector<std::wstring>{L"|a@x.org"}));
}

using modMain::FailureKind;
using modMain::RunFailure;

const rt::Error kClassNotRegistered = rt::HresultError(REGDB_E_CLASSNOTREG, L"orvane");

TEST(Report, WithTheFileSavedTheNextStepThenTheFileThenTheNumberAndTheFolderOfferUnderAnExclamation) {
  EXPECT_EQ(kClassNotRegistered.description(), L"Class not registered");
  const modMain::Report report = modMain::ReportOf(
      RunFailure(FailureKind::kMailProgramMissing, kClassNotRegistered, L"C:\\Orvane\\Screenshot004.jpg"), L"F9");
  EXPECT_EQ(report.text,
            L"There is no mail program to open the mail with: the desktop Outlook, which Orvane drives, is not "
            L"installed, and no other mail program is set up on this computer. Choose a mail program under Settings > "
            L"Apps > Default apps, then press F9 again.\r\n\r\nThe screenshot was saved as "
            L"C:\\Orvane\\Screenshot004.jpg.\r\n\r\n(Error -2147221164: Class not registered)\r\n\r\nShow the "
            L"screenshot in its folder?");
  EXPECT_EQ(report.style, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION));
}

TEST(Report, WithNothingSavedItSaysSoUnderTheErrorIconWithOnlyOk) {
  const modMain::Report report = modMain::ReportOf(
      RunFailure(FailureKind::kFileNotWritten,
                 rt::Error(mIntelJPEGLibrary::kErrJpeg, L"orvane.mIntelJPEGLibrary", L"Failed to save to JPG -6")),
      L"Ctrl+Alt+S");
  EXPECT_EQ(report.text,
            L"The screenshot could not be written into Orvane's folder: the folder may be read-only, full or gone. "
            L"Make the folder writable or free some space, then press Ctrl+Alt+S again.\r\n\r\nThe screenshot was "
            L"not saved.\r\n\r\n(Error 26001: Failed to save to JPG -6)");
  EXPECT_EQ(report.style, static_cast<UINT>(MB_OK | MB_ICONERROR));
}

TEST(Report, EachKindSaysWhatToDoAndNamesTheShortcutAndTheMailProgram) {
  const rt::Error any(5, L"orvane", L"Something");
  struct Case {
    RunFailure failure;
    const wchar_t* says;
  };
  const Case cases[] = {
      {RunFailure(FailureKind::kMailProgramDidNotStart, any), L"Outlook did not start in time. Start Outlook yourself"},
      {RunFailure(FailureKind::kMailProgramRefused, any, L"", L"Mozilla Thunderbird"),
       L"Open Mozilla Thunderbird once to finish its set-up, then press F9 again."},
      {RunFailure(FailureKind::kMailProgramRefused, any), L"Open your mail program once"},
      {RunFailure(FailureKind::kMailProgramCrashed, any, L"", L"Mozilla Thunderbird"),
       L"failed while it was opening the new mail. Open Mozilla Thunderbird and attach the screenshot"},
      {RunFailure(FailureKind::kMailProgramCrashed, any), L"Open your mail program and attach"},
      {RunFailure(FailureKind::kMailProgramUnreachable, any), L"Start both the same way, then press F9 again."},
      {RunFailure(FailureKind::kMailProgramBusy, any), L"close its open dialogs, then press F9 again."},
      {RunFailure(FailureKind::kMailItemRefused, any), L"attach the screenshot to a new mail yourself."},
      {RunFailure(FailureKind::kMailLinkNotOpened, any), L"paste it into a new mail with Ctrl+V."},
      {RunFailure(FailureKind::kWindowTooLarge, any), L"it is too large for a picture. Make it smaller, then press F9"},
      {RunFailure(FailureKind::kOutOfMemory, any), L"not enough memory to make the picture. Close some programs"},
      {RunFailure(FailureKind::kOutOfMemory, any, L"C:\\a\\Screenshot001.jpg"), L"not enough memory to finish the mail."},
      {RunFailure(FailureKind::kNamesTaken, any), L"Move old screenshots out of Orvane's folder, then press F9 again."},
      {RunFailure(FailureKind::kOther, any), L"Orvane could not finish."},
  };
  for (const Case& c : cases) {
    const std::wstring text = modMain::WhatHappened(c.failure, L"F9");
    EXPECT_NE(text.find(c.says), std::wstring::npos) << testing::PrintToString(text);
  }
  EXPECT_NE(modMain::WhatHappened(RunFailure(FailureKind::kMailProgramBusy, any), L"").find(L"dialogs, then try again."),
            std::wstring::npos);
}

TEST(Report, ProblemCreatingEmailMessageStaysTheFirstLine) {
  const modMain::Report report = modMain::ReportOf(
      RunFailure(FailureKind::kMailNotFilledIn, rt::Error(-2147467259, L"orvane", L"no"), L"C:\\a\\Screenshot001.jpg"),
      L"F9");
  EXPECT_EQ(report.text.rfind(L"Problem creating email message\r\n\r\n", 0), 0u);
  EXPECT_NE(report.text.find(L"\r\n\r\nThe screenshot was saved as C:\\a\\Screenshot001.jpg.\r\n\r\n(Error "
                             L"-2147467259: no)\r\n\r\nShow the screenshot in its folder?"),
            std::wstring::npos);
}

// The words follow what happened, never the wording of the error.
TEST(FailureKinds, FollowTheCodeOfAMailFailureAndTheStepOfAWriteFailure) {
  EXPECT_EQ(modMain::KindOfMailFailure(kClassNotRegistered), FailureKind::kMailProgramMissing);
  EXPECT_EQ(modMain::KindOfMailFailure(rt::HresultError(CO_E_SERVER_EXEC_FAILURE, L"o")),
            FailureKind::kMailProgramUnreachable);
  for (HRESULT busy : {RPC_E_CALL_REJECTED, RPC_E_DISCONNECTED, HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE),
                       static_cast<HRESULT>(0x800706BE), static_cast<HRESULT>(0x800706BF)})
    EXPECT_EQ(modMain::KindOfMailFailure(rt::HresultError(busy, L"o")), FailureKind::kMailProgramBusy) << busy;
  EXPECT_EQ(modMain::KindOfMailFailure(rt::HresultError(E_OUTOFMEMORY, L"o")), FailureKind::kOutOfMemory);
  EXPECT_EQ(modMain::KindOfMailFailure(rt::HresultError(E_FAIL, L"o")), FailureKind::kOther);

  const rt::Error jpeg(mIntelJPEGLibrary::kErrJpeg, L"orvane.mIntelJPEGLibrary", L"...");
  using mIntelJPEGLibrary::JpegError;
  EXPECT_EQ(modMain::KindOfWriteFailure(JpegError(jpeg, IJL_INVALID_PROPERTIES, true)), FailureKind::kOutOfMemory);
  EXPECT_EQ(modMain::KindOfWriteFailure(JpegError(jpeg, IJL_MEMORY_ERROR, false)), FailureKind::kOutOfMemory);
  EXPECT_EQ(modMain::KindOfWriteFailure(JpegError(jpeg, IJL_BAD_DIB, false)), FailureKind::kWindowTooLarge);
  EXPECT_EQ(modMain::KindOfWriteFailure(JpegError(jpeg, IJL_FILE_CREATE_FAILED, false)), FailureKind::kFileNotWritten);
  EXPECT_EQ(modMain::KindOfWriteFailure(JpegError(jpeg, IJL_WRITE_FAILED, false)), FailureKind::kFileNotWritten);
  // Refused, gone or locked once the temporary file existed: nothing was being replaced.
  for (long number : {rt::kErrPermissionDenied, rt::kErrFileNotFound, rt::kErrPathFileAccess})
    EXPECT_EQ(modMain::KindOfWriteFailure(rt::Error(number, L"orvane", L"x")), FailureKind::kFileNotWritten);
  EXPECT_EQ(modMain::KindOfWriteFailure(rt::Error(rt::kErrOutOfMemory, L"orvane", L"x")), FailureKind::kOutOfMemory);
}

TEST(ExitCodes, DoneAndCancelledAreZeroFailedOneGivenUpTwo) {
  using Kind = modMain::Outcome::Kind;
  EXPECT_EQ(modMain::ExitCode({Kind::kDone, L""}), 0);
  EXPECT_EQ(modMain::ExitCode({Kind::kCancelled, L""}), 0);
  EXPECT_EQ(modMain::ExitCode({Kind::kFailed, L"x"}), 1);
  EXPECT_EQ(modMain::ExitCode({Kind::kGaveUp, L"x"}), 2);
}

TEST(MapiCodes, ReadAsTheirNames) {
  // Codes the system has no text for under every Windows still read as words.
  EXPECT_EQ(rt::HresultError(CO_E_SERVER_EXEC_FAILURE, L"x").description().empty(), false);
  EXPECT_EQ(mail::MapiCodeName(2), L"MAPI_E_FAILURE (2)");
  EXPECT_EQ(mail::MapiCodeName(7), L"code 7");
  EXPECT_EQ(mail::MapiCodeName(400), L"code 400");
}

TEST(Question, LeavesOutTheShortcutSentenceWithoutAName) {
  EXPECT_EQ(modMain::QuestionText(L"Ctrl+Alt+S"),
            L"You have pressed Ctrl+Alt+S.\r\n\r\nAre you sure you want to e-mail a screenshot of the current window "
            L"Arvel?");
  EXPECT_EQ(modMain::QuestionText(L""), L"Are you sure you want to e-mail a screenshot of the current window Arvel?");
}

TEST(NothingInFront, NamesTheShortcutToPressAgainAndLeavesItOutWithoutAName) {
  EXPECT_EQ(modMain::NothingInFrontText(L"Ctrl+Alt+S"),
            L"There is no window in front to take a picture of. Click the window you want, then press Ctrl+Alt+S "
            L"again.");
  EXPECT_EQ(modMain::NothingInFrontText(L""),
            L"There is no window in front to take a picture of. Click the window you want.");
}

TEST(MailProgramCommand, IsTheQuotedExecutableOrTheTextUpToExe) {
  EXPECT_EQ(mail::ProgramOfCommand(L"\"C:\\Program Files\\Mozilla Thunderbird\\thunderbird.exe\" -mail"),
            L"C:\\Program Files\\Mozilla Thunderbird\\thunderbird.exe");
  EXPECT_EQ(mail::ProgramOfCommand(L"  C:\\Program Files\\eM Client\\MailClient.EXE /mailurl:%1"),
            L"C:\\Program Files\\eM Client\\MailClient.EXE");
  EXPECT_EQ(mail::ProgramOfCommand(L"%ProgramFiles%\\Mail\\mail.exe"), L"%ProgramFiles%\\Mail\\mail.exe");
  EXPECT_EQ(mail::ProgramOfCommand(L"rundll32 mail.dll,Open"), L"rundll32");
  EXPECT_EQ(mail::ProgramOfCommand(L"\"C:\\unterminated"), L"C:\\unterminated");
  EXPECT_EQ(mail::ProgramOfCommand(L""), L"");
}

}  // namespace

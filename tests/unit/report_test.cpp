// The texts a user reads when a run cannot end as planned.

#include <gtest/gtest.h>

#include "driver/report.h"
#include "driver/window_in_front.h"
#include "jpeg/jpeg_writer.h"
#include "platform/runtime/win_error.h"

namespace {

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
      {RunFailure(FailureKind::kMailLinkNotOpenedNoClipboard, any), L"Attach the screenshot to a new mail yourself."},
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

// A picture written but neither moved into place nor removed: the report names the file it is in and
// offers to show it, instead of saying that nothing was saved.
TEST(Report, APictureLeftUnderItsTemporaryNameIsNamedAndOfferedInItsFolder) {
  const mIntelJPEGLibrary::NotMovedIntoPlace left(
      rt::Error(rt::kErrPermissionDenied, L"orvane", L"Permission denied"), L"C:\\Orvane\\~orv0badf00d.tmp");
  const RunFailure failure = left;
  EXPECT_EQ(failure.SavedAs(L"").leftover(), L"C:\\Orvane\\~orv0badf00d.tmp");  // kept as the run goes on
  const modMain::Report report = modMain::ReportOf(failure.SavedAs(L""), L"Ctrl+Alt+S");
  EXPECT_EQ(
      report.text,
      L"The screenshot was written, but Orvane could neither give it its name in its folder nor remove it: "
      L"the folder may let programs add files but not rename or delete them. Make the folder writable, then "
      L"press Ctrl+Alt+S again.\r\n\r\nThe screenshot was left as C:\\Orvane\\~orv0badf00d.tmp (a JPEG "
      L"picture: rename it to end in .jpg to open it).\r\n\r\n(Error 70: Permission denied)\r\n\r\nShow the "
      L"screenshot in its folder?");
  EXPECT_EQ(report.style, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION));
}

// Whether the clipboard took the picture, and whether the link opened, in every combination: the
// message before the link and the report after it never say the picture is on the clipboard when it
// is not, and never leave out what the new mail lacks.
TEST(LinkMessages, SayWhereThePictureIsAndWhatTheMailLacksInEveryCase) {
  const std::wstring shot = L"C:\\a\\Screenshot001.jpg";
  const std::wstring on = modMain::LinkMessageText(true, shot, {}, L"");
  EXPECT_EQ(on, L"Your mail program cannot take the picture from Orvane, so it is on the clipboard: paste it into the "
                L"new mail with Ctrl+V. The screenshot was also saved as C:\\a\\Screenshot001.jpg.");
  const std::wstring off = modMain::LinkMessageText(false, shot, {}, L"");
  EXPECT_EQ(off, L"Your mail program cannot take the picture from Orvane, and the clipboard would not take it "
                 L"either: attach the screenshot to the new mail yourself. The screenshot was saved as "
                 L"C:\\a\\Screenshot001.jpg.");

  const rt::Error not_found = rt::HresultError(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), L"orvane.ShellExecute");
  const std::wstring opened_not =
      modMain::ReportOf(RunFailure(FailureKind::kMailLinkNotOpened, not_found, shot), L"F9").text;
  EXPECT_EQ(opened_not.rfind(L"The program for mail links could not be started. The picture is on the clipboard: "
                             L"paste it into a new mail with Ctrl+V.\r\n\r\nThe screenshot was saved as ", 0), 0u);
  const std::wstring neither =
      modMain::ReportOf(RunFailure(FailureKind::kMailLinkNotOpenedNoClipboard, not_found, shot), L"F9").text;
  EXPECT_EQ(neither.rfind(L"The program for mail links could not be started, and the clipboard would not take the "
                          L"picture either. Attach the screenshot to a new mail yourself.\r\n\r\nThe screenshot "
                          L"was saved as ", 0), 0u);
  for (const std::wstring& text : {off, neither}) EXPECT_EQ(text.find(L"is on the clipboard"), std::wstring::npos);

  // The addresses the link had no room for, and an address of the setting cut short, by name.
  const std::wstring lacking = modMain::LinkMessageText(true, shot, {L"c@z.org", L"d@w.org"}, L"Arvel Quist <arv");
  EXPECT_EQ(lacking, on + L"\r\n\r\nNot every recipient fits into the mail link, so these are missing from the new "
                          L"mail's To line; add them yourself: c@z.org; d@w.org.\r\n\r\n" +
                          modMain::CutRecipientText(L"Arvel Quist <arv"));
  EXPECT_EQ(modMain::CutRecipientText(L"Arvel Quist <arv"),
            L"The Recipient setting in Orvane.ini is longer than the 1023 characters Orvane reads, so its last "
            L"address was cut short (\"Arvel Quist <arv\") and is left out of the mail. Add that address to the mail "
            L"yourself, and shorten the setting.");
  EXPECT_EQ(modMain::CutRecipientText(L""), L"");
}

// A report of any route names the address cut short, after what happened and before the file.
TEST(Report, NamesARecipientCutShortBetweenWhatHappenedAndTheFile) {
  const RunFailure failure = RunFailure(FailureKind::kMailItemRefused, rt::Error(-2147467259, L"orvane", L"no"))
                                 .Noted(modMain::CutRecipientText(L"desk@exa"));
  const std::wstring text = modMain::ReportOf(failure.SavedAs(L"C:\\a\\Screenshot001.jpg"), L"F9").text;
  EXPECT_NE(text.find(L"a new mail yourself.\r\n\r\nThe Recipient setting in Orvane.ini is longer than the 1023 "
                      L"characters Orvane reads, so its last address was cut short (\"desk@exa\")"),
            std::wstring::npos)
      << testing::PrintToString(text);
  EXPECT_NE(text.find(L"shorten the setting.\r\n\r\nThe screenshot was saved as C:\\a\\Screenshot001.jpg."),
            std::wstring::npos);
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

}  // namespace

#include "driver/report.h"

#include <shlobj.h>

#include "platform/runtime/ui.h"
#include "platform/win/com.h"
#include "platform/win/system_library.h"

namespace modMain {
namespace {

// A mail that was made but not filled in and shown: the first line its report has always had, then
// how far it got.
std::wstring ProblemCreating(const wchar_t* what) {
  return std::wstring(L"Problem creating email message\r\n\r\n") + what;
}

// The file that holds the picture, where there is one: the screenshot, or what was left of it.
const std::wstring& KeptFile(const RunFailure& failure) {
  return failure.saved().empty() ? failure.leftover() : failure.saved();
}

// ", then press Ctrl+Alt+S again." with the shortcut's name from the settings.
std::wstring PressAgain(const std::wstring& key_text) {
  return key_text.empty() ? L", then try again." : L", then press " + key_text + L" again.";
}

// Explorer, with the file selected.
void ShowInFolder(mail::Session& session, const std::wstring& path) {
  static const auto parse = win::SystemFunction<HRESULT(WINAPI*)(PCWSTR, IBindCtx*, PIDLIST_ABSOLUTE*, SFGAOF, SFGAOF*)>(
      L"shell32.dll", "SHParseDisplayName");
  static const auto open = win::SystemFunction<HRESULT(WINAPI*)(PCIDLIST_ABSOLUTE, UINT, PCUITEMID_CHILD_ARRAY, DWORD)>(
      L"shell32.dll", "SHOpenFolderAndSelectItems");
  if (!parse || !open) return;
  session.EnterApartment();  // the shell's calls need one
  PIDLIST_ABSOLUTE item = nullptr;
  if (SUCCEEDED(parse(path.c_str(), nullptr, &item, 0, nullptr)) && item) {
    open(item, 0, nullptr, 0);
    ::CoTaskMemFree(item);  // what ILFree does ("ILFree function")
  }
}

}  // namespace

std::wstring QuestionText(const std::wstring& key_text) {
  const std::wstring question = L"Are you sure you want to e-mail a screenshot of the current window Arvel?";
  if (key_text.empty()) return question;
  return L"You have pressed " + key_text + L"." + L"\r\n" + L"\r\n" + question;
}

std::wstring NothingInFrontText(const std::wstring& key_text) {
  // Without a shortcut name the sentence ends at the click: "then try again" would say nothing new.
  const std::wstring text = L"There is no window in front to take a picture of. Click the window you want";
  return key_text.empty() ? text + L"." : text + PressAgain(key_text);
}

std::wstring StillOpeningText() {
  // Every wait on the mail program has a deadline, after which the user is asked: so the last
  // sentence holds whatever the mail program does.
  return L"Orvane is still opening the mail for your last screenshot: the mail program has not finished "
         L"yet. Wait for the new mail to appear. If the mail program does not answer, Orvane will tell you.";
}

std::wstring WhatHappened(const RunFailure& failure, const std::wstring& key_text) {
  const std::wstring again = PressAgain(key_text);
  switch (failure.kind()) {
    case FailureKind::kMailProgramMissing:
      return L"There is no mail program to open the mail with: the desktop Outlook, which Orvane drives, is not "
             L"installed, and no other mail program is set up on this computer. Choose a mail program under "
             L"Settings > Apps > Default apps" + again;
    case FailureKind::kMailProgramDidNotStart:
      return L"Outlook did not start in time. Start Outlook yourself and wait until it shows its Inbox" + again;
    case FailureKind::kMailProgramRefused: {
      const std::wstring name = failure.program().empty() ? L"your mail program" : failure.program();
      return L"Your default mail program could not open the new mail. Open " + name +
             L" once to finish its set-up" + again;
    }
    case FailureKind::kMailProgramCrashed: {
      const std::wstring name = failure.program().empty() ? L"your mail program" : failure.program();
      return L"Your default mail program failed while it was opening the new mail. Open " + name +
             L" and attach the screenshot to a new mail yourself; if this happens every time, repair or reinstall "
             L"it.";
    }
    case FailureKind::kMailProgramUnreachable:
      return L"Orvane cannot reach Outlook: Outlook runs as another user or with other rights (for example as "
             L"administrator) than Orvane. Start both the same way" + again;
    case FailureKind::kMailProgramBusy:
      return L"Outlook was busy, or was closed while Orvane was handing it the mail. Wait until Outlook has "
             L"started and close its open dialogs" + again;
    case FailureKind::kMailItemRefused:
      return L"The mail program could not create the new mail. Check that Outlook is not showing a dialog of its "
             L"own, and attach the screenshot to a new mail yourself.";
    // The mail program's failure while filling in: the mail was never shown (it is shown last), and a
    // mail never shown is let go unsaved, so nothing of it is left to check.
    case FailureKind::kMailNotFilledIn:
      return ProblemCreating(L"The mail program made the new mail but did not take the screenshot as its "
                             L"attachment, so no mail was opened. Attach the screenshot to a new mail "
                             L"yourself.");
    case FailureKind::kRecipientRefused:
      return ProblemCreating(L"The mail program took the screenshot but not the recipient, so no mail was "
                             L"opened. Attach the screenshot to a new mail yourself.");
    case FailureKind::kSubjectRefused:
      return ProblemCreating(L"The mail program took the screenshot and the recipient but not the subject, "
                             L"so no mail was opened. Attach the screenshot to a new mail yourself.");
    case FailureKind::kMailNotShown:
      return ProblemCreating(L"The mail program filled in the new mail but could not show it. If no mail "
                             L"window opened, attach the screenshot to a new mail yourself.");
    case FailureKind::kMailLinkNotOpened:
      return L"The program for mail links could not be started. The picture is on the clipboard: paste it into a "
             L"new mail with Ctrl+V.";
    case FailureKind::kMailLinkNotOpenedNoClipboard:
      return L"The program for mail links could not be started, and the clipboard would not take the picture "
             L"either. Attach the screenshot to a new mail yourself.";
    case FailureKind::kFileNotWritten:
      return L"The screenshot could not be written into Orvane's folder: the folder may be read-only, full or "
             L"gone. Make the folder writable or free some space" + again;
    case FailureKind::kFileNotMoved:
      return L"The screenshot was written, but Orvane could neither give it its name in its folder nor "
             L"remove it: the folder may let programs add files but not rename or delete them. Make the "
             L"folder writable" + again;
    case FailureKind::kNotCaptured:
      return L"The window could not be captured: Windows did not let Orvane copy it from the screen. Make sure the "
             L"window is shown and the computer is unlocked" + again;
    case FailureKind::kWindowTooLarge:
      return L"The window could not be captured: it is too large for a picture. Make it smaller" + again;
    case FailureKind::kOutOfMemory:
      return (failure.saved().empty() ? L"There was not enough memory to make the picture."
                                      : L"There was not enough memory to finish the mail.") +
             std::wstring(L" Close some programs") + again;
    case FailureKind::kNamesTaken:
      return L"Every screenshot name up to Screenshot32767.jpg is taken. Move old screenshots out of Orvane's "
             L"folder" + again;
    case FailureKind::kGaveUp:  // never told: the user ended the wait
    case FailureKind::kOther:
      break;
  }
  return L"Orvane could not finish. The error below says what went wrong.";
}

std::wstring ErrorLine(const rt::Error& error) {
  return L"(Error " + std::to_wstring(error.number()) + L": " + error.description() + L")";
}

Report ReportOf(const RunFailure& failure, const std::wstring& key_text) {
  const std::wstring where = failure.saved().empty() && !failure.leftover().empty()
                                 ? L"The screenshot was left as " + failure.leftover() +
                                       L" (a JPEG picture: rename it to end in .jpg to open it)."
                                 : rt::SavedScreenshotText(failure.saved());
  std::wstring text = WhatHappened(failure, key_text) + L"\r\n\r\n";
  if (!failure.note().empty()) text += failure.note() + L"\r\n\r\n";
  text += where + L"\r\n\r\n" + ErrorLine(failure);
  if (KeptFile(failure).empty()) return Report{text, MB_OK | MB_ICONERROR};
  return Report{text + L"\r\n\r\nShow the screenshot in its folder?", MB_YESNO | MB_ICONEXCLAMATION};
}

std::wstring CutRecipientText(const std::wstring& cut_short) {
  if (cut_short.empty()) return {};
  return L"The Recipient setting in Orvane.ini is longer than the 1023 characters Orvane reads, so its last "
         L"address was cut short (\"" + cut_short + L"\") and is left out of the mail. Add that address to the "
         L"mail yourself, and shorten the setting.";
}

std::wstring LinkMessageText(bool on_clipboard, const std::wstring& saved, const std::vector<std::wstring>& left_out,
                             const std::wstring& cut_short) {
  std::wstring text =
      on_clipboard
          ? L"Your mail program cannot take the picture from Orvane, so it is on the clipboard: paste it into the "
            L"new mail with Ctrl+V. The screenshot was also saved as " + saved + L"."
          : L"Your mail program cannot take the picture from Orvane, and the clipboard would not take it either: "
            L"attach the screenshot to the new mail yourself. " + rt::SavedScreenshotText(saved);
  if (!left_out.empty()) {
    text += L"\r\n\r\nNot every recipient fits into the mail link, so these are missing from the new mail's To "
            L"line; add them yourself: ";
    for (size_t i = 0; i < left_out.size(); ++i) text += (i == 0 ? L"" : L"; ") + left_out[i];
    text += L".";
  }
  if (!cut_short.empty()) text += L"\r\n\r\n" + CutRecipientText(cut_short);
  return text;
}

void ShowReport(mail::Session& session, const RunFailure& failure, const std::wstring& key_text) {
  const Report report = ReportOf(failure, key_text);
  // Owned by the hidden topmost form while it is loaded, so the report is not left behind a window
  // that the mail program has just activated.
  if (rt::MsgBox(report.text, report.style | MB_TOPMOST | MB_SETFOREGROUND) == IDYES) {
    ShowInFolder(session, KeptFile(failure));
  }
}

}  // namespace modMain

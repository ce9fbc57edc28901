#include "driver/report.h"

#include <shlobj.h>

#include "platform/runtime/ui.h"
#include "platform/win/com.h"
#include "platform/win/system_library.h"
#include "text/text.h"

namespace modMain {
namespace {

using text::Id;

// The file that holds the picture, where there is one: the screenshot, or what was left of it.
const std::wstring& KeptFile(const RunFailure& failure) {
  return failure.saved().empty() ? failure.leftover() : failure.saved();
}

// A report that ends with what to do next: "..., then press Ctrl+Alt+S again." with the shortcut as the
// settings name it, or "..., then try again." where they do not.
std::wstring ThenAgain(Id with_key, Id without_key, const std::wstring& key_text) {
  return key_text.empty() ? text::Get(without_key) : text::Format(with_key, text::KeysForDisplay(key_text));
}

// The default mail program's name, or "your mail program" where Windows names none.
std::wstring ProgramName(const RunFailure& failure) {
  return failure.program().empty() ? text::Get(Id::kYourMailProgram) : failure.program();
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

std::wstring SavedScreenshotText(const std::wstring& saved) {
  return saved.empty() ? text::Get(Id::kNotSaved) : text::Format(Id::kSaved, saved);
}

std::wstring QuestionText(const std::wstring& key_text) {
  const std::wstring question = text::Get(Id::kQuestion);
  if (key_text.empty()) return question;
  return text::Format(Id::kQuestionPressed, text::KeysForDisplay(key_text)) + L"\r\n\r\n" + question;
}

std::wstring NothingInFrontText(const std::wstring& key_text) {
  // Without a shortcut name the sentence ends at the click: "then try again" would say nothing new.
  return key_text.empty() ? text::Get(Id::kNothingInFrontNoKey)
                          : text::Format(Id::kNothingInFront, text::KeysForDisplay(key_text));
}

// Every wait on the mail program has a deadline, after which the user is asked: so its last sentence
// holds whatever the mail program does.
std::wstring StillOpeningText() { return text::Get(Id::kStillOpening); }

std::wstring WaitQuestionText(const std::wstring& saved) {
  return text::Get(Id::kNotResponding) + L"\r\n\r\n" + SavedScreenshotText(saved) + L"\r\n\r\n" +
         text::Get(Id::kKeepWaiting);
}

std::wstring WhatHappened(const RunFailure& failure, const std::wstring& key_text) {
  // The mail program's failures while filling in: the mail was never shown (it is shown last), and a
  // mail never shown is let go unsaved, so nothing of it is left to check. Their report has always
  // begun with the same line.
  const auto problem_creating = [](Id what) {
    return text::Get(Id::kReport_ProblemCreating) + L"\r\n\r\n" + text::Get(what);
  };
  switch (failure.kind()) {
    case FailureKind::kMailProgramMissing:
      return ThenAgain(Id::kReport_MailProgramMissing, Id::kReport_MailProgramMissing_NoKey, key_text);
    case FailureKind::kMailProgramDidNotStart:
      return ThenAgain(Id::kReport_MailProgramDidNotStart, Id::kReport_MailProgramDidNotStart_NoKey, key_text);
    case FailureKind::kMailProgramRefused:
      return key_text.empty()
                 ? text::Format(Id::kReport_MailProgramRefused_NoKey, ProgramName(failure))
                 : text::Format(Id::kReport_MailProgramRefused, ProgramName(failure), text::KeysForDisplay(key_text));
    case FailureKind::kMailProgramCrashed:
      return text::Format(Id::kReport_MailProgramCrashed, ProgramName(failure));
    case FailureKind::kMailProgramUnreachable:
      return ThenAgain(Id::kReport_MailProgramUnreachable, Id::kReport_MailProgramUnreachable_NoKey, key_text);
    case FailureKind::kMailProgramBusy:
      return ThenAgain(Id::kReport_MailProgramBusy, Id::kReport_MailProgramBusy_NoKey, key_text);
    case FailureKind::kMailItemRefused:
      return text::Get(Id::kReport_MailItemRefused);
    case FailureKind::kMailNotFilledIn:
      return problem_creating(Id::kReport_MailNotFilledIn);
    case FailureKind::kRecipientRefused:
      return problem_creating(Id::kReport_RecipientRefused);
    case FailureKind::kSubjectRefused:
      return problem_creating(Id::kReport_SubjectRefused);
    case FailureKind::kMailNotShown:
      return problem_creating(Id::kReport_MailNotShown);
    case FailureKind::kMailLinkNotOpened:
      return text::Get(Id::kReport_MailLinkNotOpened);
    case FailureKind::kMailLinkNotOpenedNoClipboard:
      return text::Get(Id::kReport_MailLinkNotOpenedNoClipboard);
    case FailureKind::kNotCaptured:
      return ThenAgain(Id::kReport_NotCaptured, Id::kReport_NotCaptured_NoKey, key_text);
    case FailureKind::kFileNotWritten:
      return ThenAgain(Id::kReport_FileNotWritten, Id::kReport_FileNotWritten_NoKey, key_text);
    case FailureKind::kFileNotMoved:
      return ThenAgain(Id::kReport_FileNotMoved, Id::kReport_FileNotMoved_NoKey, key_text);
    case FailureKind::kWindowTooLarge:
      return ThenAgain(Id::kReport_WindowTooLarge, Id::kReport_WindowTooLarge_NoKey, key_text);
    case FailureKind::kOutOfMemory:
      return failure.saved().empty()
                 ? ThenAgain(Id::kReport_NoMemoryForPicture, Id::kReport_NoMemoryForPicture_NoKey, key_text)
                 : ThenAgain(Id::kReport_NoMemoryForMail, Id::kReport_NoMemoryForMail_NoKey, key_text);
    case FailureKind::kNamesTaken:
      return ThenAgain(Id::kReport_NamesTaken, Id::kReport_NamesTaken_NoKey, key_text);
    case FailureKind::kGaveUp:  // never told: the user ended the wait
    case FailureKind::kOther:
      break;
  }
  return text::Get(Id::kReport_Other);
}

std::wstring ErrorLine(const rt::Error& error) {
  return L"(Error " + std::to_wstring(error.number()) + L": " + error.description() + L")";
}

Report ReportOf(const RunFailure& failure, const std::wstring& key_text) {
  const std::wstring where = failure.saved().empty() && !failure.leftover().empty()
                                 ? text::Format(Id::kLeftAs, failure.leftover())
                                 : SavedScreenshotText(failure.saved());
  std::wstring report = WhatHappened(failure, key_text) + L"\r\n\r\n";
  if (!failure.note().empty()) report += failure.note() + L"\r\n\r\n";
  report += where + L"\r\n\r\n" + ErrorLine(failure);
  if (KeptFile(failure).empty()) return Report{report, MB_OK | MB_ICONERROR};
  return Report{report + L"\r\n\r\n" + text::Get(Id::kShowInFolder), MB_YESNO | MB_ICONEXCLAMATION};
}

std::wstring CutRecipientText(const std::wstring& cut_short) {
  if (cut_short.empty()) return {};
  return text::Format(Id::kCutRecipient, cut_short);
}

std::wstring LinkMessageText(bool on_clipboard, const std::wstring& saved, const std::vector<std::wstring>& left_out,
                             const std::wstring& cut_short) {
  std::wstring message = on_clipboard ? text::Format(Id::kLink_OnClipboard, saved)
                                      : text::Get(Id::kLink_NotOnClipboard) + L" " + SavedScreenshotText(saved);
  if (!left_out.empty()) {
    std::wstring addresses;
    for (size_t i = 0; i < left_out.size(); ++i) addresses += (i == 0 ? L"" : L"; ") + left_out[i];
    message += L"\r\n\r\n" + text::Format(Id::kLink_LeftOut, addresses);
  }
  if (!cut_short.empty()) message += L"\r\n\r\n" + CutRecipientText(cut_short);
  return message;
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

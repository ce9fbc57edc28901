#include <windows.h>

#include <new>
#include <optional>
#include <vector>

#include "capture/screen_capture.h"
#include "driver/frm_capture.h"
#include "driver/mod_main.h"
#include "driver/outcome.h"
#include "driver/report.h"
#include "driver/window_in_front.h"
#include "image/dib_section.h"
#include "image/pasting.h"
#include "jpeg/jpeg_writer.h"
#include "mail/mailto.h"
#include "mail/outlook.h"
#include "mail/session.h"
#include "mail/simple_mapi.h"
#include "platform/runtime/app.h"
#include "platform/runtime/ui.h"

namespace modMain {
namespace {

// How long a press that finds another run asking waits for that run's box to show: it takes the turn
// before it captures, and its box follows within moments.
constexpr DWORD kWaitForAskingBoxMs = 3000;

// The hidden form, loaded and topmost, so that the boxes it owns stay above every window. It is never
// shown, so it is not activated either: activating a hidden window is a round trip to the display for
// nothing.
frmCapture& LoadTopmostForm() {
  frmCapture& form = frmCapture::Load();
  ::SetWindowPos(form.hWnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  return form;
}

// Writes the captured picture under the first free screenshot name; the path written.
std::wstring SaveScreenshot(cDIBSection& image, const frmCapture& form) {
  const std::wstring& folder = rt::App::Path();
  std::wstring first_choice;
  try {
    first_choice = folder + L"\\" + NextScreenshotName(folder);
  } catch (const rt::Error& error) {
    throw RunFailure(FailureKind::kNamesTaken, error);
  }
  image.CreateFromPicture(form.picScreenshot.Picture);
  if (!image.hDib()) {
    // The screen's bitmap or the image could not be made at the window's size.
    throw RunFailure(FailureKind::kWindowTooLarge, rt::OutOfMemoryError());
  }
  try {
    return mIntelJPEGLibrary::WriteNewJpegFile(
        image, first_choice,
        [&folder](const std::vector<std::wstring>& taken) {
          try {
            return NextFreeScreenshotPath(folder, taken);
          } catch (const rt::Error& error) {
            throw RunFailure(FailureKind::kNamesTaken, error);
          }
        },
        60);
  } catch (const RunFailure&) {
    throw;
  } catch (const mIntelJPEGLibrary::NotMovedIntoPlace& error) {
    throw RunFailure(FailureKind::kFileNotMoved, error).LeftIn(error.leftover());
  } catch (const rt::Error& error) {
    throw RunFailure(KindOfWriteFailure(error), error);
  }
}

// For a mail program that takes no attachment from us: the picture goes on the clipboard, the user
// is told to paste it, and the mail opens from a mailto: link with To and Subject. The message says
// what is true: whether the clipboard took the picture, and which recipients the link leaves out.
void MailThroughLink(mail::Session& session, const cDIBSection& image, const std::wstring& attachment,
                     const std::wstring& subject, const RecipientSetting& recipients) {
  const mail::MailtoMail mail = mail::MailtoLink(recipients.value, subject);
  const bool on_clipboard = pasting::PutOnClipboard(image);
  // Told before the mail opens, so that the mail window ends in front.
  rt::MsgBox(LinkMessageText(on_clipboard, attachment, mail.left_out, recipients.cut_short),
             MB_OK | MB_ICONINFORMATION | MB_TOPMOST | MB_SETFOREGROUND);
  try {
    mail::OpenMailtoLink(session, mail.link);
  } catch (const rt::Error& error) {
    throw RunFailure(on_clipboard ? FailureKind::kMailLinkNotOpened : FailureKind::kMailLinkNotOpenedNoClipboard,
                     error);
  }
}

// A mail that could not be made: a mail program busy, closed meanwhile (the call failed), out of reach
// or out of memory is told as such; anything else is its refusal.
FailureKind KindOfCreationFailure(const rt::Error& error) {
  const FailureKind kind = KindOfMailFailure(error);
  switch (kind) {
    case FailureKind::kMailProgramBusy:
    case FailureKind::kMailProgramUnreachable:
    case FailureKind::kOutOfMemory:
      return kind;
    default:
      return FailureKind::kMailItemRefused;
  }
}

// A mail that was made but not filled in and shown, by the step that failed.
FailureKind KindOfFillingFailure(const mail::Member* failed_at) {
  if (failed_at == &outlook::kTo) return FailureKind::kRecipientRefused;
  if (failed_at == &outlook::kSubject) return FailureKind::kSubjectRefused;
  if (failed_at == &outlook::kDisplay) return FailureKind::kMailNotShown;
  return FailureKind::kMailNotFilledIn;  // the attachment
}

// Before a mail program is handed the mail: a last address of the setting cut short by the reading is
// not on it, and the user is told so, as the mail program cannot say it.
void TellOfCutRecipient(const RecipientSetting& recipients) {
  if (recipients.cut_short.empty()) return;
  rt::MsgBox(CutRecipientText(recipients.cut_short), MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST | MB_SETFOREGROUND);
}

// Where the desktop mail program has no automation class: the default mail program, and where that is
// missing or refuses, the mailto: handler. `was_in_front` is the window the picture is of.
void MailWithoutAutomation(mail::Session& session, HWND owner, HWND was_in_front, cDIBSection& image,
                           const AutomationNotRegistered& not_registered, const std::wstring& attachment,
                           const std::wstring& subject, const RecipientSetting& recipients) {
  std::optional<RunFailure> refused;  // the default mail program's answer, told if nothing else is left
  if (mail::DefaultMailProgramRegistered()) {
    try {
      // False when the user closed that mail unsent: their choice, nothing to tell.
      TellOfCutRecipient(recipients);
      (void)mail::ShowMailInDefaultProgram(session, owner, was_in_front, attachment, subject, recipients.value);
      return;
    } catch (const mail::MapiRefusal& error) {
      // A registration left behind by an uninstalled mail program answers like this too.
      refused.emplace(FailureKind::kMailProgramRefused, error, L"", mail::DefaultMailProgramName());
    } catch (const mail::MailProgramCrashed& error) {
      // It went down with the mail, perhaps half shown: told as it is, rather than a second mail opened.
      throw RunFailure(FailureKind::kMailProgramCrashed, error, L"", mail::DefaultMailProgramName());
    } catch (const rt::Error& error) {
      if (session.GaveUp()) throw;  // the user ended the wait: nothing more is tried, or said
      refused.emplace(FailureKind::kOther, error);
    }
  }
  if (mail::MailtoHandlerRegistered()) return MailThroughLink(session, image, attachment, subject, recipients);
  if (refused) throw *refused;
  throw RunFailure(FailureKind::kMailProgramMissing, not_registered);
}

// The mail for the saved screenshot: through the desktop mail program's automation interfaces, or
// without them where its application class is not registered at all.
void MailScreenshot(mail::Session& session, HWND owner, HWND was_in_front, cDIBSection& image, const std::wstring& attachment,
                    const std::wstring& subject, const RecipientSetting& recipients) {
  try {
    EnsureOutlookWindow(session, outlook::olMinimized);
  } catch (const AutomationNotRegistered& not_registered) {
    return MailWithoutAutomation(session, owner, was_in_front, image, not_registered, attachment, subject, recipients);
  } catch (const AutomationDidNotStart& error) {
    throw RunFailure(FailureKind::kMailProgramDidNotStart, error);
  } catch (const rt::Error& error) {
    throw RunFailure(KindOfMailFailure(error), error);
  }
  TellOfCutRecipient(recipients);
  const DraftResult draft = ComposeMailDraft(session, attachment, subject, recipients.value);
  if (draft.stage == DraftResult::Stage::kNotCreated)
    throw RunFailure(KindOfCreationFailure(*draft.error), *draft.error);
  if (draft.stage == DraftResult::Stage::kNotFilledIn)
    throw RunFailure(KindOfFillingFailure(draft.failed_at), *draft.error);
}

// The failure, with what its report says of a recipient left out of the mail.
RunFailure Noted(RunFailure failure, const RecipientSetting& recipients) {
  failure.SetNote(CutRecipientText(recipients.cut_short));
  return failure;
}

}  // namespace

Outcome Failed(mail::Session& session, const RunFailure& failure, const std::wstring& key_text) {
  // Once the user has given up waiting for the mail program, nothing more is said.
  if (session.GaveUp()) return Outcome{Outcome::Kind::kGaveUp, failure.saved()};
  ShowReport(session, failure, key_text);
  return Outcome{Outcome::Kind::kFailed, failure.saved()};
}

Outcome Main(mail::Session& session) {
  const RecipientSetting recipients = ReadRecipientSetting();
  const std::wstring key_text = ReadSetting(L"KeyCombos", L"Activate", L"");
  rt::DoEvents();

  // The window in front is read once: the picture and the subject both name it, even if another
  // comes to the front or it closes meanwhile.
  const HWND front = ::GetForegroundWindow();
  if (HWND box = BoxOfAnotherRun(front)) {
    // A second press while a run asks (or reports): that run goes on, and its box is what the user
    // is looking for. A picture of the box would only be mailed by mistake.
    BringForward(box);
    return Outcome{};
  }
  if (HWND busy = BusyRunOf(front)) {
    // A second press while a run hands its screenshot to the mail program: nothing of that run shows
    // yet, so the press is answered with word of it, or with its question whether to keep waiting.
    if (HWND box = OpenBoxOfRun(busy)) {
      BringForward(box);
    } else {
      LoadTopmostForm();
      ShowWhileRunWorks(StillOpeningText(), MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND, busy);
    }
    return Outcome{};
  }
  // One question at a time, also for presses in the same instant: the run that takes the turn asks,
  // and every other brings its box forward, wherever it is (a window clicked meanwhile may cover it),
  // without taking a picture.
  const bool shows_something = modScreenCapture::ShowsSomething(modScreenCapture::FactsOf(front));
  AskingTurn turn;
  if (!turn.held()) {
    const AskingBox asking = BoxOfAskingRun(kWaitForAskingBoxMs);
    // Except where that run only says there was nothing in front and the user has since clicked a
    // window, as it told them to: that message has done its work, and this press is the new picture.
    const bool pressed_again =
        asking.box && asking.showing == AskingTurn::Showing::kNothingInFront && shows_something;
    if (!pressed_again) {
      if (asking.box) BringForward(asking.box);
      return Outcome{};
    }
    AnswerOk(asking.box);
    if (!turn.Take(kWaitForAskingBoxMs)) return Outcome{};
  }
  if (!shows_something) {
    // No window, a minimised or cloaked one, or one without an area: its picture would be black or
    // empty. The message is owned by the hidden topmost form, as every message after this point is.
    turn.AskFrom(LoadTopmostForm().hWnd(), AskingTurn::Showing::kNothingInFront);
    rt::MsgBox(NothingInFrontText(key_text), MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
    return Outcome{Outcome::Kind::kFailed, L""};
  }

  // Pixels and title are taken while nothing of ours exists, so they are the user's window's; the
  // hidden form is loaded only then, to hold the picture.
  const std::wstring title_at_capture = WindowTitle(front);
  modScreenCapture::Picture captured = modScreenCapture::GrabForegroundWindow(front);
  frmCapture::Load().picScreenshot.Picture = std::move(captured);
  const std::wstring subject = ForegroundSubject(front, title_at_capture);

  frmCapture& form = LoadTopmostForm();
  turn.AskFrom(form.hWnd());
  // The question takes the keyboard, so that Enter and Esc answer it and not the user's window.
  const int answer = rt::MsgBox(QuestionText(key_text), MB_OKCANCEL | MB_ICONQUESTION | MB_SETFOREGROUND);
  // Answered: the next press is a new screenshot, even while this run goes on to mail this one.
  turn.GiveBack();
  if (answer != IDOK) {
    frmCapture::Unload();
    return Outcome{Outcome::Kind::kCancelled, L""};
  }

  std::wstring saved;
  try {
    cDIBSection image;  // released at the end of this block, before the form is unloaded
    saved = SaveScreenshot(image, form);
    session.SetScreenshot(saved);  // named if the mail program stops answering
    MailScreenshot(session, form.hWnd(), front, image, saved, subject, recipients);
  } catch (const RunFailure& failure) {
    return Failed(session, Noted(failure.SavedAs(saved), recipients), key_text);
  } catch (const rt::Error& error) {
    const FailureKind kind = saved.empty() ? KindOfWriteFailure(error) : KindOfMailFailure(error);
    return Failed(session, Noted(RunFailure(kind, error, saved), recipients), key_text);
  } catch (const std::bad_alloc&) {
    return Failed(session, Noted(RunFailure(FailureKind::kOutOfMemory, rt::OutOfMemoryError(), saved), recipients),
                  key_text);
  }
  frmCapture::Unload();
  return Outcome{Outcome::Kind::kDone, saved};
}

}  // namespace modMain

#include <windows.h>

#include <exception>
#include <new>
#include <optional>
#include <vector>

#include "capture/screen_capture.h"
#include "driver/frm_capture.h"
#include "driver/mail_picture.h"
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

// Writes the captured picture under the first free screenshot name; the path written. The writer
// raises its failures with their kinds; only the names running out is this step's own.
std::wstring SaveScreenshot(cDIBSection& image, const frmCapture& form) {
  const std::wstring& folder = rt::App::Path();
  const auto names_taken = [](const rt::Error& error) { return RunFailure(FailureKind::kNamesTaken, error); };
  std::wstring first_choice;
  try {
    first_choice = folder + L"\\" + NextScreenshotName(folder);
  } catch (const rt::Error& error) {
    throw names_taken(error);
  }
  image.CreateFromPicture(form.picScreenshot.Picture);
  if (!image.hDib()) {
    // The screen's bitmap or the image could not be made at the window's size.
    throw RunFailure(FailureKind::kWindowTooLarge, rt::OutOfMemoryError());
  }
  return mIntelJPEGLibrary::WriteNewJpegFile(
      image, first_choice,
      [&](const std::vector<std::wstring>& taken) {
        try {
          return NextFreeScreenshotPath(folder, taken);
        } catch (const rt::Error& error) {
          throw names_taken(error);
        }
      },
      60);
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
  mail::OpenMailtoLink(session, mail.link, on_clipboard);
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
                           const RunFailure& not_registered, const std::wstring& attachment,
                           const std::wstring& subject, const RecipientSetting& recipients) {
  std::optional<RunFailure> refused;  // the default mail program's answer, told if nothing else is left
  if (mail::DefaultMailProgramRegistered()) {
    try {
      // False when the user closed that mail unsent: their choice, nothing to tell.
      TellOfCutRecipient(recipients);
      (void)mail::ShowMailInDefaultProgram(session, owner, was_in_front, attachment, subject, recipients.value);
      return;
    } catch (const RunFailure& failure) {
      // Given up: nothing more is tried. Crashed, perhaps with the mail half shown: told as it is,
      // rather than a second mail opened. A refusal (a registration left behind by an uninstalled
      // mail program answers so too) leaves the link to try.
      if (failure.kind() == FailureKind::kGaveUp || failure.kind() == FailureKind::kMailProgramCrashed) throw;
      refused = failure;
    }
  }
  if (mail::MailtoHandlerRegistered()) return MailThroughLink(session, image, attachment, subject, recipients);
  if (refused) throw *refused;
  throw not_registered;
}

// The mail for the saved screenshot: through the desktop mail program's automation interfaces, or
// without them where its application class is not registered at all.
void MailScreenshot(mail::Session& session, HWND owner, HWND was_in_front, cDIBSection& image,
                    const std::wstring& attachment, const std::wstring& subject, const RecipientSetting& recipients) {
  try {
    EnsureOutlookWindow(session, outlook::olMinimized);
  } catch (const RunFailure& failure) {
    if (failure.kind() != FailureKind::kMailProgramMissing) throw;
    return MailWithoutAutomation(session, owner, was_in_front, image, failure, attachment, subject, recipients);
  }
  TellOfCutRecipient(recipients);
  const DraftResult draft = ComposeMailDraft(session, attachment, subject, recipients.value);
  if (draft.stage != DraftResult::Stage::kShown) throw *draft.error;
}

// A second press while another run asks, reports or hands its screenshot to the mail program: that
// run goes on, and this press brings forward what the user is looking for (a picture of a box would
// only be mailed by mistake). True when it was such a press.
bool AnsweredForAnotherRun(HWND front) {
  if (HWND box = BoxOfAnotherRun(front)) {
    BringForward(box);
    return true;
  }
  if (HWND busy = BusyRunOf(front)) {
    // Nothing of that run shows yet: the press is answered with word of it, or with its question
    // whether to keep waiting.
    if (HWND box = OpenBoxOfRun(busy)) {
      BringForward(box);
    } else {
      LoadTopmostForm();
      ShowWhileRunWorks(StillOpeningText(), MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND, busy);
    }
    return true;
  }
  return false;
}

// One question at a time, also for presses in the same instant: the run that takes the turn asks, and
// every other brings its box forward, wherever it is (a window clicked meanwhile may cover it), without
// taking a picture. Except where that run only says there was nothing in front and the user has since
// clicked a window, as it told them to: that message has done its work, and this press is the new
// picture. True when this run holds the turn.
bool TookTurn(AskingTurn& turn, bool shows_something) {
  if (turn.held()) return true;
  const AskingBox asking = BoxOfAskingRun(kWaitForAskingBoxMs);
  if (!(asking.box && asking.showing == AskingTurn::Showing::kNothingInFront && shows_something)) {
    if (asking.box) BringForward(asking.box);
    return false;
  }
  AnswerOk(asking.box);
  return turn.Take(kWaitForAskingBoxMs);
}

// The window's pixels and title, taken while nothing of ours exists, so that they are the user's
// window's; the hidden form is loaded only then, to hold the picture. The subject that names it.
std::wstring Capture(HWND front) {
  const std::wstring title_at_capture = WindowTitle(front);
  modScreenCapture::Picture captured = modScreenCapture::GrabForegroundWindow(front);
  frmCapture::Load().picScreenshot.Picture = std::move(captured);
  return ForegroundSubject(front, title_at_capture);
}

// The question, from the hidden topmost form, with the keyboard so that Enter and Esc answer it and
// not the user's window. Once answered, the next press is a new screenshot, even while this run goes
// on to mail this one.
bool Asked(AskingTurn& turn, const std::wstring& key_text) {
  turn.AskFrom(LoadTopmostForm().hWnd());
  const int answer = rt::MsgBox(QuestionText(key_text), MB_OKCANCEL | MB_ICONQUESTION | MB_SETFOREGROUND);
  turn.GiveBack();
  return answer == IDOK;
}

// The run's steps: answer for another run, capture, ask, save, mail. Each raises at most one failure,
// of its kind; `saved` is the screenshot once it is written.
Outcome Steps(mail::Session& session, const RecipientSetting& recipients, const std::wstring& key_text,
              std::wstring& saved) {
  // The window in front is read once: the picture and the subject both name it, even if another
  // comes to the front or it closes meanwhile.
  const HWND front = ::GetForegroundWindow();
  if (AnsweredForAnotherRun(front)) return Outcome{};
  const bool shows_something = modScreenCapture::ShowsSomething(modScreenCapture::FactsOf(front));
  AskingTurn turn;
  if (!TookTurn(turn, shows_something)) return Outcome{};
  if (!shows_something) {
    // No window, a minimised or cloaked one, or one without an area: its picture would be black or
    // empty. The message is owned by the hidden topmost form, as every message after this point is.
    turn.AskFrom(LoadTopmostForm().hWnd(), AskingTurn::Showing::kNothingInFront);
    rt::MsgBox(NothingInFrontText(key_text), MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
    return Outcome{Outcome::Kind::kFailed, L""};
  }

  const std::wstring subject = Capture(front);
  if (!Asked(turn, key_text)) return Outcome{Outcome::Kind::kCancelled, L""};

  cDIBSection image;  // released with this step, before the form is unloaded
  saved = SaveScreenshot(image, frmCapture::Load());
  session.SetWaitQuestion(WaitQuestionText(saved));  // the saved file is named if the mail program stops answering
  MailScreenshot(session, frmCapture::Load().hWnd(), front, image, saved, subject, recipients);
  return Outcome{Outcome::Kind::kDone, saved};
}

// The hidden form is unloaded once, when the run ends, however it ends.
class FormUnloaded {
 public:
  FormUnloaded() = default;
  FormUnloaded(const FormUnloaded&) = delete;
  FormUnloaded& operator=(const FormUnloaded&) = delete;
  ~FormUnloaded() { frmCapture::Unload(); }
};

// What escaped a step as a failure of its kind: the system's error of a step that did not know its
// meaning is kOther, and anything else an internal error.
RunFailure AsFailure(std::exception_ptr escaped) {
  try {
    std::rethrow_exception(escaped);
  } catch (const RunFailure& failure) {
    return failure;
  } catch (const rt::Error& error) {
    return RunFailure(error.number() == rt::kErrOutOfMemory ? FailureKind::kOutOfMemory : FailureKind::kOther, error);
  } catch (const std::bad_alloc&) {
    return RunFailure(FailureKind::kOutOfMemory, rt::OutOfMemoryError());
  } catch (const std::exception& error) {
    const std::string what = error.what();
    return RunFailure(FailureKind::kOther, rt::Error(rt::kErrInternal, rt::App::EXEName(),
                                                     L"Internal error: " + std::wstring(what.begin(), what.end())));
  }
}

// Tells a failure that ends the run, unless the user has given up on the mail program: then nothing
// more is said. The run's outcome.
Outcome Failed(mail::Session& session, const RunFailure& failure, const std::wstring& key_text) {
  // Once the user has given up waiting for the mail program, nothing more is said.
  if (failure.kind() == FailureKind::kGaveUp) return Outcome{Outcome::Kind::kGaveUp, failure.saved()};
  ShowReport(session, failure, key_text);
  return Outcome{Outcome::Kind::kFailed, failure.saved()};
}

// Runs `steps` (which name the screenshot in `saved` once it is written) with the hidden form unloaded
// after them, however they end; whatever escapes them is told once, as the run's failure, with what
// the settings read so far say (`recipients` and `key_text`, filled in by the steps).
template <typename Steps>
Outcome Told(mail::Session& session, const RecipientSetting& recipients, const std::wstring& key_text, Steps&& steps) {
  FormUnloaded form_unloaded;
  std::wstring saved;
  try {
    return steps(saved);
  } catch (...) {
    const RunFailure failure = AsFailure(std::current_exception());
    return Failed(session, failure.SavedAs(saved).Noted(CutRecipientText(recipients.cut_short)), key_text);
  }
}

}  // namespace

Outcome MailPictureOf(mail::Session& session, HWND window, const std::wstring& subject,
                      const RecipientSetting& recipients, const std::wstring& key_text) {
  return Told(session, recipients, key_text, [&](std::wstring& saved) {
    frmCapture::Load().picScreenshot.Picture = modScreenCapture::GrabForegroundWindow(window);
    cDIBSection image;
    saved = SaveScreenshot(image, frmCapture::Load());
    session.SetWaitQuestion(WaitQuestionText(saved));
    MailScreenshot(session, window, window, image, saved, subject, recipients);
    return Outcome{Outcome::Kind::kDone, saved};
  });
}

Outcome Main(mail::Session& session) {
  RecipientSetting recipients;
  std::wstring key_text;
  Outcome outcome = Told(session, recipients, key_text, [&](std::wstring& saved) {
    recipients = ReadRecipientSetting();
    key_text = ReadSetting(L"KeyCombos", L"Activate", L"");
    rt::DoEvents();
    session.SetWaitQuestion(WaitQuestionText(L""));
    return Steps(session, recipients, key_text, saved);
  });
  // The application object goes now, under the calls' deadline, so that giving up on a mail program
  // stuck while it quits still ends the run as given up.
  if (session.LetGo()) outcome.kind = Outcome::Kind::kGaveUp;
  return outcome;
}

}  // namespace modMain

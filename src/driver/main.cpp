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
#include "jpeg/jpeg_writer.h"
#include "mail/mailto.h"
#include "mail/outlook.h"
#include "mail/session.h"
#include "mail/simple_mapi.h"
#include "platform/runtime/app.h"
#include "platform/runtime/ui.h"

namespace modMain {
namespace {

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
  } catch (const rt::Error& error) {
    throw RunFailure(KindOfWriteFailure(error), error);
  }
}

// For a mail program that takes no attachment from us: the picture goes on the clipboard, the user
// is told to paste it, and the mail opens from a mailto: link with To and Subject.
void MailThroughLink(cDIBSection& image, const std::wstring& attachment, const std::wstring& subject,
                     const std::wstring& recipient) {
  const std::wstring saved = L"The screenshot was also saved as " + attachment + L".";
  // Told before the mail opens, so that the mail window ends in front.
  rt::MsgBox(image.CopyToClipboard(false)
                 ? L"Your mail program cannot take the picture from Orvane, so it is on the clipboard: paste it into "
                   L"the new mail with Ctrl+V. " + saved
                 : L"Your mail program cannot take the picture from Orvane, and the clipboard would not take it "
                   L"either: attach the screenshot to the new mail yourself. " + saved,
             MB_OK | MB_ICONINFORMATION | MB_TOPMOST | MB_SETFOREGROUND);
  try {
    mail::OpenMailtoLink(mail::MailtoLink(recipient, subject));
  } catch (const rt::Error& error) {
    throw RunFailure(FailureKind::kMailLinkNotOpened, error);
  }
}

// Where the desktop mail program has no automation class: the default mail program, and where that is
// missing or refuses, the mailto: handler. `was_in_front` is the window the picture is of.
void MailWithoutAutomation(mail::Session& session, HWND owner, HWND was_in_front, cDIBSection& image,
                           const AutomationNotRegistered& not_registered, const std::wstring& attachment,
                           const std::wstring& subject, const std::wstring& recipient) {
  std::optional<RunFailure> refused;  // the default mail program's answer, told if nothing else is left
  if (mail::DefaultMailProgramRegistered()) {
    try {
      // False when the user closed that mail unsent: their choice, nothing to tell.
      (void)mail::ShowMailInDefaultProgram(session, owner, was_in_front, attachment, subject, recipient);
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
  if (mail::MailtoHandlerRegistered()) return MailThroughLink(image, attachment, subject, recipient);
  if (refused) throw *refused;
  throw RunFailure(FailureKind::kMailProgramMissing, not_registered);
}

// The mail for the saved screenshot: through the desktop mail program's automation interfaces, or
// without them where its application class is not registered at all.
void MailScreenshot(mail::Session& session, HWND owner, HWND was_in_front, cDIBSection& image, const std::wstring& attachment,
                    const std::wstring& subject, const std::wstring& recipient) {
  try {
    EnsureOutlookWindow(session, outlook::olMinimized);
  } catch (const AutomationNotRegistered& not_registered) {
    return MailWithoutAutomation(session, owner, was_in_front, image, not_registered, attachment, subject, recipient);
  } catch (const AutomationDidNotStart& error) {
    throw RunFailure(FailureKind::kMailProgramDidNotStart, error);
  } catch (const rt::Error& error) {
    throw RunFailure(KindOfMailFailure(error), error);
  }
  const DraftResult draft = ComposeMailDraft(session, attachment, subject, recipient);
  if (draft.stage == DraftResult::Stage::kNotCreated)
    throw RunFailure(FailureKind::kMailItemRefused, *draft.error);
  if (draft.stage == DraftResult::Stage::kNotFilledIn)
    throw RunFailure(FailureKind::kMailNotFilledIn, *draft.error);
}

}  // namespace

Outcome Failed(mail::Session& session, const RunFailure& failure, const std::wstring& key_text) {
  // Once the user has given up waiting for the mail program, nothing more is said.
  if (session.GaveUp()) return Outcome{Outcome::Kind::kGaveUp, failure.saved()};
  ShowReport(session, failure, key_text);
  return Outcome{Outcome::Kind::kFailed, failure.saved()};
}

Outcome Main(mail::Session& session) {
  const std::wstring recipient = ReadSetting(L"Email", L"Recipient", L"");
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
  if (!modScreenCapture::ShowsSomething(modScreenCapture::FactsOf(front))) {
    // No window, a minimised or cloaked one, or one without an area: its picture would be black or
    // empty. The message is owned by the hidden topmost form, as every message after this point is.
    LoadTopmostForm();
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
  // The question takes the keyboard, so that Enter and Esc answer it and not the user's window.
  if (rt::MsgBox(QuestionText(key_text), MB_OKCANCEL | MB_ICONQUESTION | MB_SETFOREGROUND) != IDOK) {
    frmCapture::Unload();
    return Outcome{Outcome::Kind::kCancelled, L""};
  }

  std::wstring saved;
  try {
    cDIBSection image;  // released at the end of this block, before the form is unloaded
    saved = SaveScreenshot(image, form);
    session.SetScreenshot(saved);  // named if the mail program stops answering
    MailScreenshot(session, form.hWnd(), front, image, saved, subject, recipient);
  } catch (const RunFailure& failure) {
    return Failed(session, failure.SavedAs(saved), key_text);
  } catch (const rt::Error& error) {
    const FailureKind kind = saved.empty() ? KindOfWriteFailure(error) : KindOfMailFailure(error);
    return Failed(session, RunFailure(kind, error, saved), key_text);
  } catch (const std::bad_alloc&) {
    return Failed(session, RunFailure(FailureKind::kOutOfMemory, rt::OutOfMemoryError(), saved), key_text);
  }
  frmCapture::Unload();
  return Outcome{Outcome::Kind::kDone, saved};
}

}  // namespace modMain

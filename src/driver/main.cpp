#include <windows.h>

#include <vector>

#include "capture/screen_capture.h"
#include "driver/frm_capture.h"
#include "driver/mod_main.h"
#include "image/dib_section.h"
#include "jpeg/jpeg_writer.h"
#include "driver/report.h"
#include "mail/outlook.h"
#include "mail/session.h"
#include "mail/simple_mapi.h"
#include "platform/runtime/app.h"
#include "platform/runtime/ui.h"

namespace modMain {
namespace {

// The mail for the saved screenshot: through the desktop mail program's automation interfaces, or,
// where its application class is not registered at all, through the default mail program.
void MailScreenshot(HWND owner, const std::wstring& attachment, const std::wstring& subject,
                    const std::wstring& recipient) {
  try {
    EnsureOutlookWindow(outlook::olMinimized);
  } catch (const AutomationNotRegistered&) {
    if (!mail::DefaultMailProgramRegistered()) throw;
    // False when the user closed that mail unsent: their choice, nothing to report.
    (void)mail::ShowMailInDefaultProgram(owner, attachment, subject, recipient);
    return;
  }
  if (!ComposeMailDraft(attachment, subject, recipient)) throw AlreadyTold{};
}

}  // namespace

void Main() {
  const std::wstring recipient = ReadSetting(L"Email", L"Recipient", L"");
  const std::wstring key_text = ReadSetting(L"KeyCombos", L"Activate", L"");
  rt::DoEvents();

  // Pixels and title are taken while nothing of ours exists, so they are the user's window's; the
  // hidden form is loaded only then, to hold the picture.
  modScreenCapture::Picture captured = modScreenCapture::GrabForegroundWindow();
  frmCapture::Load().picScreenshot.Picture = std::move(captured);
  const std::wstring subject = ForegroundSubject();

  frmCapture& form = frmCapture::Load();
  // Topmost, so that the question it owns stays above every window. The form is never shown, so it is
  // not activated either: activating a hidden window is a round trip to the display for nothing.
  ::SetWindowPos(form.hWnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  const std::wstring question = L"You have pressed " + key_text + L"." + L"\r\n" + L"\r\n" +
                                L"Are you sure you want to e-mail a screenshot of the current window Arvel?";
  const int answer =
      ::MessageBoxW(form.hWnd(), question.c_str(), rt::App::Title().c_str(), MB_OKCANCEL | MB_ICONQUESTION);

  if (answer == IDOK) {
    const std::wstring& folder = rt::App::Path();
    const std::wstring first_choice = folder + L"\\" + NextScreenshotName(folder);
    cDIBSection image;  // released at the end of this block, before the form is unloaded
    image.CreateFromPicture(form.picScreenshot.Picture);
    const std::wstring attachment = mIntelJPEGLibrary::WriteNewJpegFile(
        image, first_choice,
        [&folder](const std::vector<std::wstring>& taken) { return NextFreeScreenshotPath(folder, taken); }, 60);
    mail::Session::Current().SetScreenshot(attachment);  // named if the mail program stops answering
    try {
      MailScreenshot(form.hWnd(), attachment, subject, recipient);
    } catch (const rt::Error& error) {
      throw ErrorAfterSave(error, attachment);  // the report names the file the user still has
    }
  }
  frmCapture::Unload();
}

}  // namespace modMain

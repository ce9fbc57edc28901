#include <windows.h>

#include <memory>
#include <vector>

#include "capture/screen_capture.h"
#include "driver/frm_capture.h"
#include "driver/mod_main.h"
#include "image/dib_section.h"
#include "jpeg/jpeg_writer.h"
#include "mail/message_filter.h"
#include "mail/outlook.h"
#include "platform/runtime/app.h"
#include "platform/runtime/files.h"
#include "platform/runtime/ui.h"

namespace modMain {

void Main() {
  const std::wstring recipient = ReadSetting(L"Email", L"Recipient", L"");
  const std::wstring key_text = ReadSetting(L"KeyCombos", L"Activate", L"");
  rt::DoEvents();

  // Pixels and title are taken while nothing of ours is visible, so they are the user's window's.
  frmCapture::Load().picScreenshot.Picture = modScreenCapture::GrabForegroundWindow();
  const std::wstring subject = ForegroundSubject();

  frmCapture& form = frmCapture::Load();
  // Topmost, so that the question it owns stays above every window. The form is never shown, so it is
  // not activated either (activating a hidden window is a round trip to the display for nothing:
  // about 11 ms of the wait for the question under Wine).
  ::SetWindowPos(form.hWnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  const std::wstring question = L"You have pressed " + key_text + L"." + L"\r\n" + L"\r\n" +
                                L"Are you sure you want to e-mail a screenshot of the current window Arvel?";
  const int answer =
      ::MessageBoxW(form.hWnd(), question.c_str(), rt::App::Title().c_str(), MB_OKCANCEL | MB_ICONQUESTION);

  if (answer == IDOK) {
    const std::wstring& folder = rt::App::Path();
    std::wstring attachment = folder + L"\\" + NextScreenshotName(folder);
    auto image = std::make_unique<cDIBSection>();
    image->CreateFromPicture(form.picScreenshot.Picture);
    // Another run may have taken the name since it was chosen: then the next free one is used.
    attachment = mIntelJPEGLibrary::WriteNewJpegFile(
        *image, attachment,
        [&folder](const std::vector<std::wstring>& taken) {
          return folder + L"\\" + NextScreenshotName(folder, [&taken](const std::wstring& path) {
                   for (const auto& t : taken)
                     if (::lstrcmpiW(t.c_str(), path.c_str()) == 0) return true;
                   return !rt::Dir(path).empty();
                 });
        },
        60);
    {
      PrepareOutlookCalls();
      mail::BusyRetry patience;  // a mail program that is still starting may turn calls away at first
      EnsureOutlookWindow(outlook::olMinimized);
      ComposeMailDraft(attachment, subject, recipient);
    }
    image.reset();
  }
  frmCapture::Unload();
}

}  // namespace modMain

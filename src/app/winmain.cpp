#include <windows.h>
#include <shlobj.h>

#include <new>
#include <string>

#include "driver/frm_capture.h"
#include "driver/mod_main.h"
#include "driver/report.h"
#include "mail/session.h"
#include "platform/runtime/app.h"
#include "platform/runtime/errors.h"
#include "platform/runtime/ui.h"
#include "platform/win/com.h"

namespace {

// Explorer, with the file selected.
void ShowInFolder(const std::wstring& path) {
  win::ComApartment apartment;  // the shell's calls need one; the mail session may have left it
  if (PIDLIST_ABSOLUTE item = ::ILCreateFromPathW(path.c_str())) {
    ::SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
    ::ILFree(item);
  }
}

// An error that leaves the run ends it with a report: what happened, whether and where the screenshot
// was saved, and the error's number and description. A saved screenshot is offered in its folder.
int ReportError(const rt::Error& error, const std::wstring& saved) {
  // Owned by the hidden topmost form while it is loaded, so the report is not left behind a window
  // that the mail program has just activated.
  const std::wstring text = modMain::ReportText(error, saved);
  constexpr UINT kStyle = MB_ICONERROR | MB_TOPMOST | MB_SETFOREGROUND;
  if (saved.empty()) {
    rt::MsgBox(text, MB_OK | kStyle);
  } else if (rt::MsgBox(text + L"\r\n\r\nShow the screenshot in its folder?", MB_YESNO | kStyle) == IDYES) {
    ShowInFolder(saved);
  }
  frmCapture::Unload();
  return 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The mail calls' apartment, filter and application object, held to the end of the process; nothing
  // is entered until the first mail call, after the question.
  mail::Session mail_session;
  int exit_code = 0;
  try {
    modMain::Main();
  } catch (const modMain::AlreadyTold&) {
    exit_code = 1;
  } catch (const modMain::ErrorAfterSave& error) {
    exit_code = mail_session.GaveUp() ? mail::Watchdog::kExitGaveUp : ReportError(error, error.saved());
  } catch (const rt::Error& error) {
    exit_code = mail_session.GaveUp() ? mail::Watchdog::kExitGaveUp : ReportError(error, L"");
  } catch (const std::bad_alloc&) {
    exit_code = ReportError(rt::Error(rt::kErrOutOfMemory, rt::App::EXEName(), L"Out of memory"), L"");
  } catch (const std::exception& error) {
    std::string what = error.what();
    exit_code = ReportError(
        rt::Error(rt::kErrInternal, rt::App::EXEName(), L"Internal error: " + std::wstring(what.begin(), what.end())),
        L"");
  }
  frmCapture::Unload();
  // The application object goes now, under the calls' deadline, so that giving up on a mail program
  // stuck while it quits still ends the run as given up.
  mail_session.LetGo();
  if (mail_session.GaveUp()) exit_code = mail::Watchdog::kExitGaveUp;
  return exit_code;  // the session ends here: filter, watchdog, apartment
}

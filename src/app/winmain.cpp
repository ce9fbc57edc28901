#include <windows.h>

#include <new>
#include <string>

#include "driver/frm_capture.h"
#include "driver/mod_main.h"
#include "mail/session.h"
#include "platform/runtime/app.h"
#include "platform/runtime/errors.h"

namespace {

// An error that leaves the run ends it with a report of its number and description.
int ReportError(long number, const std::wstring& description) {
  // The hidden form goes first: a report owned by nobody must not sit behind a topmost ghost.
  frmCapture::Unload();
  const std::wstring text = L"Run-time error '" + std::to_wstring(number) + L"':\r\n\r\n" + description;
  ::MessageBoxW(nullptr, text.c_str(), rt::App::Title().c_str(), MB_OK | MB_ICONERROR | MB_TOPMOST | MB_SETFOREGROUND);
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
  } catch (const rt::Error& error) {
    exit_code = ReportError(error.number(), error.description());
  } catch (const std::bad_alloc&) {
    exit_code = ReportError(rt::kErrOutOfMemory, L"Out of memory");
  } catch (const std::exception& error) {
    std::string what = error.what();
    exit_code = ReportError(rt::kErrInternal, L"Internal error: " + std::wstring(what.begin(), what.end()));
  }
  frmCapture::Unload();
  return exit_code;  // the mail session ends here: application object, filter, apartment
}

#include <windows.h>

#include <new>
#include <string>

#include "driver/frm_capture.h"
#include "driver/mod_main.h"
#include "mail/outlook.h"
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
  // No apartment here: the mail steps enter one when they need it, after the question.
  int exit_code = 0;
  try {
    modMain::Main();
  } catch (const rt::Error& error) {
    exit_code = ReportError(error.number(), error.description());
  } catch (const std::bad_alloc&) {
    exit_code = ReportError(rt::kErrOutOfMemory, L"Out of memory");
  } catch (const std::exception& error) {
    std::string what = error.what();
    exit_code = ReportError(51, L"Internal error: " + std::wstring(what.begin(), what.end()));
  }
  frmCapture::Unload();
  // The mail program's application object is held to the end of the process, and let go before the
  // apartment closes.
  modMain::ReleaseOutlookApp();
  return exit_code;
}

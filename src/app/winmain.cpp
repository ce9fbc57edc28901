#include <windows.h>

#include <new>
#include <string>

#include "driver/frm_capture.h"
#include "driver/mod_main.h"
#include "mail/mapi_helper.h"
#include "mail/session.h"
#include "platform/runtime/app.h"
#include "platform/runtime/errors.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
  // Libraries come from the system folder only, never from ours: the screenshots are written there, so
  // anyone can put a DLL of a system name beside us ("Dynamic-Link Library Security",
  // SetDefaultDllDirectories). The libraries the shell loads for "Show in folder" follow this too.
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Started again by a run, to make the default mail program's call where it cannot take the run down.
  if (mail::IsHelperCommand(arguments)) return mail::RunHelper(arguments);
  // The mail calls' apartment, filter and application object, held to the end of the process; nothing
  // is entered until the first mail call, after the question.
  mail::Session mail_session;
  using modMain::FailureKind;
  using modMain::RunFailure;
  modMain::Outcome outcome;
  // Main tells the failures of the run itself; what escapes it failed before there was a screenshot.
  try {
    outcome = modMain::Main(mail_session);
  } catch (const rt::Error& error) {
    outcome = modMain::Failed(mail_session, RunFailure(FailureKind::kOther, error), L"");
  } catch (const std::bad_alloc&) {
    outcome = modMain::Failed(mail_session, RunFailure(FailureKind::kOutOfMemory, rt::OutOfMemoryError()), L"");
  } catch (const std::exception& error) {
    const std::string what = error.what();
    outcome = modMain::Failed(mail_session, RunFailure(FailureKind::kOther,
                                         rt::Error(rt::kErrInternal, rt::App::EXEName(),
                                                   L"Internal error: " + std::wstring(what.begin(), what.end()))),
                              L"");
  }
  frmCapture::Unload();
  // The application object goes now, under the calls' deadline, so that giving up on a mail program
  // stuck while it quits still ends the run as given up.
  mail_session.LetGo();
  if (mail_session.GaveUp()) outcome.kind = modMain::Outcome::Kind::kGaveUp;
  return modMain::ExitCode(outcome);  // the session ends here: filter, watchdog, apartment
}

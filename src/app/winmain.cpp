#include <windows.h>

#include <string_view>

#include "driver/mod_main.h"
#include "mail/mapi_helper.h"
#include "mail/session.h"
#include "text/text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
  // Libraries come from the system folder only, never from ours: the screenshots are written there, so
  // anyone can put a DLL of a system name beside us ("Dynamic-Link Library Security",
  // SetDefaultDllDirectories). The libraries the shell loads for "Show in folder" follow this too.
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Started again by a run, to make the default mail program's call where it cannot take the run down.
  if (mail::IsHelperCommand(arguments)) return mail::RunHelper(arguments);
  // Orvane takes no arguments: "/?", or any word, from someone who wants to know what it does, gets
  // that in a few lines instead of a picture of the window in front.
  if (arguments && std::wstring_view(arguments).find_first_not_of(L" \t") != std::wstring_view::npos) {
    ::MessageBoxW(nullptr,
                  text::Format(text::Id::kSettings_About, ORVANE_VERSION_TEXT, text::Get(text::Id::kSettings_Title)).c_str(),
                  L"Orvane", MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
    return 0;
  }
  // The mail calls' apartment, filter and application object, held to the end of the process; nothing
  // is entered until the first mail call, after the question.
  mail::Session mail_session;
  return modMain::ExitCode(modMain::Main(mail_session));  // the session ends here: filter, watchdog, apartment
}

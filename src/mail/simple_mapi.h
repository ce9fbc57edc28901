#pragma once
// Handing the mail to the default mail program through Simple MAPI, on machines whose mail program
// has no automation interface (the new Outlook app, Thunderbird, eM Client and the like).

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "mail/recipient_parts.h"
#include "mail/session.h"
#include "platform/runtime/failure.h"

namespace mail {

struct Recipient {
  std::wstring name;     // empty when the setting gave only an address
  std::wstring address;
};

// The addresses of the Recipient setting: separated by semicolons, each "address" or "Name <address>";
// blanks around the parts and empty parts are dropped.
std::vector<Recipient> SplitRecipients(std::wstring_view setting);

// Whether a default mail program is registered for Simple MAPI: the default value of
// Software\Clients\Mail (the user's first, else the machine's) names a client key with DLLPath or
// DLLPathEx.
bool DefaultMailProgramRegistered();

// The default mail program's name as its registration gives it (the client key's default value, else
// the key's name); empty when none is chosen.
std::wstring DefaultMailProgramName();

// The executable that a command line of the registry starts: the quoted part, or up to ".exe".
std::wstring ProgramOfCommand(std::wstring_view command);

// Shows a new mail in the default mail program, owned by `owner`, with the file attached, the
// recipients on its To line and the subject; it is never sent by us. True when the mail program took
// it, false when the user closed it (MAPI_USER_ABORT). Failures are raised as rt::Failure naming the
// program: any other answer as kMailProgramRefused, with the mail program's code and a description
// naming it; a library that crashed (the number is the exception's code) or ended its process itself
// as kMailProgramCrashed; giving up as kGaveUp; a library that cannot be loaded, or a helper that
// cannot be run, as kOther with the system's error.
//
// The call is made by a helper process (`helper_program`, empty: this executable, started again), so
// that a library that crashes or hangs never ends the run. The hand-over has the session's start
// deadline, which does not run while the mail program shows a window (one that came up since the call
// began, of the helper or of another program but not of ours or the shell's, and answering); giving up
// at the question ends the helper and raises, with the session's GaveUp set. `was_in_front` is the
// window the user was in, whose showing again is no sign of the mail program.
bool ShowMailInDefaultProgram(Session& session, HWND owner, HWND was_in_front, const std::wstring& attachment_path,
                              const std::wstring& subject, const std::wstring& recipients,
                              const std::wstring& helper_program = {});

// The call itself, in this process, as the helper makes it: the default mail program's answer.
// Raises the system's error when its library cannot be loaded.
ULONG SendThroughMapi(HWND owner, const std::wstring& attachment_path, const std::wstring& subject,
                      const std::wstring& recipients);

// What ended a helper that gave no answer, from its exit code: "crashed: access violation
// (0xC0000005)", or the code it ended with.
std::wstring HowTheLibraryEnded(DWORD exit_code);

// The name of a Simple MAPI result code ("MAPI_E_FAILURE"), or its number.
std::wstring MapiCodeName(ULONG code);

}  // namespace mail

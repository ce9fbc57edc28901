#pragma once
// Handing the mail to the default mail program through Simple MAPI, on machines whose mail program
// has no automation interface (the new Outlook app, Thunderbird, eM Client and the like).

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

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

// Shows a new mail in the default mail program, owned by `owner`, with the file attached, the
// recipients on its To line and the subject; it is never sent by us. True when the mail program took
// it, false when the user closed it (MAPI_USER_ABORT). Any other answer is raised, as the mail
// program's code with a description naming it.
bool ShowMailInDefaultProgram(HWND owner, const std::wstring& attachment_path, const std::wstring& subject,
                              const std::wstring& recipients);

// The name of a Simple MAPI result code ("MAPI_E_FAILURE"), or its number.
std::wstring MapiCodeName(ULONG code);

}  // namespace mail

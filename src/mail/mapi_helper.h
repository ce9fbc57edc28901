#pragma once
// The Simple MAPI call in a process of its own: orvane.exe started again with the helper's switch
// makes the one call and ends. The default mail program's library is loaded into the process that
// calls it, so there a library that crashes takes only the helper down, and one that hangs is ended
// with the helper when the user gives up, while the run goes on to tell the user.

#include <windows.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mail {

class Session;

// What the helper is handed: the mail, and the window that owns the mail program's window.
struct MailForHelper {
  HWND owner = nullptr;
  std::wstring attachment_path;
  std::wstring subject;
  std::wstring recipients;
};

// How the helper ended.
struct HelperEnd {
  enum class Kind {
    kAnswered,   // the library answered: `code` is its result (SUCCESS_SUCCESS, MAPI_USER_ABORT, MAPI_E_...)
    kNotLoaded,  // the library could not be loaded: `code` is the system's error, as an HRESULT
    kBroke,      // the helper ended without an answer: `code` is its exit code, the exception's code when
                 // the library crashed
    kGivenUp,    // the user gave up waiting for the mail program, and the helper was ended
  };
  Kind kind;
  DWORD code;
};

// Makes the call in a helper started from `program` (empty: this executable) and waits for it with
// this thread's messages answered. The wait has the session's start deadline, which does not run while
// `up` says that the mail program shows a window; when the user gives up, the helper is ended. Raises
// the system's error when the helper cannot be started.
HelperEnd CallInHelperProcess(Session& session, const MailForHelper& mail, const std::wstring& program,
                              std::function<bool()> up);

// Whether the command line (without the program's name) is the one that starts a helper.
bool IsHelperCommand(std::wstring_view arguments);
// The helper's whole run: reads the mail handed over, makes the call and hands the answer back; the
// process's exit code. A crash ends it with the exception's code and no crash dialog.
int RunHelper(std::wstring_view arguments);

// The block that carries the mail to the helper and its answer back; the mail read from one, none
// when the block is not whole.
std::vector<std::byte> HandOverBlock(const MailForHelper& mail);
std::optional<MailForHelper> ReadHandOver(const std::byte* block, size_t size);

}  // namespace mail

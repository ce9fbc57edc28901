#pragma once
// Putting the screenshot in front of the user as a new, unsent mail, through the desktop mail
// program's automation interfaces. Every member is called by dispatch ID on the published interface.

#include <windows.h>
#include <oleauto.h>

#include <optional>
#include <string>

#include "mail/dispatch.h"
#include "mail/outlook_ids.h"
#include "platform/runtime/failure.h"

namespace modMain {

// What became of the mail: shown, or refused when it was to be created or filled in, with the failure
// (the mail program's error, of the kind its report needs) and, for a mail not filled in, the member
// that refused (Attachments or Add, To, Subject, Display).
struct DraftResult {
  enum class Stage { kShown, kNotCreated, kNotFilledIn };
  Stage stage = Stage::kShown;
  std::optional<rt::Failure> error;
  const mail::Member* failed_at = nullptr;
};

// Whether the mail program's application class names a server to start
// (HKCR\CLSID\{...}\LocalServer32): where it does, a run takes its mail through the automation.
bool AutomationRegistered();

// Both run in the process's mail session (mail/session.h), which each call is watched by.

// Makes sure the mail program shows a main window: when it has none, opens one on the Inbox,
// activates it and then sets it to lWindowState (1 = minimised). Failures are raised as rt::Failure,
// with the number and description the mail program or the system gave: kMailProgramMissing where no
// desktop mail program with automation is installed (the class is not registered), kMailProgramDidNotStart
// where it is and did not come up, kGaveUp where the user gave up waiting, else as KindOfAutomationFailure.
void EnsureOutlookWindow(mail::Session& session, LONG lWindowState);

// Creates a mail, attaches the file, sets To and Subject and displays it. A failure to create the mail
// or to fill it in stops there and is returned for the caller to tell. Raises only when the user has
// given up on a mail program that stopped answering (kGaveUp).
DraftResult ComposeMailDraft(mail::Session& session, const std::wstring& sAttachmentPath,
                             const std::wstring& sSubject, const std::wstring& sRecipient);

// What a failed call to the mail program's automation means to the user, from the code it gave: not
// installed, out of reach (another user or other rights), busy or closed meanwhile, out of memory, or
// something else.
rt::FailureKind KindOfAutomationFailure(const rt::Error& error);

}  // namespace modMain

namespace outlook {

// The members the program calls, with the dispatch IDs of the type library.
using mail::Call;
inline constexpr mail::Member kActiveExplorer{dispid::kActiveExplorer, Call::kMethodOrGet, L"ActiveExplorer"};
inline constexpr mail::Member kGetNamespace{dispid::kGetNamespace, Call::kMethodOrGet, L"GetNamespace"};
inline constexpr mail::Member kCreateItem{dispid::kCreateItem, Call::kMethodOrGet, L"CreateItem"};
inline constexpr mail::Member kGetDefaultFolder{dispid::kGetDefaultFolder, Call::kMethodOrGet, L"GetDefaultFolder"};
inline constexpr mail::Member kGetExplorer{dispid::kGetExplorer, Call::kMethodOrGet, L"GetExplorer"};
inline constexpr mail::Member kActivate{dispid::kActivate, Call::kMethod, L"Activate"};
inline constexpr mail::Member kWindowState{dispid::kWindowState, Call::kPut, L"WindowState"};
inline constexpr mail::Member kAttachments{dispid::kAttachments, Call::kGet, L"Attachments"};
inline constexpr mail::Member kTo{dispid::kTo, Call::kPut, L"To"};
inline constexpr mail::Member kSubject{dispid::kSubject, Call::kPut, L"Subject"};
inline constexpr mail::Member kDisplay{dispid::kDisplay, Call::kMethod, L"Display"};
inline constexpr mail::Member kAdd{dispid::kAdd, Call::kMethodOrGet, L"Add"};

}  // namespace outlook

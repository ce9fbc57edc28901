#pragma once
// Putting the screenshot in front of the user as a new, unsent mail, through the desktop mail
// program's automation interfaces. Every member is called by dispatch ID on the published interface.

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace modMain {

// Makes sure the mail program shows a main window: when it has none, opens one on the Inbox,
// activates it and then sets it to lWindowState (1 = minimised). Failures are raised with the
// number and description the mail program or the system gave.
void EnsureOutlookWindow(LONG lWindowState);

// Creates a mail, attaches the file, sets To and Subject and displays it. Never raises: a failure to
// create the mail passes silently, a failure while filling it in shows "Problem creating email message".
void ComposeMailDraft(const std::wstring& sAttachmentPath, const std::wstring& sSubject,
                      const std::wstring& sRecipient);

// Enters the single-threaded apartment the mail calls need, once per process (the operations above
// enter it themselves; a caller that registers a message filter first calls this before). Nothing
// before the question needs it, and entering it costs tens of milliseconds.
void PrepareOutlookCalls();

// Lets go of the application object ComposeMailDraft keeps, then leaves the apartment; called once, as
// the process ends.
void ReleaseOutlookApp();

}  // namespace modMain

namespace outlook {

inline constexpr CLSID kClsidApplication = {0x0006F03A, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidApplication = {0x00063001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidNameSpace = {0x00063002, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidExplorer = {0x00063003, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidMAPIFolder = {0x00063006, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidMailItem = {0x00063034, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidAttachments = {0x0006303C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Dispatch IDs of the members the program calls.
inline constexpr DISPID kActiveExplorer = 0x111;
inline constexpr DISPID kGetNamespace = 0x110;
inline constexpr DISPID kCreateItem = 0x10A;
inline constexpr DISPID kGetDefaultFolder = 0x210B;
inline constexpr DISPID kGetExplorer = 0x3101;
inline constexpr DISPID kActivate = 0x2113;
inline constexpr DISPID kWindowState = 0x2112;
inline constexpr DISPID kAttachments = 0xF815;
inline constexpr DISPID kTo = 0xE04;
inline constexpr DISPID kSubject = 0x37;
inline constexpr DISPID kDisplay = 0xF0A6;
inline constexpr DISPID kAdd = 0x65;

inline constexpr LONG olFolderInbox = 6;
inline constexpr LONG olMailItem = 0;
inline constexpr LONG olMinimized = 1;

}  // namespace outlook

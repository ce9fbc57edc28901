#pragma once
// A stand-in for the desktop mail program's automation server, for machines without it (tests, demo).
// It answers the members Orvane calls, by dispatch ID, shows real windows and journals every call.
//
// Settings under HKEY_CURRENT_USER\Software\OrvaneStandIn\Outlook, read at every call:
//   Journal  (text)  file that receives one UTF-8 line per call
//   FailAt   (text)  the step to fail: CreateObject, ActiveExplorer, GetNamespace, GetDefaultFolder,
//                    GetExplorer, Activate, WindowState, CreateItem, CreateItem:NotMail, Attachments,
//                    Attachments.Add, To, Subject or Display
//   FailWith (text)  what the step of FailAt answers, as a hexadecimal HRESULT, instead of the mail
//                    program's exception: 0x800706BE (the remote procedure call failed) is what a
//                    client is answered when the mail program is closed or killed during its call
//   HangAt   (text)  the step to stop answering at, as a mail program that hangs: Start (before it
//                    registers its class, so it never comes up), CreateObject, or a step of FailAt
//   HangMs   (text)  for how long it hangs there, in milliseconds (empty: for good)
//   BusyMs   (text)  for this many milliseconds after it starts, every call is turned away with
//                    "retry later", as a mail program that is still starting does

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "mail/outlook_ids.h"
#include "standin/names.h"

namespace standin {

using outlook::kClsidApplication;
using outlook::kProgId;
inline constexpr const wchar_t* kSettingsKey = names::kOutlookSettings;
using names::kWakeEvent;  // manual reset

std::wstring Setting(const wchar_t* name);
void Journal(const std::wstring& line);
// True when the stand-in was told to fail at this step.
bool FailsAt(const std::wstring& step);
// The failure it was told to answer with (FailWith); S_OK for the mail program's own exception.
HRESULT FailureCode();
// Stops answering here, without pumping a message, when told to hang at this step.
void HangIfAt(const std::wstring& step);

// Server lifetime: the process stays while objects, locks or windows live.
void ObjectCreated();
void ObjectDestroyed();
void LockServer(bool lock);
void WindowOpened();
void WindowClosed();
void CheckForExit();

// Windows.
struct MailContents {
  std::wstring to, subject;
  std::vector<std::wstring> attachments;
};
HWND CreateExplorerWindow(const std::wstring& folder_name);
HWND ActiveExplorerWindow();
void ActivateExplorer(HWND explorer);
void SetExplorerState(HWND explorer, LONG state);
LONG ExplorerState(HWND explorer);
void ShowMailWindow(const MailContents& mail);
// Closes every window of the stand-in in any process (the /Quit command), which ends each server, and
// waits for the servers to end; false when one is still running 10 s later.
bool CloseAllStandInWindows();
// The hidden window through which /Quit ends a server.
HWND CreateControlWindow();
// Whether /Quit has asked this server to end. Its loop checks after every message, since a quit
// message posted while a nested loop runs (a call under way, a box open) may end only that loop.
bool QuitRequested();

// The class factory for the application object.
IClassFactory* NewApplicationFactory();

// Registration.
int RegisterServer();
int UnregisterServer();

}  // namespace standin

// A stand-in for a default mail program's Simple MAPI library (tests and demo only): MAPISendMailW and
// MAPISendMail journal what they are given and show the mail in a window of their own until it is
// closed, as a mail program's compose window does when asked with MAPI_DIALOG.
//
// Settings under HKEY_CURRENT_USER\Software\Orvane\MapiStandIn, read at every call:
//   Journal  (text)  file that receives one UTF-8 line per call
//   Answer   (text)  "UserAbort": answer MAPI_USER_ABORT, as when the user closes the mail unsent;
//                    "Failure": answer MAPI_E_FAILURE; both at once, without a window;
//                    "Hang": never answer and show nothing, as a mail program stuck on its start;
//                    "Slow": show nothing for three seconds, then carry on as usual, as a mail
//                    program slow to start;
//                    "Crash": write through a null pointer, as a broken library does;
//                    "Vanish": show the mail for four seconds, then close it and never answer;
//                    "Frozen": show the mail, then stop taking its messages and never answer
//
// Registered with regsvr32 as the machine's default mail program
// (HKLM\Software\Clients\Mail\<name>, DLLPath); it refuses where another default is registered, and
// unregistering removes only its own entries.

#include <windows.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "mail/mapi_w.h"
#include "standin/journal.h"
#include "standin/names.h"

namespace {

constexpr const wchar_t* kSettingsKey = standin::names::kMapiSettings;
constexpr wchar_t kClientName[] = L"Orvane MAPI Stand-in";
constexpr wchar_t kMailClients[] = L"Software\\Clients\\Mail";
constexpr const wchar_t* kWindowClass = standin::names::kMapiMailClass;

HMODULE g_module = nullptr;

std::wstring Setting(const wchar_t* name) { return standin::SettingUnder(kSettingsKey, name); }

std::wstring Text(const wchar_t* text) { return text ? text : L""; }
std::wstring Text(const char* text) {
  if (!text) return {};
  const int size = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(size > 0 ? size - 1 : 0), L'\0');
  if (size > 1) ::MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), size);
  return out;
}

const wchar_t* ClassName(ULONG recipient_class) {
  switch (recipient_class) {
    case MAPI_ORIG:
      return L"MAPI_ORIG";
    case MAPI_TO:
      return L"MAPI_TO";
    case MAPI_CC:
      return L"MAPI_CC";
    case MAPI_BCC:
      return L"MAPI_BCC";
    default:
      return L"?";
  }
}

// One mail as it arrived, whichever character set it came in.
struct Mail {
  std::wstring subject;
  std::vector<std::wstring> recipients;  // "MAPI_TO name <address>"
  std::vector<std::wstring> files;       // "path | display name"
};

template <typename Message>
Mail Read(const Message* message) {
  Mail mail;
  if (!message) return mail;
  mail.subject = Text(message->lpszSubject);
  for (ULONG i = 0; i < message->nRecipCount && message->lpRecips; ++i) {
    const auto& r = message->lpRecips[i];
    mail.recipients.push_back(std::wstring(ClassName(r.ulRecipClass)) + L" " + Text(r.lpszName) + L" <" +
                              Text(r.lpszAddress) + L">");
  }
  for (ULONG i = 0; i < message->nFileCount && message->lpFiles; ++i)
    mail.files.push_back(Text(message->lpFiles[i].lpszPathName) + L" | " + Text(message->lpFiles[i].lpszFileName));
  return mail;
}

std::wstring Joined(const std::vector<std::wstring>& parts) {
  std::wstring out;
  for (const auto& part : parts) out += (out.empty() ? L"" : L"; ") + part;
  return out;
}

LRESULT CALLBACK MailProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_SIZE) {
    if (HWND text = ::GetWindow(window, GW_CHILD)) ::MoveWindow(text, 8, 8, LOWORD(lparam) - 16, HIWORD(lparam) - 16, TRUE);
    return 0;
  }
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

// Takes the thread's messages until the mail window is closed or `ms` have passed.
void TakeMessages(DWORD ms) {
  const ULONGLONG until = ms == INFINITE ? ~0ull : ::GetTickCount64() + ms;
  for (ULONGLONG now = ::GetTickCount64(); now < until; now = ::GetTickCount64()) {
    const DWORD wait = ms == INFINITE ? INFINITE : static_cast<DWORD>(until - now);
    if (::MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE) != WAIT_OBJECT_0) continue;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
}

// Never answers, and takes no message either.
[[noreturn]] void Hang() {
  for (;;) ::Sleep(1000);
}

// The mail in a window owned by `owner`, which it disables as a modal window does; null when the
// window cannot be made.
HWND OpenMailWindow(HWND owner, const Mail& mail) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = MailProc;
  window_class.hInstance = g_module;
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = kWindowClass;
  ::RegisterClassExW(&window_class);  // fails harmlessly when already registered
  const std::wstring title = L"New mail - " + mail.subject;
  HWND window = ::CreateWindowExW(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  560, 220, owner, nullptr, g_module, nullptr);
  if (!window) return nullptr;
  const std::wstring body = L"To: " + Joined(mail.recipients) + L"\r\nSubject: " + mail.subject +
                            L"\r\nAttached: " + Joined(mail.files);
  ::CreateWindowExW(0, L"EDIT", body.c_str(), WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY, 8, 8, 520, 160,
                    window, nullptr, g_module, nullptr);
  if (owner) ::EnableWindow(owner, FALSE);
  ::ShowWindow(window, SW_SHOWNORMAL);
  ::SetForegroundWindow(window);
  return window;
}

// The mail in a window until the user closes it; with `shown_ms`, the window closes by itself then.
void ShowModal(HWND owner, const Mail& mail, DWORD shown_ms = INFINITE) {
  HWND window = OpenMailWindow(owner, mail);
  if (!window) return;
  TakeMessages(shown_ms);
  if (::IsWindow(window)) {
    ::DestroyWindow(window);
    TakeMessages(0);  // its WM_QUIT
  }
  if (owner) ::EnableWindow(owner, TRUE);
}

ULONG Answer(const wchar_t* entry, const Mail& mail, ULONG_PTR ui_param, FLAGS flags) {
  wchar_t flag_text[16];
  ::swprintf(flag_text, 16, L"0x%08lx", static_cast<unsigned long>(flags));
  standin::AppendJournal(Setting(L"Journal"), std::wstring(entry) + L" flags=" + flag_text + L" owner=" +
                                                  (ui_param ? L"yes" : L"no") + L" subject=" + mail.subject +
                                                  L" recipients=[" + Joined(mail.recipients) + L"] files=[" +
                                                  Joined(mail.files) + L"]");
  const std::wstring answer = Setting(L"Answer");
  if (::lstrcmpiW(answer.c_str(), L"UserAbort") == 0) return MAPI_USER_ABORT;
  if (::lstrcmpiW(answer.c_str(), L"Failure") == 0) return MAPI_E_FAILURE;
  // The process that loaded us ends it; its waiting must not be ours to cut short.
  if (::lstrcmpiW(answer.c_str(), L"Hang") == 0) Hang();
  if (::lstrcmpiW(answer.c_str(), L"Slow") == 0) ::Sleep(3000);
  if (::lstrcmpiW(answer.c_str(), L"Crash") == 0) {
    int* volatile nowhere = nullptr;  // read at run time: the write cannot be proven to fault and dropped
    *nowhere = 1;
  }
  if (::lstrcmpiW(answer.c_str(), L"Vanish") == 0) {
    ShowModal(reinterpret_cast<HWND>(ui_param), mail, 4000);
    Hang();
  }
  if (::lstrcmpiW(answer.c_str(), L"Frozen") == 0) {
    if (OpenMailWindow(reinterpret_cast<HWND>(ui_param), mail)) TakeMessages(500);  // shown and painted
    Hang();
  }
  if (flags & MAPI_DIALOG) ShowModal(reinterpret_cast<HWND>(ui_param), mail);
  return SUCCESS_SUCCESS;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

ULONG WINAPI MAPISendMailW(LHANDLE, ULONG_PTR ui_param, MapiMessageW* message, FLAGS flags, ULONG) {
  return Answer(L"MAPISendMailW", Read(message), ui_param, flags);
}

ULONG WINAPI MAPISendMail(LHANDLE, ULONG_PTR ui_param, MapiMessage* message, FLAGS flags, ULONG) {
  return Answer(L"MAPISendMail", Read(message), ui_param, flags);
}

// Registers as the default mail program, unless another one is the default for the user or the machine.
HRESULT WINAPI DllRegisterServer() {
  for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    const std::wstring current = standin::RegistryText(hive, kMailClients, nullptr);
    if (!current.empty() && current != kClientName) return SELFREG_E_CLASS;  // a real client stays the default
  }
  wchar_t path[MAX_PATH * 4] = {};
  ::GetModuleFileNameW(g_module, path, MAX_PATH * 4);
  const std::wstring client_key = std::wstring(kMailClients) + L"\\" + kClientName;
  const auto put = [](const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    return ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_SZ, value.c_str(),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  };
  if (!put(client_key, nullptr, kClientName) || !put(client_key, L"DLLPath", path) ||
      !put(kMailClients, nullptr, kClientName))
    return SELFREG_E_CLASS;
  return S_OK;
}

// Removes its own entries only; another default stays as it is.
HRESULT WINAPI DllUnregisterServer() {
  if (standin::RegistryText(HKEY_LOCAL_MACHINE, kMailClients, nullptr) == kClientName)
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kMailClients, nullptr);
  const std::wstring client_key = std::wstring(kMailClients) + L"\\" + kClientName;
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, client_key.c_str());
  return S_OK;
}

}  // extern "C"

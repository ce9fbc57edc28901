#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/win/com_object.h"
#include "standin/journal.h"
#include "standin/outlook/standin.h"

namespace standin {
namespace {

using win::ComObject;

LONG g_objects = 0;
LONG g_locks = 0;
LONG g_windows = 0;
bool g_served = false;  // an object was made at least once
DWORD g_main_thread = 0;

}  // namespace

std::wstring Setting(const wchar_t* name) { return SettingUnder(kSettingsKey, name); }

void Journal(const std::wstring& line) { AppendJournal(Setting(L"Journal"), line); }

bool FailsAt(const std::wstring& step) { return ::lstrcmpiW(Setting(L"FailAt").c_str(), step.c_str()) == 0; }

HRESULT FailureCode() {
  const std::wstring code = Setting(L"FailWith");
  return code.empty() ? S_OK : static_cast<HRESULT>(std::wcstoul(code.c_str(), nullptr, 16));
}

void HangIfAt(const std::wstring& step) {
  if (::lstrcmpiW(Setting(L"HangAt").c_str(), step.c_str()) != 0) return;
  const std::wstring ms = Setting(L"HangMs");
  Journal(L"hang: " + step + L" " + (ms.empty() ? L"for good" : ms + L" ms"));
  // Until the time is up, or the tests wake every hung stand-in to shut it down cleanly: a server that
  // is killed instead leaves its class registration behind under Wine.
  HANDLE wake = ::CreateEventW(nullptr, TRUE, FALSE, kWakeEvent);
  ::WaitForSingleObject(wake, ms.empty() ? INFINITE : static_cast<DWORD>(_wtoi(ms.c_str())));
  if (wake) ::CloseHandle(wake);
}

void ObjectCreated() {
  ++g_objects;
  g_served = true;
}
void ObjectDestroyed() {
  --g_objects;
  CheckForExit();
}
void LockServer(bool lock) {
  g_locks += lock ? 1 : -1;
  CheckForExit();
}
void WindowOpened() { ++g_windows; }
void WindowClosed() {
  --g_windows;
  CheckForExit();
}

void CheckForExit() {
  // Like the real program, the server stays while anyone holds it or any of its windows is open.
  if (g_served && g_objects <= 0 && g_locks <= 0 && g_windows <= 0) ::PostThreadMessageW(g_main_thread, WM_QUIT, 0, 0);
}

// While the setting BusyMs says the program is still starting, incoming calls are turned away with
// "retry later", as the real program does in its first moments.
class BusyFilter final : public ComObject<IMessageFilter> {
 public:
  explicit BusyFilter(DWORD busy_ms) : busy_ms_(busy_ms), start_(::GetTickCount()) {}
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD type, HTASK, DWORD, LPINTERFACEINFO) override {
    if (type == CALLTYPE_TOPLEVEL || type == CALLTYPE_TOPLEVEL_CALLPENDING) {
      if (::GetTickCount() - start_ < busy_ms_) {
        Journal(L"busy: call turned away");
        return SERVERCALL_RETRYLATER;
      }
    }
    return SERVERCALL_ISHANDLED;
  }
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return static_cast<DWORD>(-1); }
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }

 protected:
  bool Answers(REFIID riid) const override { return ::IsEqualIID(riid, IID_IMessageFilter); }

 private:
  DWORD busy_ms_;
  DWORD start_;
};

}  // namespace standin

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int) {
  std::wstring command = command_line ? command_line : L"";
  auto has = [&](const wchar_t* flag) {
    std::wstring lower = command;
    for (auto& c : lower) c = static_cast<wchar_t>(::towlower(c));
    return lower.find(flag) != std::wstring::npos;
  };
  HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int result = 0;
  if (has(L"regserver") && !has(L"unregserver")) {
    result = standin::RegisterServer();
  } else if (has(L"unregserver")) {
    result = standin::UnregisterServer();
  } else if (has(L"quit")) {
    result = standin::CloseAllStandInWindows() ? 0 : 1;
  } else {
    standin::g_main_thread = ::GetCurrentThreadId();
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // make the thread's queue before anyone posts to it
    if (DWORD busy_ms = static_cast<DWORD>(_wtoi(standin::Setting(L"BusyMs").c_str()))) {
      auto* filter = new standin::BusyFilter(busy_ms);
      ::CoRegisterMessageFilter(filter, nullptr);
      filter->Release();  // COM holds it now
    }
    HWND control = standin::CreateControlWindow();
    standin::HangIfAt(L"Start");
    IClassFactory* factory = standin::NewApplicationFactory();
    DWORD cookie = 0;
    HRESULT hr = ::CoRegisterClassObject(standin::kClsidApplication, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                         &cookie);
    factory->Release();
    if (FAILED(hr)) {
      result = 1;
    } else {
      // Nobody came for an object within a minute: started by mistake.
      ::SetTimer(nullptr, 0, 60000, nullptr);
      while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr) {
          standin::g_served = true;
          standin::CheckForExit();
          continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
        if (standin::QuitRequested()) break;
      }
      ::CoRevokeClassObject(cookie);
    }
    if (control) ::DestroyWindow(control);
  }
  if (SUCCEEDED(init)) ::CoUninitialize();
  return result;
}

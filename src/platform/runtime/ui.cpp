#include "platform/runtime/ui.h"

#include <utility>

#include "platform/runtime/app.h"

namespace rt {
namespace {

HWND g_message_owner = nullptr;

int LogicalPixels(int index) {
  HDC screen = ::GetDC(nullptr);
  int value = screen ? ::GetDeviceCaps(screen, index) : 0;
  if (screen) ::ReleaseDC(nullptr, screen);
  return value > 0 ? value : 96;
}

// Watching the box of the MsgBox under way on this thread, from its creation to its first idle turn.
thread_local HWND t_box = nullptr;
constexpr UINT_PTR kCheckInFront = 0x4F52;

void CALLBACK CheckInFront(HWND box, UINT, UINT_PTR id, DWORD) {
  if (!::IsWindowVisible(box)) return;  // not shown yet: the next tick looks again
  ::KillTimer(box, id);
  if (::GetForegroundWindow() != box) ShowWhereToFind(box);
}

// The box is created and initialised inside MessageBoxW and shown after; a timer's message comes only
// when nothing else waits, so its first tick sees the box as shown.
LRESULT CALLBACK WatchForBox(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HC_ACTION && !t_box) {
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lparam);
    if (message->message == WM_INITDIALOG) {
      t_box = message->hwnd;
      ::SetTimer(t_box, kCheckInFront, USER_TIMER_MINIMUM, CheckInFront);
    }
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

int MsgBox(std::wstring_view prompt, UINT style, std::wstring_view title) {
  std::wstring text(prompt);
  std::wstring caption(title.empty() ? App::Title() : std::wstring(title));
  HWND owner = g_message_owner ? g_message_owner : ::GetActiveWindow();
  if (!(style & MB_SETFOREGROUND)) return ::MessageBoxW(owner, text.c_str(), caption.c_str(), style);

  // MB_SETFOREGROUND asks for the foreground, which the system grants a process started by the user's
  // last input (a shortcut key) but refuses once the user has clicked elsewhere ("Remarks" of
  // SetForegroundWindow). A refused box would wait behind the user's window while their Enter and Esc
  // go to that window, so it is then shown where to be found.
  HWND outer_box = std::exchange(t_box, nullptr);
  HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROCRET, WatchForBox, nullptr, ::GetCurrentThreadId());
  const int answer = ::MessageBoxW(owner, text.c_str(), caption.c_str(), style);
  if (hook) ::UnhookWindowsHookEx(hook);
  t_box = outer_box;
  return answer;
}

void ShowWhereToFind(HWND box) {
  // A box owned by a hidden window has no taskbar button; WS_EX_APPWINDOW gives it one. The taskbar
  // reads the style when the window is shown, so the box is hidden and shown again around the change
  // ("Managing Taskbar Buttons", The Taskbar, Windows Shell documentation).
  const LONG_PTR style = ::GetWindowLongPtrW(box, GWL_EXSTYLE);
  if (!(style & WS_EX_APPWINDOW)) {
    ::ShowWindow(box, SW_HIDE);
    ::SetWindowLongPtrW(box, GWL_EXSTYLE, style | WS_EX_APPWINDOW);
    ::ShowWindow(box, SW_SHOWNA);
  }
  FLASHWINFO flash{.cbSize = sizeof(FLASHWINFO), .hwnd = box, .dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG,
                   .uCount = 0, .dwTimeout = 0};
  ::FlashWindowEx(&flash);
}

void SetMessageOwner(HWND owner) { g_message_owner = owner; }

void DoEvents() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

float TwipsPerPixelX() { return 1440.0f / static_cast<float>(LogicalPixels(LOGPIXELSX)); }
float TwipsPerPixelY() { return 1440.0f / static_cast<float>(LogicalPixels(LOGPIXELSY)); }
float ScreenWidthTwips() { return static_cast<float>(::GetSystemMetrics(SM_CXSCREEN)) * TwipsPerPixelX(); }
float ScreenHeightTwips() { return static_cast<float>(::GetSystemMetrics(SM_CYSCREEN)) * TwipsPerPixelY(); }

float Timer() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  int millis = ((now.wHour * 60 + now.wMinute) * 60 + now.wSecond) * 1000 + now.wMilliseconds;
  return static_cast<float>(millis) / 1000.0f;
}

}  // namespace rt

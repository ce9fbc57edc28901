#include "desktop/desktop.h"

namespace desktop {
namespace {

constexpr wchar_t kSampleClass[] = L"OrvaneSampleWindow";

LRESULT CALLBACK SampleProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    RECT client;
    ::GetClientRect(window, &client);
    const int half_w = client.right / 2, half_h = client.bottom / 2;
    const RECT quadrants[4] = {{0, 0, half_w, half_h},
                               {half_w, 0, client.right, half_h},
                               {0, half_h, half_w, client.bottom},
                               {half_w, half_h, client.right, client.bottom}};
    for (int q = 0; q < 4; ++q) {
      HBRUSH brush = ::CreateSolidBrush(SampleWindow::QuadrantColour(q));
      ::FillRect(dc, &quadrants[q], brush);
      ::DeleteObject(brush);
    }
    HBRUSH black = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    ::FrameRect(dc, &client, black);
    ::EndPaint(window, &paint);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;
  return ::DefWindowProcW(window, message, wparam, lparam);
}

struct FindContext {
  DWORD process_id;
  const std::wstring* class_name;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  auto* context = reinterpret_cast<FindContext*>(param);
  DWORD owner_pid = 0;
  ::GetWindowThreadProcessId(window, &owner_pid);
  if (owner_pid != context->process_id || !::IsWindowVisible(window)) return TRUE;
  if (!context->class_name->empty()) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    if (*context->class_name != name) return TRUE;
  }
  context->found.push_back(window);
  return TRUE;
}

std::wstring TextOf(HWND window) {
  int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, 256);
  return name;
}

}  // namespace

COLORREF SampleWindow::QuadrantColour(int quadrant) {
  static const COLORREF colours[4] = {RGB(220, 30, 40), RGB(30, 180, 60), RGB(40, 60, 210), RGB(250, 230, 90)};
  return colours[quadrant & 3];
}

SampleWindow::SampleWindow(const std::wstring& title, int client_width, int client_height, int x, int y) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = SampleProc;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = kSampleClass;
  ::RegisterClassExW(&window_class);  // fails harmlessly when already registered
  RECT frame{0, 0, client_width, client_height};
  ::AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
  window_ = ::CreateWindowExW(0, kSampleClass, title.c_str(), WS_OVERLAPPEDWINDOW, x, y, frame.right - frame.left,
                              frame.bottom - frame.top, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (window_) {
    ::ShowWindow(window_, SW_SHOWNORMAL);
    ::UpdateWindow(window_);
  }
}

SampleWindow::~SampleWindow() {
  if (window_) ::DestroyWindow(window_);
  Pump();
}

bool SampleWindow::BringToFront(DWORD timeout_ms) {
  DWORD start = ::GetTickCount();
  do {
    ::SetForegroundWindow(window_);
    ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_FRAME);
    Pump();
    if (::GetForegroundWindow() == window_) {
      // Give the display a moment to show what was painted.
      for (int i = 0; i < 5; ++i) {
        Pump();
        ::Sleep(20);
      }
      return true;
    }
    ::Sleep(20);
  } while (::GetTickCount() - start < timeout_ms);
  return false;
}

void SampleWindow::Pump() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

std::vector<HWND> WindowsOf(DWORD process_id, const std::wstring& class_name) {
  FindContext context{process_id, &class_name, {}};
  ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&context));
  return context.found;
}

HWND WaitForDialog(DWORD process_id, DWORD timeout_ms, HANDLE process) {
  DWORD start = ::GetTickCount();
  do {
    SampleWindow::Pump();
    auto dialogs = WindowsOf(process_id, L"#32770");
    if (!dialogs.empty()) return dialogs.front();
    if (process && ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return nullptr;
    ::Sleep(15);
  } while (::GetTickCount() - start < timeout_ms);
  return nullptr;
}

DialogInfo ReadDialog(HWND dialog) {
  DialogInfo info;
  info.caption = TextOf(dialog);
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!::IsWindowVisible(child)) continue;
    std::wstring kind = ClassOf(child);
    LONG style = ::GetWindowLongW(child, GWL_STYLE);
    if (::lstrcmpiW(kind.c_str(), L"Button") == 0) {
      info.buttons.push_back(::GetDlgCtrlID(child));
    } else if (::lstrcmpiW(kind.c_str(), L"Static") == 0) {
      if ((style & SS_TYPEMASK) == SS_ICON) {
        info.has_icon = ::SendMessageW(child, STM_GETICON, 0, 0) != 0;
      } else if (info.text.empty()) {
        info.text = TextOf(child);
      }
    }
  }
  info.owner = ::GetWindow(dialog, GW_OWNER);
  if (info.owner) {
    info.owner_visible = ::IsWindowVisible(info.owner) != FALSE;
    info.owner_topmost = (::GetWindowLongW(info.owner, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    info.owner_class = ClassOf(info.owner);
  }
  return info;
}

bool Press(HWND dialog, int button_id) {
  HWND button = ::GetDlgItem(dialog, button_id);
  return ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) !=
         FALSE;
}

bool Close(HWND dialog) { return ::PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE; }

DWORD WaitForExit(HANDLE process, DWORD timeout_ms) {
  DWORD start = ::GetTickCount();
  for (;;) {
    DWORD wait = ::MsgWaitForMultipleObjects(1, &process, FALSE, 20, QS_ALLINPUT);
    if (wait == WAIT_OBJECT_0) break;
    SampleWindow::Pump();
    if (::GetTickCount() - start >= timeout_ms) return STILL_ACTIVE;
  }
  DWORD code = STILL_ACTIVE;
  ::GetExitCodeProcess(process, &code);
  return code;
}

}  // namespace desktop

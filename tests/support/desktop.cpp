#include "support/desktop.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace desktop {
namespace {

constexpr wchar_t kSampleClass[] = L"OrvaneSampleWindow";
constexpr wchar_t kCoverClass[] = L"OrvaneCoverWindow";

void FillColour(HDC dc, const RECT& area, COLORREF colour) {
  HBRUSH brush = ::CreateSolidBrush(colour);
  ::FillRect(dc, &area, brush);
  ::DeleteObject(brush);
}

// Panels, text, a gradient and a photograph-like corner: what a screenshot usually holds.
void PaintScreen(HDC dc, const RECT& client) {
  const int w = client.right, h = client.bottom;
  FillColour(dc, client, RGB(250, 250, 250));
  FillColour(dc, RECT{0, 0, w, 48}, RGB(32, 96, 168));                       // a toolbar
  FillColour(dc, RECT{0, 48, w / 6, h}, RGB(236, 238, 242));                 // a side panel
  for (int band = 0; band < 64; ++band) {                                    // a gradient strip
    const int x0 = w / 6 + band * (w - w / 6) / 64, x1 = w / 6 + (band + 1) * (w - w / 6) / 64;
    FillColour(dc, RECT{x0, 56, x1, 96}, RGB(255 - band * 2, 200 - band, 120 + band * 2));
  }
  ::SetBkMode(dc, TRANSPARENT);
  HGDIOBJ font = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
  static const wchar_t* const kWords[] = {L"quarterly", L"report", L"revenue", L"the", L"of", L"forecast", L"team",
                                          L"and", L"growth", L"2026", L"region", L"costs", L"margin", L"plan"};
  unsigned seed = 12345;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (int y = 110; y + 16 < h; y += 18) {
    ::SetTextColor(dc, (y / 18) % 9 == 0 ? RGB(20, 60, 160) : RGB(30, 30, 30));
    std::wstring line;
    while (line.size() < static_cast<size_t>(w) / 7) line += std::wstring(kWords[next() % 14]) + L" ";
    ::TextOutW(dc, w / 6 + 12, y, line.c_str(), static_cast<int>(line.size()) / 2);
    const wchar_t* label = kWords[next() % 14];
    ::TextOutW(dc, 8, y, label, ::lstrlenW(label));
  }
  ::SelectObject(dc, font);
  // A photograph: smooth colours with grain, over the bottom right quarter.
  const int pw = w / 2, ph = h / 3;
  if (pw > 0 && ph > 0) {
    std::vector<uint8_t> bits(static_cast<size_t>((pw * 3 + 3) & ~3) * ph);
    for (int y = 0; y < ph; ++y)
      for (int x = 0; x < pw; ++x) {
        uint8_t* p = bits.data() + static_cast<size_t>(y) * ((pw * 3 + 3) & ~3) + 3 * x;
        const int grain = static_cast<int>(next() % 24) - 12;
        p[0] = static_cast<uint8_t>(std::clamp(60 + 120 * y / ph + grain, 0, 255));
        p[1] = static_cast<uint8_t>(std::clamp(90 + 100 * x / pw + grain, 0, 255));
        p[2] = static_cast<uint8_t>(std::clamp(200 - 120 * x / pw + 40 * y / ph + grain, 0, 255));
      }
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{.biSize = sizeof(BITMAPINFOHEADER), .biWidth = pw, .biHeight = ph,
                                      .biPlanes = 1, .biBitCount = 24, .biCompression = BI_RGB, .biSizeImage = 0,
                                      .biXPelsPerMeter = 0, .biYPelsPerMeter = 0, .biClrUsed = 0, .biClrImportant = 0};
    ::SetDIBitsToDevice(dc, w - pw - 16, h - ph - 16, static_cast<DWORD>(pw), static_cast<DWORD>(ph), 0, 0, 0,
                        static_cast<UINT>(ph), bits.data(), &info, DIB_RGB_COLORS);
  }
}

LRESULT CALLBACK SampleProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    RECT client;
    ::GetClientRect(window, &client);
    if (::GetWindowLongPtrW(window, GWLP_USERDATA) == static_cast<LONG_PTR>(SampleWindow::Content::kScreen)) {
      PaintScreen(dc, client);
      ::EndPaint(window, &paint);
      return 0;
    }
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

LRESULT CALLBACK CoverProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    RECT client;
    ::GetClientRect(window, &client);
    FillColour(dc, client, static_cast<COLORREF>(::GetWindowLongPtrW(window, GWLP_USERDATA)));
    ::EndPaint(window, &paint);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;
  if (message == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
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
  if ((context->process_id != 0 && owner_pid != context->process_id) || !::IsWindowVisible(window)) return TRUE;
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

SampleWindow::SampleWindow(const std::wstring& title, int client_width, int client_height, int x, int y,
                           Content content) {
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
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, static_cast<LONG_PTR>(content));
    ::ShowWindow(window_, SW_SHOWNORMAL);
    ::UpdateWindow(window_);
  }
}

SampleWindow::~SampleWindow() {
  if (window_) ::DestroyWindow(window_);
  Pump();
}

CoverWindow::CoverWindow(const RECT& screen_area, COLORREF colour) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = CoverProc;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.lpszClassName = kCoverClass;
  ::RegisterClassExW(&window_class);  // fails harmlessly when already registered
  window_ = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kCoverClass, L"", WS_POPUP,
                              screen_area.left, screen_area.top, screen_area.right - screen_area.left,
                              screen_area.bottom - screen_area.top, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                              nullptr);
  if (window_) {
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, static_cast<LONG_PTR>(colour));
    ::ShowWindow(window_, SW_SHOWNOACTIVATE);
    ::UpdateWindow(window_);
    for (int i = 0; i < 5; ++i) {
      SampleWindow::Pump();
      ::Sleep(20);
    }
  }
}

CoverWindow::~CoverWindow() {
  if (window_) ::DestroyWindow(window_);
  SampleWindow::Pump();
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

namespace {

// The pixels of a screen rectangle, or of an icon drawn over a background of one colour, as 32-bit
// rows.
std::vector<uint32_t> PixelsOf(HDC source, int x, int y, int width, int height, HICON icon, COLORREF background) {
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{.biSize = sizeof(BITMAPINFOHEADER), .biWidth = width, .biHeight = -height,
                                    .biPlanes = 1, .biBitCount = 32, .biCompression = BI_RGB, .biSizeImage = 0,
                                    .biXPelsPerMeter = 0, .biYPelsPerMeter = 0, .biClrUsed = 0, .biClrImportant = 0};
  void* bits = nullptr;
  HDC memory = ::CreateCompatibleDC(source);
  HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::vector<uint32_t> pixels;
  if (bitmap && bits) {
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    if (icon) {
      FillColour(memory, RECT{0, 0, width, height}, background);
      ::DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    } else {
      ::BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    }
    ::GdiFlush();
    const auto* first = static_cast<const uint32_t*>(bits);
    pixels.assign(first, first + static_cast<size_t>(width) * height);
    for (uint32_t& p : pixels) p &= 0xFFFFFF;
    ::SelectObject(memory, old);
  }
  if (bitmap) ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  return pixels;
}

// Which of the system's message icons a message box's icon control shows, told by what is on the
// screen: icon handles belong to the process that loaded them, so another process's cannot be
// compared or drawn.
std::wstring IconOnScreen(HWND control) {
  ::RedrawWindow(control, nullptr, nullptr, RDW_UPDATENOW);
  RECT area{};
  ::GetWindowRect(control, &area);
  const int width = std::min<int>(area.right - area.left, ::GetSystemMetrics(SM_CXICON));
  const int height = std::min<int>(area.bottom - area.top, ::GetSystemMetrics(SM_CYICON));
  if (width <= 0 || height <= 0) return L"";
  HDC screen = ::GetDC(nullptr);
  const std::vector<uint32_t> shown = PixelsOf(screen, area.left, area.top, width, height, nullptr, 0);
  const struct {
    const wchar_t* id;
    const wchar_t* name;
  } known[] = {{IDI_QUESTION, L"question"}, {IDI_EXCLAMATION, L"exclamation"}, {IDI_HAND, L"error"},
               {IDI_ASTERISK, L"information"}};
  std::wstring best = L"other";
  size_t fewest = shown.size() / 20;  // a few pixels may differ at the edges where the icon is blended
  if (!shown.empty()) {
    const uint32_t corner = shown.front();  // the icons' corners are transparent
    const COLORREF background = RGB((corner >> 16) & 0xFF, (corner >> 8) & 0xFF, corner & 0xFF);
    for (const auto& k : known) {
      const std::vector<uint32_t> drawn =
          PixelsOf(screen, 0, 0, width, height, ::LoadIconW(nullptr, k.id), background);
      if (drawn.size() != shown.size()) continue;
      size_t differing = 0;
      for (size_t i = 0; i < drawn.size(); ++i) differing += drawn[i] != shown[i];
      if (differing <= fewest) {
        fewest = differing;
        best = k.name;
      }
    }
  }
  ::ReleaseDC(nullptr, screen);
  return best;
}

// The same, looked at again for a moment while a box that has just come up is still being drawn.
std::wstring IconShown(HWND control) {
  std::wstring icon = IconOnScreen(control);
  for (int tries = 0; icon == L"other" && tries < 20; ++tries) {
    ::Sleep(50);
    icon = IconOnScreen(control);
  }
  return icon;
}

}  // namespace

std::wstring ControlText(HWND window) {
  wchar_t text[2048] = {};
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &ignored);
  return text;
}

DialogInfo ReadDialog(HWND dialog) {
  DialogInfo info;
  info.caption = TextOf(dialog);
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    // The child's own style, not whether it shows now: a box hidden for a moment (to give it a taskbar
    // button) keeps its text and buttons.
    if (!(::GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE)) continue;
    std::wstring kind = ClassOf(child);
    LONG style = ::GetWindowLongW(child, GWL_STYLE);
    if (::lstrcmpiW(kind.c_str(), L"Button") == 0) {
      info.buttons.push_back(::GetDlgCtrlID(child));
    } else if (::lstrcmpiW(kind.c_str(), L"Static") == 0) {
      if ((style & SS_TYPEMASK) == SS_ICON) {
        info.has_icon = ::SendMessageW(child, STM_GETICON, 0, 0) != 0;
        if (info.has_icon) info.icon = IconShown(child);
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

std::vector<uint32_t> ScreenPixels(const RECT& area) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return {};
  HDC screen = ::GetDC(nullptr);
  std::vector<uint32_t> pixels = PixelsOf(screen, area.left, area.top, width, height, nullptr, 0);
  ::ReleaseDC(nullptr, screen);
  return pixels;
}

bool Click(HWND window) {
  RECT area{};
  if (!::GetWindowRect(window, &area)) return false;
  const int width = std::max(::GetSystemMetrics(SM_CXVIRTUALSCREEN), 1);
  const int height = std::max(::GetSystemMetrics(SM_CYVIRTUALSCREEN), 1);
  const int left = ::GetSystemMetrics(SM_XVIRTUALSCREEN), top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  // Absolute mouse positions are in 65536ths of the virtual screen.
  const LONG x = static_cast<LONG>(((area.left + area.right) / 2 - left) * 65535LL / (width - 1));
  const LONG y = static_cast<LONG>(((area.top + area.bottom) / 2 - top) * 65535LL / (height - 1));
  constexpr DWORD kWhere = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
  INPUT inputs[3] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_MOUSE;
    input.mi.dx = x;
    input.mi.dy = y;
  }
  inputs[0].mi.dwFlags = kWhere | MOUSEEVENTF_MOVE;
  inputs[1].mi.dwFlags = kWhere | MOUSEEVENTF_LEFTDOWN;
  inputs[2].mi.dwFlags = kWhere | MOUSEEVENTF_LEFTUP;
  const bool sent = ::SendInput(3, inputs, sizeof(INPUT)) == 3;
  ::Sleep(100);
  SampleWindow::Pump();
  return sent;
}

bool PressKeys(const std::vector<WORD>& virtual_keys) {
  // A keyboard sends the key's scan code with it, and marks the keys of the navigation block as
  // extended; programs that read either (a hotkey field does) see the key as typed.
  auto key_input = [](WORD key, DWORD up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    switch (key) {
      case VK_INSERT: case VK_DELETE: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
      case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
        input.ki.dwFlags = KEYEVENTF_EXTENDEDKEY;
        break;
      default:
        break;
    }
    input.ki.dwFlags |= up;
    return input;
  };
  std::vector<INPUT> inputs;
  for (WORD key : virtual_keys) inputs.push_back(key_input(key, 0));
  for (auto key = virtual_keys.rbegin(); key != virtual_keys.rend(); ++key) inputs.push_back(key_input(*key, KEYEVENTF_KEYUP));
  const bool sent = ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
  ::Sleep(100);
  SampleWindow::Pump();
  return sent;
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

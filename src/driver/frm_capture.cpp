#include "driver/frm_capture.h"

#include <memory>

#include "platform/runtime/errors.h"
#include "platform/runtime/ui.h"

namespace {

constexpr float kClientWidthTwips = 5295;
constexpr float kClientHeightTwips = 645;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

std::unique_ptr<frmCapture>& Instance() {
  static std::unique_ptr<frmCapture> form;
  return form;
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  // The form is never shown; closing it from outside just hides nothing and keeps it loaded.
  if (message == WM_CLOSE) return 0;
  return ::DefWindowProcW(window, message, wparam, lparam);
}

void RegisterFormClass() {
  static const bool registered = [] {
    WNDCLASSEXW window_class{
        .cbSize = sizeof(WNDCLASSEXW),
        .style = 0,
        .lpfnWndProc = FormProc,
        .cbClsExtra = 0,
        .cbWndExtra = 0,
        .hInstance = ::GetModuleHandleW(nullptr),
        .hIcon = nullptr,
        .hCursor = ::LoadCursorW(nullptr, IDC_ARROW),
        .hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
        .lpszMenuName = nullptr,
        .lpszClassName = frmCapture::kClassName,
        .hIconSm = nullptr,
    };
    return ::RegisterClassExW(&window_class) != 0;
  }();
  (void)registered;
}

int PixelsX(float twips) { return static_cast<int>(twips / rt::TwipsPerPixelX() + 0.5f); }
int PixelsY(float twips) { return static_cast<int>(twips / rt::TwipsPerPixelY() + 0.5f); }

}  // namespace

frmCapture& frmCapture::Load() {
  auto& form = Instance();
  if (!form) {
    form.reset(new frmCapture());
    form->Form_Load();
  }
  return *form;
}

void frmCapture::Unload() { Instance().reset(); }

frmCapture::frmCapture() {
  RegisterFormClass();
  RECT frame{0, 0, PixelsX(kClientWidthTwips), PixelsY(kClientHeightTwips)};
  ::AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  width_ = static_cast<float>(frame.right - frame.left) * rt::TwipsPerPixelX();
  height_ = static_cast<float>(frame.bottom - frame.top) * rt::TwipsPerPixelY();
  window_.reset(::CreateWindowExW(0, frmCapture::kClassName, L"Orvane", kStyle, 0, 0, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr));
  if (!window_) throw rt::OutOfMemoryError();
  // While the form is loaded it owns every message box, as it owns the question.
  rt::SetMessageOwner(window_.get());

  picScreenshot.hWnd = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, PixelsX(120),
                                         PixelsY(120), PixelsX(1200), PixelsY(480), window_.get(), nullptr,
                                         ::GetModuleHandleW(nullptr), nullptr);
  lblStatus.hWnd = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, PixelsX(540), PixelsY(180),
                                     PixelsX(4215), PixelsY(255), window_.get(), nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr);
  HDC screen = ::GetDC(nullptr);
  int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  // 9.75 points, bold.
  status_font_.reset(::CreateFontW(-::MulDiv(975, dpi, 7200), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif"));
  if (lblStatus.hWnd && status_font_)
    ::SendMessageW(lblStatus.hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(status_font_.get()), FALSE);
}

frmCapture::~frmCapture() { rt::SetMessageOwner(nullptr); }

void frmCapture::Form_Load() {
  left_ = rt::ScreenWidthTwips() / 2 - width_ / 2;
  top_ = rt::ScreenHeightTwips() / 2 - height_ / 2;
  ::SetWindowPos(window_.get(), nullptr, static_cast<int>(left_ / rt::TwipsPerPixelX()),
                 static_cast<int>(top_ / rt::TwipsPerPixelY()), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

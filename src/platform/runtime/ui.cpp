#include "platform/runtime/ui.h"

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

}  // namespace

int MsgBox(std::wstring_view prompt, UINT style, std::wstring_view title) {
  std::wstring text(prompt);
  std::wstring caption(title.empty() ? App::Title() : std::wstring(title));
  HWND owner = g_message_owner ? g_message_owner : ::GetActiveWindow();
  return ::MessageBoxW(owner, text.c_str(), caption.c_str(), style);
}

void SetMessageOwner(HWND owner) { g_message_owner = owner; }

std::wstring SavedScreenshotText(const std::wstring& saved) {
  return saved.empty() ? L"The screenshot was not saved." : L"The screenshot was saved as " + saved + L".";
}

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

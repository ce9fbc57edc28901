// The floor for start-up: a program that does only what must come before the question -- read the
// window in front from the screen, as a run does on a composited desktop -- and then asks it. Built
// like orvane.exe, so the difference to orvane.exe is what Orvane does besides.

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  RECT area{};
  ::GetWindowRect(::GetForegroundWindow(), &area);
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, area.right - area.left, area.bottom - area.top);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, area.right - area.left, area.bottom - area.top, screen, area.left, area.top,
           SRCCOPY | CAPTUREBLT);
  ::SelectObject(memory, old);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  ::MessageBoxW(nullptr,
                L"You have pressed Ctrl+Alt+S.\r\n\r\nAre you sure you want to e-mail a screenshot of the current "
                L"window Arvel?",
                L"Orvane", MB_OKCANCEL | MB_ICONQUESTION);
  ::DeleteObject(bitmap);
  return 0;
}

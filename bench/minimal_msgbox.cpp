// The yardstick for start-up: a program that only asks the question. Built like orvane.exe (static,
// same manifest and resources), so the difference in time to the question is what Orvane does first.

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  ::MessageBoxW(nullptr,
                L"You have pressed Ctrl+Alt+S.\r\n\r\nAre you sure you want to e-mail a screenshot of the current "
                L"window Arvel?",
                L"Orvane", MB_OKCANCEL | MB_ICONQUESTION);
  return 0;
}

// Holds Wine's desktop for as long as the session lasts, so that the desktop process is started once,
// here, with the standard handles this program was given, and never again by a test.
//
// Wine starts its desktop process (explorer.exe /desktop) from the first process that needs the
// desktop, which passes it its own standard handles, and the desktop process lives while any process
// uses the desktop. Started from a test, it holds the pipe CTest reads the test's output from, long
// after the test has ended, and CTest waits for that pipe until the test's timeout. The scripts start
// this program with its handles on /dev/null before any test, wait for the file it creates once the
// desktop is there, and end it with the Wine server.
//
//   keep_desktop READY_FILE

#include <windows.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  ::GetDesktopWindow();  // attaches this process to the desktop, starting the desktop process
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (argv && argc > 1) {
    HANDLE ready = ::CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready != INVALID_HANDLE_VALUE) ::CloseHandle(ready);
  }
  ::Sleep(INFINITE);
  return 0;
}

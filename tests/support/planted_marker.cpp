// A library planted in the program's folder under a system library's name by the tests: loading it
// leaves "<its path>.loaded" beside it. It exports nothing, so a program that imported it statically
// would not start at all.

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t path[MAX_PATH * 4];
    const DWORD length = ::GetModuleFileNameW(instance, path, MAX_PATH * 4 - 8);
    if (length > 0 && length < MAX_PATH * 4 - 8) {
      ::lstrcatW(path, L".loaded");
      HANDLE marker = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
    }
  }
  return TRUE;
}

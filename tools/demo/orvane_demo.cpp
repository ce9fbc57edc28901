// Shows a sample window, starts orvane.exe as a keyboard shortcut would, and answers its question
// with OK when asked to (nobody at the display); otherwise the user answers. Prints the JPEG written.
//
//   orvane_demo.exe APP_FOLDER [--auto-ok]

#include <windows.h>

#include <cstdio>
#include <string>

#include "desktop/desktop.h"

namespace {

std::wstring Listing(const std::wstring& folder) {
  std::wstring names;
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW((folder + L"\\Screenshot*.jpg").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names += std::wstring(L"|") + found.cFileName + L"|";
  while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

std::wstring NewScreenshot(const std::wstring& folder, const std::wstring& before) {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW((folder + L"\\Screenshot*.jpg").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  std::wstring result;
  do {
    if (before.find(std::wstring(L"|") + found.cFileName + L"|") == std::wstring::npos) result = found.cFileName;
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return result.empty() ? result : folder + L"\\" + result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: orvane_demo APP_FOLDER [--auto-ok]\n");
    return 2;
  }
  const std::wstring folder = argv[1];
  const bool auto_ok = argc > 2 && std::wstring(argv[2]) == L"--auto-ok";

  desktop::SampleWindow target(L"Quarterly report - Orvane demo", 480, 300, 120, 90);
  if (!target.BringToFront()) std::fwprintf(stderr, L"the sample window did not come to the front\n");

  const std::wstring before = Listing(folder);
  std::wstring exe = folder + L"\\orvane.exe";
  std::wstring command = L"\"" + exe + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
    std::fwprintf(stderr, L"cannot start %ls (error %lu)\n", exe.c_str(), ::GetLastError());
    return 1;
  }
  ::CloseHandle(process.hThread);

  HWND question = desktop::WaitForDialog(process.dwProcessId, 30000, process.hProcess);
  if (question) {
    desktop::DialogInfo info = desktop::ReadDialog(question);
    std::wprintf(L"question: %ls\n", info.text.c_str());
    if (auto_ok) {
      desktop::Press(question, IDOK);
      std::wprintf(L"answered: OK\n");
    } else {
      std::wprintf(L"waiting for your answer on the display...\n");
    }
  }
  std::fflush(stdout);
  DWORD code = desktop::WaitForExit(process.hProcess, auto_ok ? 60000 : INFINITE);
  ::CloseHandle(process.hProcess);
  std::wstring written = NewScreenshot(folder, before);
  if (!written.empty()) std::wprintf(L"written: %ls\n", written.c_str());
  else std::wprintf(L"no screenshot written (exit code %lu)\n", code);
  return code == 0 ? 0 : 1;
}

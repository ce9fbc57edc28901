// Shows a sample window, starts orvane.exe as a keyboard shortcut would, and answers its question
// with OK when asked to (nobody at the display); otherwise the user answers, and the demo ends when
// the user has closed the mail program stand-in's windows. Prints the JPEG written.
//
//   orvane_demo.exe APP_FOLDER [--auto-ok]

#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>

#include "support/desktop.h"

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

// The running mail program stand-in, or null.
HANDLE OpenMailStandIn() {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return nullptr;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  HANDLE process = nullptr;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !process; more = ::Process32NextW(snapshot, &entry)) {
    if (::lstrcmpiW(entry.szExeFile, L"outlook_standin.exe") == 0) {
      process = ::OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID);
    }
  }
  ::CloseHandle(snapshot);
  return process;
}

void Say(const wchar_t* text) {
  std::wprintf(L"%ls\n", text);
  std::fflush(stdout);
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
  if (!auto_ok) Say(L"orvane.exe started: its question shows on the display.");

  HWND question = desktop::WaitForDialog(process.dwProcessId, 30000, process.hProcess);
  if (question) {
    desktop::DialogInfo info = desktop::ReadDialog(question);
    std::wprintf(L"question: %ls\n", info.text.c_str());
    if (auto_ok) {
      desktop::Press(question, IDOK);
      Say(L"answered: OK");
    } else {
      Say(L"The question is waiting for your answer on the display (OK mails the picture, Cancel ends).");
    }
  }
  DWORD code = desktop::WaitForExit(process.hProcess, auto_ok ? 60000 : INFINITE);
  ::CloseHandle(process.hProcess);
  std::wstring written = NewScreenshot(folder, before);
  if (!written.empty()) std::wprintf(L"written: %ls\n", written.c_str());
  else std::wprintf(L"no screenshot written (exit code %lu)\n", code);
  if (!auto_ok) {
    // The mail stays on the display until the user closes it; ending Wine now would take it away.
    if (HANDLE mail = OpenMailStandIn()) {
      Say(L"The mail is open on the display: close the mail program's windows to end the demo.");
      ::WaitForSingleObject(mail, INFINITE);
      ::CloseHandle(mail);
    }
  }
  std::fflush(stdout);
  return code == 0 ? 0 : 1;
}

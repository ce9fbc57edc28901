#include "support/orvane_process.h"

#include <cstdio>
#include <stdexcept>

#include "support/desktop.h"

namespace testing_support {
namespace {

// CreateProcessW, tried again a few times: under a heavily loaded bench Wine has been seen to refuse a
// start now and then (twice in a day, each time with two other Wine test suites running beside). Each
// refusal is written to the test's output with its error code, so a bench that refuses for good still
// fails, and says why.
bool StartProcess(const std::wstring& exe, std::wstring& command, const wchar_t* folder, PROCESS_INFORMATION& info) {
  for (int attempt = 1;; ++attempt) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &info))
      return true;
    const DWORD error = ::GetLastError();
    std::fprintf(stderr, "[bench] CreateProcessW refused to start %ls (attempt %d): error %lu\n", exe.c_str(), attempt,
                 static_cast<unsigned long>(error));
    if (attempt == 3) return false;
    ::Sleep(500);
  }
}

}  // namespace

std::wstring BuildFolder() {
  wchar_t path[MAX_PATH * 4];
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring full(path, length);
  return full.substr(0, full.find_last_of(L"\\/"));
}

DWORD RunAndWait(const std::wstring& exe, const std::wstring& arguments, DWORD timeout_ms) {
  std::wstring command = L"\"" + exe + L"\" " + arguments;
  PROCESS_INFORMATION info{};
  if (!StartProcess(exe, command, nullptr, info)) return STILL_ACTIVE;
  ::CloseHandle(info.hThread);
  DWORD code = desktop::WaitForExit(info.hProcess, timeout_ms);
  ::CloseHandle(info.hProcess);
  return code;
}

void InstallOrvane(const std::wstring& app_folder, const std::string& ini_text, const std::wstring& exe_name) {
  std::wstring exe = app_folder + L"\\" + exe_name;
  if (!::CopyFileW((BuildFolder() + L"\\orvane.exe").c_str(), exe.c_str(), FALSE))
    throw std::runtime_error("cannot copy orvane.exe");
  if (!ini_text.empty()) WriteBytes(app_folder + L"\\Orvane.ini", ini_text);
}

OrvaneProcess::OrvaneProcess(const std::wstring& app_folder, const std::wstring& exe_name,
                             const std::wstring& working_folder) {
  std::wstring exe = app_folder + L"\\" + exe_name;
  std::wstring command = L"\"" + exe + L"\"";
  PROCESS_INFORMATION info{};
  const std::wstring& folder = working_folder.empty() ? app_folder : working_folder;
  if (StartProcess(exe, command, folder.c_str(), info)) {
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
  }
}

OrvaneProcess::~OrvaneProcess() {
  if (process_) {
    if (::WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) ::TerminateProcess(process_, 99);
    ::CloseHandle(process_);
  }
}

DWORD OrvaneProcess::WaitForExit(DWORD timeout_ms) {
  DWORD code = desktop::WaitForExit(process_, timeout_ms);
  if (code == STILL_ACTIVE) ::TerminateProcess(process_, 99);
  return code;
}

Said RunCapturing(const std::wstring& exe, const std::wstring& arguments) {
  SECURITY_ATTRIBUTES inherited{};
  inherited.nLength = sizeof inherited;
  inherited.bInheritHandle = TRUE;
  HANDLE read = nullptr, write = nullptr;
  Said said;
  if (!::CreatePipe(&read, &write, &inherited, 0)) return said;
  ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  std::wstring command = L"\"" + exe + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write;
  startup.hStdError = write;
  PROCESS_INFORMATION process{};
  const bool started = ::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process) != FALSE;
  ::CloseHandle(write);
  if (started) {
    std::string bytes;
    char buffer[4096];
    DWORD count = 0;
    while (::ReadFile(read, buffer, sizeof buffer, &count, nullptr) && count > 0) bytes.append(buffer, count);
    said.code = desktop::WaitForExit(process.hProcess, 30000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0) {
      said.text.assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    } else {
      said.text = L"<not UTF-16 with a byte-order mark>";
    }
  }
  ::CloseHandle(read);
  return said;
}

HWND BoxAfter(OrvaneProcess& run, HWND shown) {
  for (int i = 0; i < 200; ++i) {
    HWND candidate = desktop::WaitForDialog(run.id(), 100, run.handle());
    if (candidate && candidate != shown) return candidate;
  }
  return nullptr;
}

}  // namespace testing_support

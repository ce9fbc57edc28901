#include "support/standin.h"

#include <sstream>

#include "desktop/desktop.h"
#include "support/orvane_process.h"
#include "support/temp_folder.h"

namespace testing_support {
namespace {

constexpr wchar_t kSettings[] = L"Software\\Orvane\\OutlookStandIn";

void SetSetting(const wchar_t* name, const std::wstring& value) {
  ::RegSetKeyValueW(HKEY_CURRENT_USER, kSettings, name, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

struct Found {
  const wchar_t* window_class;
  std::vector<HWND> windows;
};

BOOL CALLBACK Collect(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<Found*>(param);
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  if (::lstrcmpW(name, found->window_class) == 0) found->windows.push_back(window);
  return TRUE;
}

}  // namespace

StandIn::StandIn() {
  Shutdown();
  Run(L"/RegServer");
  wchar_t temp[MAX_PATH + 1];
  ::GetTempPathW(MAX_PATH + 1, temp);
  journal_ = std::wstring(temp) + L"standin-journal-" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
  ClearJournal();
  SetSetting(L"Journal", journal_);
  SetSetting(L"FailAt", L"");
  SetSetting(L"BusyMs", L"");
}

StandIn::~StandIn() {
  Shutdown();
  SetSetting(L"FailAt", L"");
  SetSetting(L"BusyMs", L"");
  Run(L"/RegServer");  // a test may have removed it
  ::DeleteFileW(journal_.c_str());
}

int StandIn::Run(const std::wstring& arguments) {
  return static_cast<int>(RunAndWait(BuildFolder() + L"\\outlook_standin.exe", arguments, 30000));
}

void StandIn::FailAt(const std::wstring& step) { SetSetting(L"FailAt", step); }
void StandIn::BusyFor(DWORD milliseconds) { SetSetting(L"BusyMs", std::to_wstring(milliseconds)); }

void StandIn::ClearJournal() { ::DeleteFileW(journal_.c_str()); }

std::vector<std::string> StandIn::Journal(bool with_releases) const {
  std::vector<std::string> lines;
  if (!FileExists(journal_)) return lines;
  std::istringstream text(ReadBytes(journal_));
  std::string line;
  while (std::getline(text, line))
    if (with_releases || line.rfind("release ", 0) != 0) lines.push_back(line);
  return lines;
}

std::vector<HWND> StandIn::Windows(const wchar_t* window_class) {
  Found found{window_class, {}};
  ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&found));
  return found.windows;
}

void StandIn::Shutdown() {
  std::vector<HANDLE> processes;
  for (const wchar_t* window_class : {L"OrvaneStandInControl", L"OrvaneStandInMail", L"OrvaneStandInExplorer"})
    for (HWND window : Windows(window_class)) {
      DWORD pid = 0;
      ::GetWindowThreadProcessId(window, &pid);
      if (HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid)) processes.push_back(process);
    }
  Run(L"/Quit");
  for (HANDLE process : processes) {
    if (desktop::WaitForExit(process, 10000) == STILL_ACTIVE) ::TerminateProcess(process, 1);
    ::CloseHandle(process);
  }
}

}  // namespace testing_support

#include "support/standin.h"

#include <cwchar>
#include <sstream>

#include "standin/names.h"
#include "support/desktop.h"
#include "support/orvane_process.h"
#include "support/temp_folder.h"

namespace testing_support {
namespace {

using standin::names::kMapiSettings;
constexpr const wchar_t* kSettings = standin::names::kOutlookSettings;
constexpr wchar_t kMailtoClass[] = L"Software\\Classes\\mailto";

void SetSettingUnder(const wchar_t* key, const wchar_t* name, const std::wstring& value) {
  ::RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void SetSetting(const wchar_t* name, const std::wstring& value) { SetSettingUnder(kSettings, name, value); }

std::wstring FreshJournal(const wchar_t* prefix) {
  wchar_t temp[MAX_PATH + 1];
  ::GetTempPathW(MAX_PATH + 1, temp);
  std::wstring path = std::wstring(temp) + prefix + std::to_wstring(::GetCurrentProcessId()) + L".txt";
  ::DeleteFileW(path.c_str());
  return path;
}

std::vector<std::string> LinesOf(const std::wstring& path, bool with_releases) {
  std::vector<std::string> lines;
  if (!FileExists(path)) return lines;
  std::istringstream text(ReadBytes(path));
  std::string line;
  while (std::getline(text, line))
    if (with_releases || line.rfind("release ", 0) != 0) lines.push_back(line);
  return lines;
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
  journal_ = FreshJournal(L"standin-journal-");
  SetSetting(L"Journal", journal_);
  SetSetting(L"FailAt", L"");
  SetSetting(L"FailWith", L"");
  SetSetting(L"BusyMs", L"");
  SetSetting(L"HangAt", L"");
}

StandIn::~StandIn() {
  Shutdown();
  SetSetting(L"FailAt", L"");
  SetSetting(L"FailWith", L"");
  SetSetting(L"BusyMs", L"");
  SetSetting(L"HangAt", L"");
  Run(L"/RegServer");  // a test may have removed it
  ::DeleteFileW(journal_.c_str());
}

int StandIn::Run(const std::wstring& arguments) {
  return static_cast<int>(RunAndWait(BuildFolder() + L"\\outlook_standin.exe", arguments, 30000));
}

void StandIn::FailAt(const std::wstring& step, HRESULT with) {
  SetSetting(L"FailAt", step);
  wchar_t code[16] = {};
  if (FAILED(with)) ::swprintf(code, 16, L"%08lX", static_cast<unsigned long>(with));
  SetSetting(L"FailWith", code);
}
void StandIn::BusyFor(DWORD milliseconds) { SetSetting(L"BusyMs", std::to_wstring(milliseconds)); }
void StandIn::HangAt(const std::wstring& step, DWORD milliseconds) {
  SetSetting(L"HangAt", step);
  SetSetting(L"HangMs", milliseconds ? std::to_wstring(milliseconds) : L"");
}

void StandIn::ClearJournal() { ::DeleteFileW(journal_.c_str()); }

std::vector<std::string> StandIn::Journal(bool with_releases) const { return LinesOf(journal_, with_releases); }

std::vector<HWND> StandIn::Windows(const wchar_t* window_class) {
  Found found{window_class, {}};
  ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&found));
  return found.windows;
}

void StandIn::Shutdown() {
  // A stand-in told to hang is woken first, so that it ends cleanly rather than being killed.
  SetSetting(L"HangAt", L"");
  HANDLE wake = ::CreateEventW(nullptr, TRUE, FALSE, standin::names::kWakeEvent);
  if (wake) ::SetEvent(wake);
  std::vector<HANDLE> processes;
  for (const wchar_t* window_class : {standin::names::kControlClass, standin::names::kMailClass, standin::names::kExplorerClass})
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
  if (wake) {
    ::ResetEvent(wake);
    ::CloseHandle(wake);
  }
}

MapiStandIn::MapiStandIn() : journal_(FreshJournal(L"mapi-journal-")) {
  SetSettingUnder(kMapiSettings, L"Journal", journal_);
  SetSettingUnder(kMapiSettings, L"Answer", L"");
  Register();
}

MapiStandIn::~MapiStandIn() {
  for (HWND window : MailWindows()) ::PostMessageW(window, WM_CLOSE, 0, 0);
  Register(true);
  SetSettingUnder(kMapiSettings, L"Answer", L"");
  ::DeleteFileW(journal_.c_str());
}

int MapiStandIn::Register(bool remove) {
  wchar_t system[MAX_PATH + 1];
  ::GetSystemDirectoryW(system, MAX_PATH + 1);
  const std::wstring library = L"\"" + BuildFolder() + L"\\mapi_standin.dll\"";
  return static_cast<int>(
      RunAndWait(std::wstring(system) + L"\\regsvr32.exe", (remove ? L"/u /s " : L"/s ") + library, 30000));
}

void MapiStandIn::Answer(const std::wstring& answer) { SetSettingUnder(kMapiSettings, L"Answer", answer); }

std::vector<std::string> MapiStandIn::Journal() const { return LinesOf(journal_, true); }

std::vector<HWND> MapiStandIn::MailWindows() {
  std::vector<HWND> visible;
  for (HWND window : StandIn::Windows(standin::names::kMapiMailClass))
    if (::IsWindowVisible(window)) visible.push_back(window);
  return visible;
}

// Registered for the machine, as a browser's installer registers it: Wine's association lookup reads
// the machine's classes only, not the user's (HKCU\Software\Classes).
MailtoStandIn::MailtoStandIn(bool present) : journal_(FreshJournal(L"mailto-journal-")) {
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kMailtoClass);
  const auto put = [](const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_SZ, value.c_str(),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  };
  put(kMailtoClass, nullptr, L"URL:MailTo Protocol");
  put(kMailtoClass, L"URL Protocol", L"");
  put(std::wstring(kMailtoClass) + L"\\shell\\open\\command", nullptr,
      L"\"" + BuildFolder() + (present ? L"\\mailto_standin.exe" : L"\\uninstalled_mail_program.exe") + L"\" \"" +
          journal_ + L"\" \"%1\"");
}

MailtoStandIn::~MailtoStandIn() {
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kMailtoClass);
  ::DeleteFileW(journal_.c_str());
}

std::vector<std::string> MailtoStandIn::Journal() const { return LinesOf(journal_, true); }

std::vector<std::string> MailtoStandIn::WaitForJournal(size_t lines, DWORD timeout_ms) const {
  std::vector<std::string> journal = Journal();
  for (DWORD start = ::GetTickCount(); journal.size() < lines && ::GetTickCount() - start < timeout_ms;
       journal = Journal()) {
    desktop::SampleWindow::Pump();
    ::Sleep(20);
  }
  return journal;
}

}  // namespace testing_support

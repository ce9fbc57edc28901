// Time from process start to the question on screen: orvane.exe beside a program that only shows the
// same message box, started alternately with the same window in front, each answered with Cancel as
// soon as its question is visible. Prints medians and the ratio.
//
//   startup_bench APP_FOLDER MINIMAL_EXE [repetitions]

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "median.h"
#include "desktop/desktop.h"

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds until the program shows a dialog box, or a negative value when it did not.
double TimeToQuestion(const std::wstring& exe, const std::wstring& folder) {
  std::wstring command = L"\"" + exe + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const auto start = Clock::now();
  if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process))
    return -1;
  ::CloseHandle(process.hThread);
  double elapsed = -1;
  HWND dialog = nullptr;
  while (std::chrono::duration<double>(Clock::now() - start).count() < 20) {
    const auto found = desktop::WindowsOf(process.dwProcessId, L"#32770");
    if (!found.empty()) {
      elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      dialog = found.front();
      break;
    }
    if (::WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
    ::Sleep(1);
  }
  if (dialog) desktop::Press(dialog, IDCANCEL);
  if (desktop::WaitForExit(process.hProcess, 20000) == STILL_ACTIVE) ::TerminateProcess(process.hProcess, 1);
  ::CloseHandle(process.hProcess);
  return elapsed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: startup_bench APP_FOLDER MINIMAL_EXE [repetitions]\n");
    return 2;
  }
  const std::wstring folder = argv[1];
  const std::wstring orvane = folder + L"\\orvane.exe", minimal = argv[2];
  const int repetitions = argc > 3 ? std::max(1, _wtoi(argv[3])) : 21;

  desktop::SampleWindow window(L"Quarterly report - Orvane benchmark", 1904, 1040, 0, 0,
                               desktop::SampleWindow::Content::kScreen);
  std::vector<double> ours, theirs;
  for (int i = -1; i < repetitions; ++i) {  // one round to warm up, not counted
    for (int which = 0; which < 2; ++which) {
      const bool orvane_first = i % 2 == 0;
      const bool is_orvane = (which == 0) == orvane_first;
      window.BringToFront();
      const double ms = TimeToQuestion(is_orvane ? orvane : minimal, folder);
      if (ms < 0) {
        std::fwprintf(stderr, L"%ls showed no question\n", is_orvane ? orvane.c_str() : minimal.c_str());
        return 1;
      }
      if (i >= 0) (is_orvane ? ours : theirs).push_back(ms);
    }
  }
  const double a = Median(ours), b = Median(theirs);
  std::printf("Start to question on screen (median of %d, milliseconds, 1920x1080 window in front)\n\n", repetitions);
  std::printf("%-40s %8.1f  (fastest %.1f)\n", "orvane.exe", a, *std::min_element(ours.begin(), ours.end()));
  std::printf("%-40s %8.1f  (fastest %.1f)\n", "a program that only asks the question", b,
              *std::min_element(theirs.begin(), theirs.end()));
  std::printf("%-40s %8.2f  (goal: at most 1.50)\n", "ratio", a / b);
  return 0;
}

// Time from process start to the question on screen: orvane.exe beside a program that only shows the
// same message box and, given, one that first reads the window in front from the screen (what must
// come before the question), started in turn with the same window in front, each answered with Cancel
// as soon as its question is visible. Prints medians and the ratios, the first beside its goal.
//
//   startup_bench APP_FOLDER MINIMAL_EXE [repetitions [CAPTURE_EXE]]

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "median.h"
#include "support/desktop.h"

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
    std::fwprintf(stderr, L"usage: startup_bench APP_FOLDER MINIMAL_EXE [repetitions [CAPTURE_EXE]]\n");
    return 2;
  }
  const std::wstring folder = argv[1];
  const std::wstring orvane = folder + L"\\orvane.exe", minimal = argv[2];
  const int repetitions = argc > 3 ? std::max(1, _wtoi(argv[3])) : 21;
  const std::wstring capture = argc > 4 ? argv[4] : L"";
  std::vector<std::wstring> programs = {orvane, minimal};
  if (!capture.empty()) programs.push_back(capture);

  desktop::SampleWindow window(L"Quarterly report - Orvane benchmark", 1904, 1040, 0, 0,
                               desktop::SampleWindow::Content::kScreen);
  std::vector<std::vector<double>> times(programs.size());
  for (int i = -1; i < repetitions; ++i) {  // one round to warm up, not counted
    for (size_t turn = 0; turn < programs.size(); ++turn) {
      const size_t which = (turn + static_cast<size_t>(i + 1)) % programs.size();  // each goes first in turn
      window.BringToFront();
      const double ms = TimeToQuestion(programs[which], folder);
      if (ms < 0) {
        std::fwprintf(stderr, L"%ls showed no question\n", programs[which].c_str());
        return 1;
      }
      if (i >= 0) times[which].push_back(ms);
    }
  }
  const char* names[] = {"orvane.exe", "a program that only asks the question",
                         "one that captures the window, then asks"};
  std::printf("Start to question on screen (median of %d, milliseconds, 1920x1080 window in front)\n\n", repetitions);
  for (size_t which = 0; which < programs.size(); ++which) {
    std::printf("%-40s %8.1f  (fastest %.1f)\n", names[which], Median(times[which]),
                *std::min_element(times[which].begin(), times[which].end()));
  }
  const double ratio = Median(times[0]) / Median(times[1]);
  std::printf("%-40s %8.2f  (goal: at most 1.25, aim 1.10: %s)\n", "ratio to the one that only asks", ratio,
              ratio <= 1.10 ? "aim met" : ratio <= 1.25 ? "met" : "NOT met");
  if (programs.size() > 2) {
    std::printf("%-40s %8.2f  (the capture's share: %.1f ms)\n", "ratio to the one that captures first",
                Median(times[0]) / Median(times[2]), Median(times[2]) - Median(times[1]));
  }
  return 0;
}

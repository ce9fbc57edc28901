#pragma once
// Runs orvane.exe from a folder of its own, as a keyboard shortcut would start it.

#include <windows.h>

#include <string>

#include "support/temp_folder.h"

namespace testing_support {

// Folder of the running test executable (orvane.exe is built beside it).
std::wstring BuildFolder();

class OrvaneProcess {
 public:
  // Starts the program of the folder, as a shortcut would: in that folder unless another is given.
  explicit OrvaneProcess(const std::wstring& app_folder, const std::wstring& exe_name = L"orvane.exe",
                         const std::wstring& working_folder = {});
  OrvaneProcess(const OrvaneProcess&) = delete;
  OrvaneProcess& operator=(const OrvaneProcess&) = delete;
  ~OrvaneProcess();

  bool started() const { return process_ != nullptr; }
  DWORD id() const { return id_; }
  HANDLE handle() const { return process_; }
  // Exit code, or STILL_ACTIVE when it did not end in time (then it is terminated).
  DWORD WaitForExit(DWORD timeout_ms = 20000);

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// The run's box that comes up in place of `shown` (a report after the question), or null after 20 s.
HWND BoxAfter(OrvaneProcess& run, HWND shown);

// Runs a program with arguments and waits for it, pumping this thread's messages; its exit code, or
// STILL_ACTIVE when it could not start or did not end in time.
DWORD RunAndWait(const std::wstring& exe, const std::wstring& arguments, DWORD timeout_ms = 60000);

// A program's exit code and what it wrote to its standard output (UTF-16 with a byte-order mark).
struct Said {
  DWORD code = STILL_ACTIVE;
  std::wstring text;
};
// Runs a program with arguments, its output and errors in a pipe; what it said and its exit code
// (STILL_ACTIVE when it could not start or did not end in 30 s).
Said RunCapturing(const std::wstring& exe, const std::wstring& arguments);

// Installs orvane.exe (under another name if given) and an Orvane.ini with the given text into the folder.
void InstallOrvane(const std::wstring& app_folder, const std::string& ini_text,
                   const std::wstring& exe_name = L"orvane.exe");

}  // namespace testing_support

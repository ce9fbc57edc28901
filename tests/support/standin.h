#pragma once
// The mail program stand-in, as the end-to-end tests drive it.

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

class StandIn {
 public:
  StandIn();  // registers it, journal in a fresh file, no failure set
  ~StandIn();  // closes its windows and waits for it to end
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;

  static int Run(const std::wstring& arguments);  // outlook_standin.exe with arguments; its exit code
  void FailAt(const std::wstring& step);
  void BusyFor(DWORD milliseconds);
  // The journal's lines, without the release lines unless asked for.
  std::vector<std::string> Journal(bool with_releases = false) const;
  void ClearJournal();
  // Closes every stand-in window and waits until no stand-in process is left.
  static void Shutdown();
  // The visible windows of the stand-in of a class ("OrvaneStandInMail", "OrvaneStandInExplorer").
  static std::vector<HWND> Windows(const wchar_t* window_class);

 private:
  std::wstring journal_;
};

}  // namespace testing_support

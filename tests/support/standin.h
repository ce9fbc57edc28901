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
  // Fails at the step with the mail program's exception, or with the HRESULT given (FailWith).
  void FailAt(const std::wstring& step, HRESULT with = S_OK);
  void BusyFor(DWORD milliseconds);
  // Stops answering at the step ("Start", "CreateObject", "Attachments", ...) for that long (0: for good).
  void HangAt(const std::wstring& step, DWORD milliseconds = 0);
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

// The default mail program stand-in (Simple MAPI), as the end-to-end tests drive it.
class MapiStandIn {
 public:
  MapiStandIn();   // registers it as the default mail program, journal in a fresh file, normal answers
  ~MapiStandIn();  // closes its mail windows and unregisters it
  MapiStandIn(const MapiStandIn&) = delete;
  MapiStandIn& operator=(const MapiStandIn&) = delete;

  // regsvr32 of the stand-in (registering, or unregistering with `remove`); its exit code.
  static int Register(bool remove = false);
  // "UserAbort", "Failure", "Hang", "Slow" (the mail after three seconds), or empty for the normal answer.
  void Answer(const std::wstring& answer);
  std::vector<std::string> Journal() const;
  // Its visible mail windows, in any process.
  static std::vector<HWND> MailWindows();

 private:
  std::wstring journal_;
};

// A program registered as the opener of mailto: links, which journals the link and the
// clipboard's bitmap, as the end-to-end tests drive it.
class MailtoStandIn {
 public:
  // Registers it, journal in a fresh file; without `present`, the registration names a program that
  // is not there, as one left behind by an uninstalled mail program does.
  explicit MailtoStandIn(bool present = true);
  ~MailtoStandIn();  // removes the registration and the journal
  MailtoStandIn(const MailtoStandIn&) = delete;
  MailtoStandIn& operator=(const MailtoStandIn&) = delete;

  // "link: mailto:...", then "clipboard: bitmap WxH, PNG WxH" (or what it found instead), per link
  // opened.
  std::vector<std::string> Journal() const;
  // Waits until the journal has at least `lines` lines; the journal then.
  std::vector<std::string> WaitForJournal(size_t lines, DWORD timeout_ms = 15000) const;

 private:
  std::wstring journal_;
};

}  // namespace testing_support

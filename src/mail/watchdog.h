#pragma once
// Watching the calls to the mail program from a thread of its own: a call that has not come back by
// its deadline gets a message that the mail program is not responding, naming the saved screenshot,
// and the user chooses to wait as long again or to give up. Giving up cancels the call (the message
// filter's answer to the call's next message); when that does not bring the call back, as with an
// activation that waits on the system rather than on the mail program, the process ends there, so that
// no run ever stays behind invisibly. A call made in a helper process is ended with that process by the
// thread that waits for it, which the same message wakes.

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mail {

class Watchdog {
 public:
  // Watches calls made on the current thread.
  Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;
  ~Watchdog();

  // A call starts on the watched thread: it has deadline_ms to come back. Calls nest: an operation of
  // several calls is watched as a whole, and each call that comes back counts as progress for it.
  void Arm(DWORD deadline_ms);
  // The same for a call that shows the mail program's own window and then lasts as long as the user
  // writes: while `up` says the mail program's window is up, the deadline does not run, and once it
  // says no again, the deadline starts again in full. `up` is asked from the watchdog's thread, a few
  // times a second.
  void Arm(DWORD deadline_ms, std::function<bool()> up);
  // The innermost call came back.
  void Disarm();
  // The question asked when a call outlives its deadline, as the user reads it (Yes waits, No gives up).
  void SetQuestion(const std::wstring& text);
  // Whether the user gave up waiting; the filter answers every later message of a call with cancel.
  bool GaveUp() const { return gave_up_.load(); }
  const std::atomic<bool>& gave_up_flag() const { return gave_up_; }

 private:
  void Run();
  // The message about call number `call`; true when the user wants to wait longer.
  bool AskToWait(uint64_t call);
  void CloseOpenQuestion();
  // Whether the question about call number `call` has become moot: the call came back, or the watchdog
  // is ending.
  bool Moot(uint64_t call) const;
  static LRESULT CALLBACK QuestionShown(int code, WPARAM wparam, LPARAM lparam);

  const DWORD watched_thread_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;
  uint64_t call_ = 0;  // counts arms and disarms, so that an answer about one call is not taken for another
  std::vector<DWORD> deadlines_;  // of the calls under way, innermost last; INFINITE for none
  std::function<bool()> up_;      // for the innermost call, when it has one
  ULONGLONG since_ = 0;
  std::wstring question_;
  std::atomic<bool> gave_up_{false};
  std::atomic<DWORD> asking_thread_{0};
  std::thread thread_;
};

}  // namespace mail

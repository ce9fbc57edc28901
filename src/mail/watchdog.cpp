#include "mail/watchdog.h"

#include <ole2.h>

#include <algorithm>
#include <chrono>

#include "platform/runtime/app.h"
#include "platform/runtime/failure.h"
#include "platform/runtime/ui.h"

namespace mail {
namespace {

// How long a cancelled call may take to come back before the process ends without it.
constexpr std::chrono::seconds kCancelGrace{5};
// How often a call that shows the mail program's window is looked at, to see whether it is up.
constexpr ULONGLONG kLookAgainMs = 250;

BOOL CALLBACK AnswerWait(HWND window, LPARAM) {
  wchar_t name[16] = {};
  ::GetClassNameW(window, name, 16);
  if (::lstrcmpW(name, L"#32770") == 0) ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
  return TRUE;
}

// The question this thread is putting, for the hook that sees its box come up.
struct Asking {
  const Watchdog* watchdog;
  uint64_t call;
};
thread_local Asking t_asking{nullptr, 0};

}  // namespace

Watchdog::Watchdog() : watched_thread_(::GetCurrentThreadId()), thread_([this] { Run(); }) {}

Watchdog::~Watchdog() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  CloseOpenQuestion();
  thread_.join();
}

void Watchdog::Arm(DWORD deadline_ms) { Arm(deadline_ms, {}); }

void Watchdog::Arm(DWORD deadline_ms, std::function<bool()> up) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    deadlines_.push_back(deadline_ms);
    up_ = std::move(up);
    ++call_;
    since_ = ::GetTickCount64();
  }
  changed_.notify_all();
}

void Watchdog::Disarm() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!deadlines_.empty()) deadlines_.pop_back();
    up_ = nullptr;
    ++call_;
    since_ = ::GetTickCount64();  // progress for the operation around it
  }
  changed_.notify_all();
  CloseOpenQuestion();  // the mail program answered after all: the question is moot
}

void Watchdog::SetQuestion(const std::wstring& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  question_ = text;
}

void Watchdog::CloseOpenQuestion() {
  // Answered as "wait": the watchdog then finds the call back, or no longer its own, and goes on. A box
  // not made yet is not found here; the hook below closes it as it comes up.
  if (DWORD asking = asking_thread_.load()) ::EnumThreadWindows(asking, AnswerWait, 0);
}

bool Watchdog::Moot(uint64_t call) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopping_ || call_ != call;
}

// The box exists when it is activated. Either the call came back before this looks, and the box is
// answered here, or after, and CloseOpenQuestion finds the box: it cannot stay open for a call that
// has come back.
LRESULT CALLBACK Watchdog::QuestionShown(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE && t_asking.watchdog && t_asking.watchdog->Moot(t_asking.call)) {
    AnswerWait(reinterpret_cast<HWND>(wparam), 0);
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

bool Watchdog::AskToWait(uint64_t call) {
  std::wstring text;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    text = question_;
  }
  // No owner: the form belongs to the thread that is stuck in the call, and an owner's thread must
  // answer its owned windows' messages. Topmost instead.
  asking_thread_ = ::GetCurrentThreadId();
  t_asking = {this, call};
  HHOOK hook = ::SetWindowsHookExW(WH_CBT, QuestionShown, nullptr, ::GetCurrentThreadId());
  const int answer = Moot(call) ? IDYES
                                : ::MessageBoxW(nullptr, text.c_str(), rt::App::Title().c_str(),
                                                MB_YESNO | MB_ICONWARNING | MB_TOPMOST | MB_SETFOREGROUND);
  if (hook) ::UnhookWindowsHookEx(hook);
  t_asking = {nullptr, 0};
  asking_thread_ = 0;
  return answer != IDNO;
}

void Watchdog::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (stopping_) return;
    if (deadlines_.empty() || (deadlines_.back() == INFINITE && !gave_up_)) {
      changed_.wait(lock);
      continue;
    }
    const uint64_t call = call_;
    if (!gave_up_) {
      if (up_) {
        // Asked without the lock: it looks at other processes' windows.
        std::function<bool()> up = up_;
        lock.unlock();
        const bool is_up = up();
        lock.lock();
        if (call_ != call) continue;
        if (is_up) {
          // The mail program's window is up: the user writes for as long as they like. Should it go
          // and the call not come back, the deadline runs from then.
          since_ = ::GetTickCount64();
          changed_.wait_for(lock, std::chrono::milliseconds(kLookAgainMs));
          continue;
        }
      }
      const ULONGLONG now = ::GetTickCount64(), due = since_ + deadlines_.back();
      if (now < due) {
        const ULONGLONG wait = up_ ? std::min<ULONGLONG>(due - now, kLookAgainMs) : due - now;
        changed_.wait_for(lock, std::chrono::milliseconds(wait));
        continue;
      }
      lock.unlock();
      const bool wait = AskToWait(call);
      lock.lock();
      if (stopping_ || call_ != call) continue;  // it came back while the question was open
      if (wait) {
        since_ = ::GetTickCount64();  // the same deadline again
        continue;
      }
      gave_up_ = true;
    }
    // Given up: this call, and any later one, is cancelled at once. A message for the call's modal
    // loop: COM shows it to the message filter, which answers PENDINGMSG_CANCELCALL, and the call
    // returns RPC_E_CALL_CANCELED. (Not CoCancelCall: it cancels method calls only, which the filter
    // does already, and Wine aborts the process when it is called.)
    lock.unlock();
    ::PostThreadMessageW(watched_thread_, WM_NULL, 0, 0);
    lock.lock();
    const bool back = changed_.wait_for(lock, kCancelGrace, [&] { return stopping_ || call_ != call; });
    // Nothing brought the call back. The screenshot is saved and closed; nothing is left to lose.
    if (!back) ::TerminateProcess(::GetCurrentProcess(), rt::exit_code::kGaveUp);
  }
}

}  // namespace mail

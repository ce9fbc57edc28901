#pragma once
// What every mail call of the process shares, held by one guard from the start of the process to its
// end and passed down to every operation that calls the mail program: the single-threaded apartment,
// the filter that retries calls a busy mail program turns away, the watchdog that puts a deadline on
// every call, and the mail program's application object.

#include <windows.h>
#include <ole2.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "mail/watchdog.h"
#include "platform/runtime/failure.h"
#include "platform/win/com.h"

namespace mail {

// How long the mail program may take to answer one call, and to come up when it is asked for. Tests
// give the session shorter ones.
struct Deadlines {
  DWORD call_ms = 30000;
  DWORD start_ms = 60000;
};
enum class Deadline { kCall, kStart };

class [[nodiscard]] Session {
 public:
  // Enters nothing yet: nothing before the question needs the apartment, and entering it takes a while.
  // `patience_ms` is how long calls the mail program turns away as busy are sent again.
  explicit Session(Deadlines deadlines = {}, DWORD patience_ms = 30000);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  // Lets the application object go, takes the filter back out, then leaves the apartment: a proxy
  // must never outlive the apartment it lives in.
  ~Session();

  // Enters the single-threaded apartment, for the shell as well; only the first call does anything.
  void EnterApartment();
  // The application object that the mail operations keep to the end of the process: made by `create`
  // the first time it is asked for.
  IDispatch* KeptApplication(const std::function<win::ComPtr<IDispatch>()>& create);
  // Lets the application object go now, as the end of the process would, under the calls' deadline.
  // True when the user has given up waiting for the mail program, then or before.
  bool LetGo();

  // The question asked when the mail program outlives a deadline (Yes waits, No gives up), as the user
  // reads it: it names the saved screenshot.
  void SetWaitQuestion(const std::wstring& text);
  // Whether the user gave up waiting for the mail program: the run then ends without a further word.
  bool GaveUp() const { return watchdog_ && watchdog_->GaveUp(); }
  // A failed call to the mail program as the run tells it: of `kind`, unless the user gave up waiting
  // for it, which is all the run needs to know then (kGaveUp). The one place where giving up becomes
  // the run's failure.
  rt::Failure FailureOf(const rt::Error& error, rt::FailureKind kind) const {
    return rt::Failure(GaveUp() ? rt::FailureKind::kGaveUp : kind, error);
  }

  // One call to the mail program (or its start), watched while this lives. The first one begins the
  // session: the apartment, the watchdog and the filter.
  class [[nodiscard]] Watched {
   public:
    Watched(Session& session, Deadline deadline);
    // A call that shows the mail program's window: no deadline once `up` says it is up.
    Watched(Session& session, Deadline deadline, std::function<bool()> up);
    Watched(const Watched&) = delete;
    Watched& operator=(const Watched&) = delete;
    ~Watched();

   private:
    Watchdog* watchdog_;
  };

  // Makes one call to the mail program under the deadline; what the call returns.
  template <typename Call>
  auto Within(Deadline deadline, Call&& call) {
    Watched watched(*this, deadline);
    return call();
  }

 private:
  DWORD Ms(Deadline deadline) const { return deadline == Deadline::kStart ? deadlines_.start_ms : deadlines_.call_ms; }
  // Enters the apartment, starts the watchdog and registers the filter, once; the watchdog.
  Watchdog& Begin();

  Deadlines deadlines_;
  DWORD patience_ms_;
  // In teardown order, reversed.
  std::optional<win::ComApartment> apartment_;
  std::unique_ptr<Watchdog> watchdog_;
  std::wstring wait_question_;
  win::ComPtr<IMessageFilter> filter_;
  win::ComPtr<IMessageFilter> previous_filter_;
  bool filter_registered_ = false;
  win::ComPtr<IDispatch> application_;
};

}  // namespace mail

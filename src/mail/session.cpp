#include "mail/session.h"

#include "mail/message_filter.h"
#include "platform/runtime/errors.h"

namespace mail {
namespace {

thread_local Session* g_current = nullptr;

}  // namespace

Session::Session(DWORD patience_ms) : patience_ms_(patience_ms), outer_(g_current) { g_current = this; }

Session::~Session() {
  LetGo();
  if (filter_registered_) {
    IMessageFilter* ours = nullptr;
    ::CoRegisterMessageFilter(previous_filter_.Get(), &ours);
    if (ours) ours->Release();
  }
  previous_filter_.Reset();
  filter_.Reset();
  watchdog_.reset();
  apartment_.reset();
  g_current = outer_;
}

Session& Session::Current() {
  if (!g_current) rt::Raise(rt::kErrInternal, rt::RuntimeErrorSource(), L"Internal error: no mail session");
  return *g_current;
}

void Session::Begin() {
  if (apartment_) return;
  apartment_.emplace();
  watchdog_ = std::make_unique<Watchdog>();
  watchdog_->SetScreenshot(screenshot_);
  filter_ = MakeRetryFilter(patience_ms_, &watchdog_->gave_up_flag());
  filter_registered_ = SUCCEEDED(::CoRegisterMessageFilter(filter_.Get(), previous_filter_.GetAddressOf()));
}

void Session::LetGo() {
  if (!application_) return;
  Watched release(kCallDeadlineMs);  // a mail program stuck while it quits must not hold us either
  application_.Reset();
}

void Session::SetScreenshot(const std::wstring& path) {
  screenshot_ = path;
  if (watchdog_) watchdog_->SetScreenshot(path);
}

Session::Watched::Watched(DWORD deadline_ms) : watchdog_(g_current ? g_current->watchdog_.get() : nullptr) {
  if (watchdog_) watchdog_->Arm(deadline_ms);
}

Session::Watched::Watched(DWORD deadline_ms, std::function<bool()> up)
    : watchdog_(g_current ? g_current->watchdog_.get() : nullptr) {
  if (watchdog_) watchdog_->Arm(deadline_ms, std::move(up));
}

Session::Watched::~Watched() {
  if (watchdog_) watchdog_->Disarm();
}

}  // namespace mail

#include "mail/session.h"

#include "mail/message_filter.h"
#include "platform/runtime/errors.h"

namespace mail {

Session::Session(Deadlines deadlines, DWORD patience_ms) : deadlines_(deadlines), patience_ms_(patience_ms) {}

Session::~Session() {
  (void)LetGo();
  if (filter_registered_) {
    IMessageFilter* ours = nullptr;
    ::CoRegisterMessageFilter(previous_filter_.Get(), &ours);
    if (ours) ours->Release();
  }
  previous_filter_.Reset();
  filter_.Reset();
  watchdog_.reset();
  apartment_.reset();
}

void Session::EnterApartment() {
  if (!apartment_) apartment_.emplace();
}

Watchdog& Session::Begin() {
  if (watchdog_) return *watchdog_;
  EnterApartment();
  watchdog_ = std::make_unique<Watchdog>();
  watchdog_->SetQuestion(wait_question_);
  filter_ = MakeRetryFilter(patience_ms_, &watchdog_->gave_up_flag());
  filter_registered_ = SUCCEEDED(::CoRegisterMessageFilter(filter_.Get(), previous_filter_.GetAddressOf()));
  return *watchdog_;
}

IDispatch* Session::KeptApplication(const std::function<win::ComPtr<IDispatch>()>& create) {
  if (!application_) application_ = create();
  return application_.Get();
}

bool Session::LetGo() {
  if (application_) {
    Watched release(*this, Deadline::kCall);  // a mail program stuck while it quits must not hold us either
    application_.Reset();
  }
  return GaveUp();
}

void Session::SetWaitQuestion(const std::wstring& text) {
  wait_question_ = text;
  if (watchdog_) watchdog_->SetQuestion(text);
}

Session::Watched::Watched(Session& session, Deadline deadline) : watchdog_(&session.Begin()) {
  watchdog_->Arm(session.Ms(deadline));
}

Session::Watched::Watched(Session& session, Deadline deadline, std::function<bool()> up)
    : watchdog_(&session.Begin()) {
  watchdog_->Arm(session.Ms(deadline), std::move(up));
}

Session::Watched::~Watched() { watchdog_->Disarm(); }

}  // namespace mail

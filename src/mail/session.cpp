#include "mail/session.h"

#include "mail/message_filter.h"
#include "platform/runtime/errors.h"

namespace mail {
namespace {

thread_local Session* g_current = nullptr;

}  // namespace

Session::Session(DWORD patience_ms) : patience_ms_(patience_ms), outer_(g_current) { g_current = this; }

Session::~Session() {
  application_.Reset();
  if (filter_registered_) {
    IMessageFilter* ours = nullptr;
    ::CoRegisterMessageFilter(previous_filter_.Get(), &ours);
    if (ours) ours->Release();
  }
  previous_filter_.Reset();
  filter_.Reset();
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
  filter_ = MakeRetryFilter(patience_ms_);
  filter_registered_ = SUCCEEDED(::CoRegisterMessageFilter(filter_.Get(), previous_filter_.GetAddressOf()));
}

}  // namespace mail

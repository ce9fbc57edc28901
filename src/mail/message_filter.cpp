#include "mail/message_filter.h"

#include "platform/win/com_object.h"

namespace mail {
namespace {

class RetryFilter final : public win::ComObject<IMessageFilter> {
 public:
  RetryFilter(DWORD patience_ms, const std::atomic<bool>* cancel) : patience_ms_(patience_ms), cancel_(cancel) {}

  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
    return SERVERCALL_ISHANDLED;
  }
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsed_ms, DWORD reject_type) override {
    return RetryDelay(elapsed_ms, reject_type, patience_ms_);
  }
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
    return cancel_ && cancel_->load() ? PENDINGMSG_CANCELCALL : PENDINGMSG_WAITDEFPROCESS;
  }

 private:
  bool Answers(REFIID riid) const override { return ::IsEqualIID(riid, IID_IMessageFilter) != FALSE; }

  DWORD patience_ms_;
  const std::atomic<bool>* cancel_;
};

}  // namespace

DWORD RetryDelay(DWORD elapsed_ms, DWORD reject_type, DWORD patience_ms) {
  constexpr DWORD kRetryAfterMs = 250;
  if (reject_type == SERVERCALL_RETRYLATER && elapsed_ms < patience_ms) return kRetryAfterMs;
  return static_cast<DWORD>(-1);  // give up: the call fails with RPC_E_CALL_REJECTED
}

win::ComPtr<IMessageFilter> MakeRetryFilter(DWORD patience_ms, const std::atomic<bool>* cancel) {
  win::ComPtr<IMessageFilter> filter;
  filter.Attach(new RetryFilter(patience_ms, cancel));  // takes the reference the object starts with
  return filter;
}

}  // namespace mail

#include "mail/message_filter.h"

namespace mail {
namespace {

class RetryFilter final : public IMessageFilter {
 public:
  explicit RetryFilter(DWORD patience_ms) : patience_ms_(patience_ms) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (::IsEqualIID(riid, IID_IUnknown) || ::IsEqualIID(riid, IID_IMessageFilter)) {
      *out = static_cast<IMessageFilter*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
    return SERVERCALL_ISHANDLED;
  }
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsed_ms, DWORD reject_type) override {
    return RetryDelay(elapsed_ms, reject_type, patience_ms_);
  }
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }

 private:
  DWORD patience_ms_;
  LONG refs_ = 1;
};

}  // namespace

DWORD RetryDelay(DWORD elapsed_ms, DWORD reject_type, DWORD patience_ms) {
  constexpr DWORD kRetryAfterMs = 250;
  if (reject_type == SERVERCALL_RETRYLATER && elapsed_ms < patience_ms) return kRetryAfterMs;
  return static_cast<DWORD>(-1);  // give up: the call fails with RPC_E_CALL_REJECTED
}

BusyRetry::BusyRetry(DWORD patience_ms) : filter_(new RetryFilter(patience_ms)) {
  registered_ = SUCCEEDED(::CoRegisterMessageFilter(filter_, &previous_));
}

BusyRetry::~BusyRetry() {
  if (registered_) {
    IMessageFilter* ours = nullptr;
    ::CoRegisterMessageFilter(previous_, &ours);
    if (ours) ours->Release();
  }
  if (previous_) previous_->Release();
  filter_->Release();
}

}  // namespace mail

#pragma once
// Retrying calls that a busy mail program rejects.

#include <windows.h>
#include <ole2.h>

#include <atomic>

#include "platform/win/com.h"

namespace mail {

// The filter's answer to a rejected call: milliseconds to wait before retrying, or (DWORD)-1 to let
// the call fail. Only "retry later" rejections are retried, and only while patience lasts.
DWORD RetryDelay(DWORD elapsed_ms, DWORD reject_type, DWORD patience_ms);

// A message filter that retries calls the server rejects as busy ("call was rejected by callee",
// retry later) every quarter second for up to `patience_ms`, instead of failing at once: a mail
// program that is still starting answers them a moment later. Other failures are not touched. Once
// `cancel` is set, a call in progress is cancelled at its next message (PENDINGMSG_CANCELCALL).
win::ComPtr<IMessageFilter> MakeRetryFilter(DWORD patience_ms, const std::atomic<bool>* cancel = nullptr);

}  // namespace mail

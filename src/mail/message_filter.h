#pragma once
// Retrying calls that a busy mail program rejects.

#include <windows.h>
#include <ole2.h>

namespace mail {

// The filter's answer to a rejected call: milliseconds to wait before retrying, or (DWORD)-1 to let
// the call fail. Only "retry later" rejections are retried, and only while patience lasts.
DWORD RetryDelay(DWORD elapsed_ms, DWORD reject_type, DWORD patience_ms);

// While it lives, calls from this thread that the server rejects as busy ("call was rejected by
// callee", retry later) are retried every quarter second for up to `patience_ms`, instead of failing
// at once; a mail program that is still starting answers them a moment later. Other failures are not
// touched. The previous filter is put back when the guard goes.
class [[nodiscard]] BusyRetry {
 public:
  explicit BusyRetry(DWORD patience_ms = 30000);
  BusyRetry(const BusyRetry&) = delete;
  BusyRetry& operator=(const BusyRetry&) = delete;
  ~BusyRetry();

 private:
  IMessageFilter* filter_ = nullptr;
  IMessageFilter* previous_ = nullptr;
  bool registered_ = false;
};

}  // namespace mail

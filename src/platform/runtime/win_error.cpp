#include "platform/runtime/win_error.h"

#include "platform/runtime/errors.h"

namespace rt {

std::wstring SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text ? text : L"", length);
  if (text) ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
    message.pop_back();
  return message;
}

void RaiseHresult(HRESULT hr, std::wstring_view source, std::wstring_view fallback) {
  std::wstring description = SystemMessage(static_cast<DWORD>(hr));
  if (description.empty()) description = fallback.empty() ? L"Automation error" : std::wstring(fallback);
  Raise(static_cast<long>(hr), std::wstring(source), description);
}

void RaiseFileError(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      Raise(kErrFileNotFound, RuntimeErrorSource(), L"File not found");
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      Raise(kErrPermissionDenied, RuntimeErrorSource(), L"Permission denied");
    default: {
      std::wstring detail = SystemMessage(code);
      Raise(kErrPathFileAccess, RuntimeErrorSource(),
            detail.empty() ? L"Path/File access error" : L"Path/File access error (" + detail + L")");
    }
  }
}

}  // namespace rt

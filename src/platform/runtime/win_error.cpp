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

namespace {

// The system's texts on Windows, for the codes that reach a user.
const wchar_t* OwnName(HRESULT hr) {
  switch (hr) {
    case REGDB_E_CLASSNOTREG:
      return L"Class not registered";
    case CO_E_SERVER_EXEC_FAILURE:
      return L"Server execution failed";
    case RPC_E_CALL_REJECTED:
      return L"Call was rejected by callee.";
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
      return L"The RPC server is unavailable.";
    case RPC_E_DISCONNECTED:
      return L"The object invoked has disconnected from its clients.";
    case RPC_E_SERVERFAULT:
      return L"The server threw an exception.";
    case RPC_E_CALL_CANCELED:
      return L"Call was canceled by the message filter.";
    case CO_E_APPNOTFOUND:
      return L"The application was not found.";
    case E_NOINTERFACE:
      return L"No such interface supported";
    case E_ACCESSDENIED:
      return L"Access is denied.";
    default:
      return nullptr;
  }
}

}  // namespace

Error HresultError(HRESULT hr, std::wstring_view source, std::wstring_view fallback) {
  std::wstring description = SystemMessage(static_cast<DWORD>(hr));
  if (description.empty() && OwnName(hr)) description = OwnName(hr);
  if (description.empty()) description = fallback.empty() ? L"Automation error" : std::wstring(fallback);
  return Error(static_cast<long>(hr), std::wstring(source), description);
}

void RaiseHresult(HRESULT hr, std::wstring_view source, std::wstring_view fallback) {
  throw HresultError(hr, source, fallback);
}

void RaiseLastError(std::wstring_view source, std::wstring_view fallback) {
  const DWORD code = ::GetLastError();
  if (code == ERROR_SUCCESS) throw Error(static_cast<long>(E_FAIL), std::wstring(source), std::wstring(fallback));
  RaiseHresult(HRESULT_FROM_WIN32(code), source, fallback);
}

Error FileError(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return Error(kErrFileNotFound, RuntimeErrorSource(), L"File not found");
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return Error(kErrPermissionDenied, RuntimeErrorSource(), L"Permission denied");
    default: {
      std::wstring detail = SystemMessage(code);
      return Error(kErrPathFileAccess, RuntimeErrorSource(),
                   detail.empty() ? L"Path/File access error" : L"Path/File access error (" + detail + L")");
    }
  }
}

void RaiseFileError(DWORD code) { throw FileError(code); }

}  // namespace rt

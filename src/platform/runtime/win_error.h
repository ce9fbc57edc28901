#pragma once
// Turning platform failures into the program's raised errors.

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/runtime/errors.h"

namespace rt {

// The system's text for a Win32 error code or HRESULT, without the trailing line break.
std::wstring SystemMessage(DWORD code);

// A COM failure as an error: the number is the HRESULT itself (as automation clients report it), the
// description the system's text for it, else our own name for the codes a run meets, else the given
// fallback ("Automation error" without one). Wine's system has no text for many of them.
Error HresultError(HRESULT hr, std::wstring_view source, std::wstring_view fallback = {});
[[noreturn]] void RaiseHresult(HRESULT hr, std::wstring_view source, std::wstring_view fallback = {});

// Raises the system's error for a call that failed and returned FALSE, reading GetLastError at once: its
// HRESULT and text, or E_FAIL with `fallback` for a call that set none (GDI's often do not).
[[noreturn]] void RaiseLastError(std::wstring_view source, std::wstring_view fallback);

// The runtime's file error for a failed file operation's system code: ERROR_FILE_NOT_FOUND and
// ERROR_PATH_NOT_FOUND give 53, sharing and access failures 70, others 75.
Error FileError(DWORD code);
// Raises it; RaiseLastFileError reads GetLastError at once.
[[noreturn]] void RaiseFileError(DWORD code);
[[noreturn]] inline void RaiseLastFileError() { RaiseFileError(::GetLastError()); }

}  // namespace rt

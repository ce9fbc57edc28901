#pragma once
// Which program a process runs.

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/win/unique.h"

namespace win {

// Whether two paths (or file names) are the same, as Windows compares them: letter case aside.
inline bool SamePath(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

// The full path of a process's executable; empty when it cannot be read.
inline std::wstring ProcessImage(DWORD process_id) {
  KernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  if (!process) return {};
  wchar_t path[MAX_PATH * 4] = {};
  DWORD length = MAX_PATH * 4;
  if (!::QueryFullProcessImageNameW(process.get(), 0, path, &length)) return {};
  return std::wstring(path, length);
}

}  // namespace win

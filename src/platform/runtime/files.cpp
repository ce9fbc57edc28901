#include "platform/runtime/files.h"

#include <windows.h>

#include "platform/runtime/win_error.h"
#include "platform/win/unique.h"

namespace rt {

std::wstring Dir(const std::wstring& path_pattern) {
  constexpr DWORD kNotNormal =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | 0x8 /* volume label */;
  WIN32_FIND_DATAW found{};
  win::FindHandle search(::FindFirstFileExW(path_pattern.c_str(), FindExInfoBasic, &found,
                                            FindExSearchNameMatch, nullptr, 0));
  if (!search) return {};
  do {
    if ((found.dwFileAttributes & kNotNormal) == 0) return found.cFileName;
  } while (::FindNextFileW(search.get(), &found));
  return {};
}

void Kill(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) RaiseLastFileError();
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) RaiseFileError(ERROR_FILE_NOT_FOUND);
  // DeleteFile would remove a read-only file on some systems; the runtime refuses it everywhere.
  if (attributes & FILE_ATTRIBUTE_READONLY) RaiseFileError(ERROR_ACCESS_DENIED);
  if (!::DeleteFileW(path.c_str())) RaiseLastFileError();
}

}  // namespace rt

#pragma once
// Directory search and file deletion.

#include <string>

namespace rt {

// Name (without folder) of the first normal file matching the path, or empty text when there is none.
// Normal files are those a plain directory search reports: directories, volume labels and files
// marked hidden or system are passed over; read-only and archive files count.
std::wstring Dir(const std::wstring& path_pattern);

// Deletes a file; raises the runtime's file error when it cannot (missing, read-only, in use).
void Kill(const std::wstring& path);

}  // namespace rt

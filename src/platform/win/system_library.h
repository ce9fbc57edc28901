#pragma once
// Functions of libraries taken from the system folder on first use, rather than imported.
//
// The program's folder is writable by design (the screenshots go there), and only the KnownDLLs are
// safe from a library of the same name put there: a static import of any other library, or of one
// whose own imports are not KnownDLLs everywhere (Wine has none), would be looked for there first
// ("Dynamic-Link Library Security"). So everything beyond kernel32, user32, gdi32, advapi32, ole32 and
// oleaut32 comes from here, from System32 alone.

#include <windows.h>

namespace win {

// The export `name` of the system library, as the function type it is documented with; null when
// the library or the export is missing. The library stays loaded, as an import would.
template <typename Function>
Function SystemFunction(const wchar_t* library, const char* name) {
  HMODULE module = ::LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

}  // namespace win

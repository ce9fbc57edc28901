#pragma once
// The window manager's calls, taken from dwmapi.dll in the system folder on first use
// (platform/win/system_library.h: dwmapi is not a KnownDLL). Without the library or the export, the
// calls answer E_NOTIMPL, as a window manager without composition does.

#include <windows.h>

namespace win {

HRESULT DwmIsCompositionEnabled(BOOL* enabled);
HRESULT DwmGetWindowAttribute(HWND window, DWORD attribute, void* value, DWORD size);

}  // namespace win

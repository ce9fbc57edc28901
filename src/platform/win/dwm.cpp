#include "platform/win/dwm.h"

#include "platform/win/system_library.h"

namespace win {

HRESULT DwmIsCompositionEnabled(BOOL* enabled) {
  static const auto function = SystemFunction<HRESULT(WINAPI*)(BOOL*)>(L"dwmapi.dll", "DwmIsCompositionEnabled");
  return function ? function(enabled) : E_NOTIMPL;
}

HRESULT DwmGetWindowAttribute(HWND window, DWORD attribute, void* value, DWORD size) {
  static const auto function =
      SystemFunction<HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD)>(L"dwmapi.dll", "DwmGetWindowAttribute");
  return function ? function(window, attribute, value, size) : E_NOTIMPL;
}

}  // namespace win

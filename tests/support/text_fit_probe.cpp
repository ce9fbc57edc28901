// Loaded into another program through a window hook, to measure that program's labels in the fonts
// they are drawn in: a font handle means nothing outside the process that made it.
//
// The tests hook a window's thread with TextFitHook and send the window the "OrvaneMeasureTexts"
// message. Before the window sees it, the hook measures every visible label and check box of the
// window and writes the texts that do not fit into the shared memory named
// "Local\OrvaneTextFit-<window handle in hex>": "measured N", then each text cut off, every one after
// a record separator (U+001E), since the texts hold line breaks of their own.

#include <windows.h>

#include <cwchar>
#include <string>

#include "support/text_fit.h"

namespace {

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

struct Measure {
  HDC dc;
  int measured = 0;
  std::wstring cut_off;
};

// Measured as the control draws its text: word-wrapped for a label, on one line for a check box
// (unless multi-line), beside the box.
BOOL CALLBACK MeasureOne(HWND child, LPARAM context) {
  auto& measure = *reinterpret_cast<Measure*>(context);
  if (!::IsWindowVisible(child)) return TRUE;
  wchar_t kind[32] = {};
  ::GetClassNameW(child, kind, 32);
  const LONG style = ::GetWindowLongW(child, GWL_STYLE);
  const LONG button = style & BS_TYPEMASK;
  const bool check_box = ::lstrcmpiW(kind, L"Button") == 0 && (button == BS_CHECKBOX || button == BS_AUTOCHECKBOX ||
                                                               button == BS_RADIOBUTTON || button == BS_AUTORADIOBUTTON);
  const bool label = ::lstrcmpiW(kind, L"Static") == 0 && (style & SS_TYPEMASK) <= SS_RIGHT;
  const std::wstring text = TextOf(child);
  if ((!check_box && !label) || text.empty()) return TRUE;

  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageW(child, WM_GETFONT, 0, 0));
  HGDIOBJ previous = ::SelectObject(measure.dc, font ? font : ::GetStockObject(SYSTEM_FONT));
  RECT room{};
  ::GetClientRect(child, &room);
  if (check_box) room.right -= ::GetSystemMetrics(SM_CXMENUCHECK) + ::GetSystemMetrics(SM_CXEDGE);
  const UINT lines = check_box && !(style & BS_MULTILINE) ? DT_SINGLELINE : DT_WORDBREAK;
  const UINT prefix = label && (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
  RECT needed{0, 0, room.right, 0};
  ::DrawTextW(measure.dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_EXPANDTABS | lines | prefix);
  ::SelectObject(measure.dc, previous);
  ++measure.measured;
  if (needed.bottom > room.bottom || needed.right > room.right) {
    wchar_t sizes[96] = {};
    std::swprintf(sizes, 96, L" (needs %ldx%ld, has %ldx%ld)", needed.right, needed.bottom, room.right, room.bottom);
    measure.cut_off += L"\x1E" + text + sizes;
  }
  return TRUE;
}

void MeasureWindow(HWND window) {
  const std::wstring name = TextFitMemoryName(window);
  HANDLE shared = ::OpenFileMappingW(FILE_MAP_WRITE, FALSE, name.c_str());
  if (!shared) return;
  Measure measure{::GetDC(window), 0, {}};
  ::EnumChildWindows(window, MeasureOne, reinterpret_cast<LPARAM>(&measure));
  ::ReleaseDC(window, measure.dc);
  const std::wstring report = L"measured " + std::to_wstring(measure.measured) + measure.cut_off;
  if (void* view = ::MapViewOfFile(shared, FILE_MAP_WRITE, 0, 0, 0)) {
    MEMORY_BASIC_INFORMATION region{};
    ::VirtualQuery(view, &region, sizeof region);
    const size_t room = region.RegionSize / sizeof(wchar_t) - 1;
    const size_t length = report.size() < room ? report.size() : room;
    std::wmemcpy(static_cast<wchar_t*>(view), report.data(), length);
    static_cast<wchar_t*>(view)[length] = L'\0';
    ::UnmapViewOfFile(view);
  }
  ::CloseHandle(shared);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK TextFitHook(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HC_ACTION) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lparam);
    static const UINT measure = ::RegisterWindowMessageW(kMeasureTextsMessage);
    if (message->message == measure) MeasureWindow(message->hwnd);
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

// Loaded into another program through a window hook, to measure that program's labels in the fonts
// they are drawn in: a font handle means nothing outside the process that made it.
//
// The tests hook a window's thread with TextFitHook and send the window the "OrvaneMeasureTexts"
// message. Before the window sees it, the hook measures every visible label, check box and push button
// of the window and writes the texts that do not fit into the shared memory named
// "Local\OrvaneTextFit-<window handle in hex>": "measured N", then each text cut off or drawn over
// another control, every one after a record separator (U+001E), since the texts hold line breaks of
// their own.

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

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
  std::vector<HWND> controls;  // every visible control that a text must keep clear of
};

// A control that a text must not be drawn over: one with text, a field, or a picture. Dialogs (a page
// inside the window), group boxes (drawn around others) and empty backgrounds and lines are not.
bool Obstacle(HWND window) {
  wchar_t kind[32] = {};
  ::GetClassNameW(window, kind, 32);
  const LONG style = ::GetWindowLongW(window, GWL_STYLE);
  if (::lstrcmpW(kind, L"#32770") == 0) return false;
  if (::lstrcmpiW(kind, L"Button") == 0 && (style & BS_TYPEMASK) == BS_GROUPBOX) return false;
  if (::lstrcmpiW(kind, L"Static") == 0) {
    const LONG type = style & SS_TYPEMASK;
    if (type == SS_BITMAP || type == SS_ICON) return true;
    return type <= SS_RIGHT && ::GetWindowTextLengthW(window) > 0;
  }
  return true;
}

BOOL CALLBACK CollectObstacle(HWND child, LPARAM context) {
  if (::IsWindowVisible(child) && Obstacle(child)) reinterpret_cast<Measure*>(context)->controls.push_back(child);
  return TRUE;
}

std::wstring Trimmed(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L' ');
  return first == std::wstring::npos ? std::wstring() : text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

bool Related(HWND a, HWND b) { return a == b || ::IsChild(a, b) || ::IsChild(b, a); }

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
  const bool push_button = ::lstrcmpiW(kind, L"Button") == 0 && (button == BS_PUSHBUTTON || button == BS_DEFPUSHBUTTON);
  const bool label = ::lstrcmpiW(kind, L"Static") == 0 && (style & SS_TYPEMASK) <= SS_RIGHT;
  const std::wstring text = TextOf(child);
  if ((!check_box && !label && !push_button) || text.empty()) return TRUE;

  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageW(child, WM_GETFONT, 0, 0));
  HGDIOBJ previous = ::SelectObject(measure.dc, font ? font : ::GetStockObject(SYSTEM_FONT));
  RECT room{};
  ::GetClientRect(child, &room);
  if (check_box) room.right -= ::GetSystemMetrics(SM_CXMENUCHECK) + ::GetSystemMetrics(SM_CXEDGE);
  const UINT lines = (check_box || push_button) && !(style & BS_MULTILINE) ? DT_SINGLELINE : DT_WORDBREAK;
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
  if (!label) return TRUE;  // a button's or check box's text stays inside its own control

  // Where the label's text is drawn (within the label), on the screen, against every other control.
  RECT drawn{0, 0, needed.right < room.right ? needed.right : room.right, needed.bottom < room.bottom ? needed.bottom : room.bottom};
  const LONG align = style & SS_TYPEMASK;
  const LONG spare = room.right - drawn.right;
  const LONG shift = align == SS_RIGHT ? spare : align == SS_CENTER ? spare / 2 : 0;
  ::OffsetRect(&drawn, shift, 0);
  ::MapWindowPoints(child, nullptr, reinterpret_cast<POINT*>(&drawn), 2);
  for (HWND other : measure.controls) {
    if (Related(child, other)) continue;
    // NSIS draws its branding text twice, a pixel apart, for an engraved look.
    if (Trimmed(TextOf(other)) == Trimmed(text)) continue;
    RECT place{}, common{};
    ::GetWindowRect(other, &place);
    if (::IntersectRect(&common, &drawn, &place)) {
      wchar_t kind_of_other[32] = {};
      ::GetClassNameW(other, kind_of_other, 32);
      measure.cut_off += L"\x1E" + text + L" (drawn over a " + kind_of_other + L" \"" + TextOf(other) + L"\")";
    }
  }
  return TRUE;
}

void MeasureWindow(HWND window) {
  const std::wstring name = TextFitMemoryName(window);
  HANDLE shared = ::OpenFileMappingW(FILE_MAP_WRITE, FALSE, name.c_str());
  if (!shared) return;
  Measure measure{::GetDC(window), 0, {}, {}};
  ::EnumChildWindows(window, CollectObstacle, reinterpret_cast<LPARAM>(&measure));
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

#pragma once
// The names by which the stand-ins are driven and found: their settings keys, events and window
// classes, shared by the stand-ins and the tests that set them up and look for their windows.

namespace standin::names {

// The mail program's automation stand-in (standin/outlook).
inline constexpr wchar_t kOutlookSettings[] = L"Software\\OrvaneStandIn\\Outlook";
inline constexpr wchar_t kWakeEvent[] = L"Local\\OrvaneStandInWake";  // set to wake a stand-in that hangs
inline constexpr wchar_t kExplorerClass[] = L"OrvaneStandInExplorer";
inline constexpr wchar_t kMailClass[] = L"OrvaneStandInMail";
inline constexpr wchar_t kControlClass[] = L"OrvaneStandInControl";

// The default mail program's Simple MAPI stand-in (standin/mapi).
inline constexpr wchar_t kMapiSettings[] = L"Software\\OrvaneStandIn\\Mapi";
inline constexpr wchar_t kMapiMailClass[] = L"OrvaneStandInMapiMail";

}  // namespace standin::names

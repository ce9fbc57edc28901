// What the system knows of the user's keyboards: their layouts, what they type, the keys' names and the
// hotkeys that programs hold.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cwchar>

#include "settings/hotkey.h"
#include "text/text.h"

namespace installer {

namespace {

constexpr wchar_t kLayoutsKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts";

// The registry's name for a layout (its KLID, "00000415") from its handle. The handle's low word is the
// input language and its high word the physical layout
// (https://learn.microsoft.com/windows/win32/inputdev/about-keyboard-input, "Languages, Locales, and
// Keyboard Layouts"). That word is the KLID itself for a language's own layout; 0xFnnn for a variant,
// whose registry entry carries nnn as its "Layout Id"; 0xEnnn for an input method, whose KLID is the
// whole handle.
std::wstring LayoutId(HKL layout) {
  const auto handle = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(layout));
  const WORD device = HIWORD(handle);
  wchar_t id[16] = {};
  if ((device & 0xF000) == 0xE000) {
    std::swprintf(id, 16, L"%08X", static_cast<unsigned>(handle));
    return id;
  }
  if ((device & 0xF000) != 0xF000) {
    std::swprintf(id, 16, L"%08X", static_cast<unsigned>(device));
    return id;
  }
  HKEY layouts = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLayoutsKey, 0, KEY_READ, &layouts) != ERROR_SUCCESS) return {};
  std::wstring found;
  for (DWORD index = 0; found.empty(); ++index) {
    wchar_t name[16] = {};
    DWORD length = 16;
    if (::RegEnumKeyExW(layouts, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    wchar_t variant[16] = {};
    DWORD size = sizeof variant;
    if (::RegGetValueW(layouts, name, L"Layout Id", RRF_RT_REG_SZ, nullptr, variant, &size) == ERROR_SUCCESS &&
        std::wcstoul(variant, nullptr, 16) == (device & 0x0FFFu) &&
        std::wcstoul(name, nullptr, 16) % 0x10000 == LOWORD(handle)) {
      found = name;
    }
  }
  ::RegCloseKey(layouts);
  return found;
}

// "Polish (Programmers)": the layout's display name in the user's language, else its English text.
std::wstring LayoutName(HKL layout) {
  const std::wstring id = LayoutId(layout);
  HKEY key = nullptr;
  if (id.empty() || ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kLayoutsKey) + L"\\" + id).c_str(), 0, KEY_READ,
                                    &key) != ERROR_SUCCESS) {
    return id.empty() ? text::Get(text::Id::kShortcut_LayoutInUse) : text::Format(text::Id::kShortcut_LayoutNumber, id);
  }
  wchar_t name[256] = {};
  DWORD size = sizeof name;
  if (::RegLoadMUIStringW(key, L"Layout Display Name", name, sizeof name, &size, 0, nullptr) != ERROR_SUCCESS) {
    size = sizeof name;
    if (::RegGetValueW(key, nullptr, L"Layout Text", RRF_RT_REG_SZ, nullptr, name, &size) != ERROR_SUCCESS) name[0] = 0;
  }
  ::RegCloseKey(key);
  return name[0] ? name : text::Format(text::Id::kShortcut_LayoutNumber, id);
}

// What the key types on `layout` with Ctrl and Alt held: the same as AltGr on layouts that have one.
std::wstring TypedWithCtrlAlt(HKL layout, unsigned virtual_key, bool shift) {
  BYTE state[256] = {};
  state[VK_CONTROL] = state[VK_LCONTROL] = state[VK_MENU] = state[VK_LMENU] = 0x80;
  if (shift) state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
  wchar_t typed[8] = {};
  const UINT scan_code = ::MapVirtualKeyExW(virtual_key, MAPVK_VK_TO_VSC, layout);
  // Flag 4 leaves the keyboard state alone (a dead key is not remembered for the next key typed), from
  // Windows 10 version 1607: https://learn.microsoft.com/windows/win32/api/winuser/nf-winuser-tounicodeex
  const int count = ::ToUnicodeEx(virtual_key, scan_code, state, typed, 8, 4, layout);
  if (count == 0) return {};
  // A dead key (-1) types its accent with the next key: it is a character of the layout all the same.
  return std::wstring(typed, count < 0 ? 1 : static_cast<size_t>(count));
}

}  // namespace

std::vector<KeyboardLayout> UsersKeyboardLayouts() {
  std::vector<HKL> handles(static_cast<size_t>(std::max(::GetKeyboardLayoutList(0, nullptr), 0)));
  handles.resize(static_cast<size_t>(std::max(::GetKeyboardLayoutList(static_cast<int>(handles.size()), handles.data()), 0)));
  if (handles.empty()) handles.push_back(::GetKeyboardLayout(0));
  std::vector<KeyboardLayout> layouts;
  for (HKL handle : handles) {
    layouts.push_back({LayoutName(handle), [handle](unsigned virtual_key, bool shift) {
                         return TypedWithCtrlAlt(handle, virtual_key, shift);
                       }});
  }
  return layouts;
}

std::wstring KeyName(unsigned virtual_key) {
  UINT scan_code = ::MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC);
  LONG extended = 0;
  switch (virtual_key) {
    case VK_INSERT: case VK_DELETE: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_DIVIDE: case VK_NUMLOCK:
      extended = 1 << 24;
      break;
    default:
      break;
  }
  wchar_t name[64] = {};
  if (scan_code == 0 || ::GetKeyNameTextW(static_cast<LONG>(scan_code << 16) | extended, name, 64) <= 0) {
    std::swprintf(name, 64, L"key %u", virtual_key);
  }
  return name;
}

bool NoProgramHoldsIt(const Hotkey& hotkey) {
  const BYTE modifiers = HIBYTE(hotkey.link_value);
  UINT taken = MOD_NOREPEAT;
  if (modifiers & HOTKEYF_CONTROL) taken |= MOD_CONTROL;
  if (modifiers & HOTKEYF_ALT) taken |= MOD_ALT;
  if (modifiers & HOTKEYF_SHIFT) taken |= MOD_SHIFT;
  // Registering fails with ERROR_HOTKEY_ALREADY_REGISTERED where another program holds the keys.
  constexpr int kProbe = 0x4F52;
  if (!::RegisterHotKey(nullptr, kProbe, taken, LOBYTE(hotkey.link_value))) return false;
  ::UnregisterHotKey(nullptr, kProbe);
  return true;
}

}  // namespace installer

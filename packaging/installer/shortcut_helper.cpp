// Run by the installer: checks a keyboard shortcut written as text and creates the Start-menu
// shortcut that carries it (NSIS can only give a shortcut a hotkey fixed when the installer is built).
//
//   orvane_shortcut check "Ctrl+Alt+S"                         exit 0 when Windows can bind it, else 2
//   orvane_shortcut create LINK.lnk TARGET.exe "Ctrl+Alt+S" DESCRIPTION

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cwctype>
#include <string>

#include "platform/win/com.h"

namespace {

// "Ctrl+Alt+S" as IShellLink::SetHotkey wants it (virtual key low, HOTKEYF_ modifiers high), or 0.
WORD ParseHotkey(const std::wstring& text) {
  BYTE modifiers = 0;
  UINT key = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t plus = text.find(L'+', start);
    std::wstring part = text.substr(start, plus == std::wstring::npos ? std::wstring::npos : plus - start);
    while (!part.empty() && part.front() == L' ') part.erase(0, 1);
    while (!part.empty() && part.back() == L' ') part.pop_back();
    std::wstring upper = part;
    for (auto& c : upper) c = static_cast<wchar_t>(std::towupper(c));
    if (upper == L"CTRL" || upper == L"CONTROL") {
      modifiers |= HOTKEYF_CONTROL;
    } else if (upper == L"ALT") {
      modifiers |= HOTKEYF_ALT;
    } else if (upper == L"SHIFT") {
      modifiers |= HOTKEYF_SHIFT;
    } else if (key != 0) {
      return 0;  // two keys
    } else if (upper.size() == 1 && ((upper[0] >= L'A' && upper[0] <= L'Z') || (upper[0] >= L'0' && upper[0] <= L'9'))) {
      key = upper[0];
    } else if (upper.size() >= 2 && upper.size() <= 3 && upper[0] == L'F') {
      int number = _wtoi(upper.c_str() + 1);
      if (number < 1 || number > 12 || upper.find_first_not_of(L"0123456789", 1) != std::wstring::npos) return 0;
      key = VK_F1 + static_cast<UINT>(number - 1);
    } else {
      return 0;
    }
    if (plus == std::wstring::npos) break;
    start = plus + 1;
  }
  // Windows only binds shortcut keys that hold Ctrl or Alt.
  if (key == 0 || !(modifiers & (HOTKEYF_CONTROL | HOTKEYF_ALT))) return 0;
  return static_cast<WORD>(MAKEWORD(key, modifiers));
}

int CreateLink(const std::wstring& link, const std::wstring& target, WORD hotkey, const std::wstring& description) {
  win::ComApartment apartment;
  win::ComPtr<IShellLinkW> shell_link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&shell_link)))) return 1;
  std::wstring folder = target.substr(0, target.find_last_of(L"\\/"));
  shell_link->SetPath(target.c_str());
  shell_link->SetWorkingDirectory(folder.c_str());
  shell_link->SetIconLocation(target.c_str(), 0);
  shell_link->SetDescription(description.c_str());
  shell_link->SetShowCmd(SW_SHOWNORMAL);
  if (FAILED(shell_link->SetHotkey(hotkey))) return 1;
  win::ComPtr<IPersistFile> file;
  if (FAILED(shell_link.As(&file)) || FAILED(file->Save(link.c_str(), TRUE))) return 1;
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"check") return ParseHotkey(argv[2]) ? 0 : 2;
  if (argc == 6 && std::wstring(argv[1]) == L"create") {
    WORD hotkey = ParseHotkey(argv[4]);
    if (!hotkey) return 2;
    return CreateLink(argv[2], argv[3], hotkey, argv[5]);
  }
  return 3;
}

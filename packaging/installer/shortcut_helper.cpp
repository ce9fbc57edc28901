// Run by the installer: checks a keyboard shortcut written as text and creates the Start-menu
// shortcut that carries it (NSIS can only give a shortcut a hotkey fixed when the installer is built).
//
//   orvane_shortcut rule                                       prints the rule for shortcuts
//   orvane_shortcut normalise "ctrl+alt+s"                     prints "Ctrl+Alt+S"; exit 2 if refused
//   orvane_shortcut create LINK.lnk TARGET.exe "Ctrl+Alt+S" DESCRIPTION

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>

#include "hotkey.h"
#include "platform/win/com.h"

namespace {

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
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (argc == 2 && command == L"rule") {
    std::fputws(installer::kHotkeyRule, stdout);
    return 0;
  }
  if (argc == 3 && command == L"normalise") {
    auto hotkey = installer::ParseHotkey(argv[2]);
    if (!hotkey) return 2;
    std::fputws(hotkey->spelling.c_str(), stdout);
    return 0;
  }
  if (argc == 6 && command == L"create") {
    auto hotkey = installer::ParseHotkey(argv[4]);
    if (!hotkey) return 2;
    return CreateLink(argv[2], argv[3], hotkey->link_value, argv[5]);
  }
  return 3;
}

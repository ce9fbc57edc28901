#include "rebind.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/win/com.h"
#include "platform/win/process.h"

namespace installer {

namespace {

struct OpenLink {
  win::ComPtr<IShellLinkW> link;
  win::ComPtr<IPersistFile> file;
};

bool Open(const std::wstring& path, OpenLink& open) {
  return SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&open.link))) &&
         SUCCEEDED(open.link.As(&open.file)) && SUCCEEDED(open.file->Load(path.c_str(), STGM_READWRITE));
}

bool SaveKeys(OpenLink& open, const std::wstring& path, WORD keys) {
  return SUCCEEDED(open.link->SetHotkey(keys)) && SUCCEEDED(open.file->Save(path.c_str(), TRUE));
}

std::wstring Target(OpenLink& open) {
  wchar_t target[MAX_PATH] = {};
  if (FAILED(open.link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH))) return {};
  wchar_t expanded[MAX_PATH] = {};
  return ::ExpandEnvironmentStringsW(target, expanded, MAX_PATH) ? expanded : target;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace

Installation InstallationIn(const std::wstring& folder) {
  wchar_t programs[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs);
  return {std::wstring(programs) + L"\\Orvane.lnk", folder + L"\\Orvane.ini", folder + L"\\orvane.exe"};
}

unsigned short CurrentKeys(const Installation& installation) {
  win::ComApartment apartment;
  OpenLink open;
  WORD keys = 0;
  if (!Open(installation.link, open) || FAILED(open.link->GetHotkey(&keys))) return 0;
  return keys;
}

RebindResult Rebind(const Installation& installation, const Hotkey& hotkey) {
  win::ComApartment apartment;
  OpenLink open;
  if (!Open(installation.link, open)) {
    return {false, L"There is no Start-menu shortcut for Orvane to change (" + installation.link +
                       L"). Install Orvane again to get one; nothing was changed."};
  }
  const std::wstring target = Target(open);
  if (!win::SamePath(target, installation.program)) {
    return {false, L"The Start-menu shortcut " + Quoted(installation.link) + L" starts " + Quoted(target) +
                       L", not this copy of Orvane (" + Quoted(installation.program) +
                       L"). Change the shortcut from the copy it starts."};
  }
  WORD before = 0;
  open.link->GetHotkey(&before);
  if (!SaveKeys(open, installation.link, hotkey.link_value)) {
    return {false, L"The Start-menu shortcut " + Quoted(installation.link) +
                       L" could not be changed. Nothing was changed; the shortcut is still what it was."};
  }
  if (!::WritePrivateProfileStringW(L"KeyCombos", L"Activate", hotkey.spelling.c_str(), installation.settings.c_str())) {
    const DWORD error = ::GetLastError();
    SaveKeys(open, installation.link, before);  // both or neither
    return {false, L"The settings file " + Quoted(installation.settings) + L" could not be written (error " +
                       std::to_wstring(error) + L"). Nothing was changed; the shortcut is still what it was."};
  }
  // The shell takes a shortcut's key when it learns that the file changed; saving through IPersistFile
  // does not always tell it, this does.
  // https://learn.microsoft.com/windows/win32/api/shlobj_core/nf-shlobj_core-shchangenotify
  ::SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW | SHCNF_FLUSH, installation.link.c_str(), nullptr);
  std::wstring message = L"Orvane's shortcut is now " + hotkey.spelling;
  if (auto earlier = HotkeyOfKeys(before); earlier && earlier->link_value != hotkey.link_value) {
    message += L" (it was " + earlier->spelling + L")";
  }
  return {true, message + L". Press it in any window to e-mail a picture of that window."};
}

}  // namespace installer

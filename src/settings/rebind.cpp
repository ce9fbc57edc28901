#include "settings/rebind.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/win/com.h"
#include "platform/win/process.h"
#include "settings/settings_file.h"
#include "text/text.h"

namespace installer {

namespace {

struct OpenLink {
  win::ComPtr<IShellLinkW> link;
  win::ComPtr<IPersistFile> file;
};

// Read only: a shortcut that cannot be written is still read, so that what stops the change can be told.
// Saving under the path afterwards writes the file anew.
HRESULT Open(const std::wstring& path, OpenLink& open) {
  HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&open.link));
  if (SUCCEEDED(hr)) hr = open.link.As(&open.file);
  if (SUCCEEDED(hr)) hr = open.file->Load(path.c_str(), STGM_READ);
  return hr;
}

HRESULT SaveKeys(OpenLink& open, const std::wstring& path, WORD keys) {
  HRESULT hr = open.link->SetHotkey(keys);
  if (SUCCEEDED(hr)) hr = open.file->Save(path.c_str(), TRUE);
  return hr;
}

bool Missing(const std::wstring& path) {
  if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD error = ::GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool ReadOnly(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// What kept the shortcut's file from being read or written, in words that say what to do about it.
std::wstring WhatStopped(HRESULT hr) {
  switch (hr) {
    case STG_E_SHAREVIOLATION:
    case STG_E_LOCKVIOLATION:
    case HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION):
    case HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION):
      return text::Get(text::Id::kShortcut_InUse);
    case E_ACCESSDENIED:
    case STG_E_ACCESSDENIED:
      return text::Get(text::Id::kShortcut_AccessDenied);
    default:
      return SystemText(hr);
  }
}

std::wstring Target(OpenLink& open) {
  wchar_t target[MAX_PATH] = {};
  if (FAILED(open.link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH))) return {};
  wchar_t expanded[MAX_PATH] = {};
  return ::ExpandEnvironmentStringsW(target, expanded, MAX_PATH) ? expanded : target;
}

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
  if (FAILED(Open(installation.link, open)) || FAILED(open.link->GetHotkey(&keys))) return 0;
  return keys;
}

RebindResult Rebind(const Installation& installation, const Hotkey& hotkey, const std::vector<ini::Change>& more) {
  win::ComApartment apartment;
  OpenLink open;
  if (const HRESULT opened = Open(installation.link, open); FAILED(opened)) {
    if (Missing(installation.link)) return {false, text::Format(text::Id::kShortcut_NoLink, installation.link)};
    return {false, text::Format(text::Id::kShortcut_NotRead, installation.link, WhatStopped(opened))};
  }
  const std::wstring target = Target(open);
  if (!win::SamePath(target, installation.program)) {
    return {false, text::Format(text::Id::kShortcut_OtherCopy, installation.link, target, installation.program)};
  }
  WORD before = 0;
  open.link->GetHotkey(&before);
  // Windows refuses to write a file marked read-only to anyone ("File Attribute Constants"); asked
  // first, so that the answer does not depend on who runs this (Wine lets its root user write it).
  if (ReadOnly(installation.link)) {
    return {false, text::Format(text::Id::kShortcut_NotWritten, installation.link, text::Get(text::Id::kShortcut_ReadOnly))};
  }
  if (const HRESULT saved = SaveKeys(open, installation.link, hotkey.link_value); FAILED(saved)) {
    return {false, text::Format(text::Id::kShortcut_NotWritten, installation.link, WhatStopped(saved))};
  }
  std::vector<ini::Change> changes = {{L"KeyCombos", L"Activate", hotkey.spelling}};
  changes.insert(changes.end(), more.begin(), more.end());
  if (const Written written = WriteSettings(installation.settings, changes); !written.done) {
    (void)SaveKeys(open, installation.link, before);  // both or neither
    if (written.error != 0) {
      return {false, text::Format(text::Id::kShortcut_SettingsNotWritten, installation.settings, std::to_wstring(written.error))};
    }
    return {false, text::Format(text::Id::kSettings_NotWritten, installation.settings, written.reason)};
  }
  // The shell takes a shortcut's key when it learns that the file changed; saving through IPersistFile
  // does not always tell it, this does.
  // https://learn.microsoft.com/windows/win32/api/shlobj_core/nf-shlobj_core-shchangenotify
  ::SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW | SHCNF_FLUSH, installation.link.c_str(), nullptr);
  // The settings keep the keys as Windows spells them; the person reads them in their language.
  const std::wstring now = text::KeysForDisplay(hotkey.spelling);
  if (auto earlier = HotkeyOfKeys(before); earlier && earlier->link_value != hotkey.link_value) {
    return {true, text::Format(text::Id::kShortcut_ChangedFrom, now, text::KeysForDisplay(earlier->spelling))};
  }
  return {true, text::Format(text::Id::kShortcut_Changed, now)};
}

bool LinkMissing(const Installation& installation) { return Missing(installation.link); }

HRESULT WriteLink(const std::wstring& link, const std::wstring& target, unsigned short keys,
                  const std::wstring& description) {
  win::ComApartment apartment;
  win::ComPtr<IShellLinkW> shell_link;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&shell_link));
  if (FAILED(hr)) return hr;
  const std::wstring folder = target.substr(0, target.find_last_of(L"\\/"));
  shell_link->SetPath(target.c_str());
  shell_link->SetWorkingDirectory(folder.c_str());
  shell_link->SetIconLocation(target.c_str(), 0);
  shell_link->SetDescription(description.c_str());
  shell_link->SetShowCmd(SW_SHOWNORMAL);
  if (FAILED(hr = shell_link->SetHotkey(keys))) return hr;
  win::ComPtr<IPersistFile> file;
  if (FAILED(hr = shell_link.As(&file))) return hr;
  return file->Save(link.c_str(), TRUE);
}

RebindResult CreateLinkWithKeys(const Installation& installation, const Hotkey& hotkey,
                                const std::vector<ini::Change>& more) {
  if (const HRESULT made = WriteLink(installation.link, installation.program, hotkey.link_value,
                                     text::Get(text::Id::kSettings_LinkDescription));
      FAILED(made)) {
    return {false, text::Format(text::Id::kShortcut_NotWritten, installation.link, WhatStopped(made))};
  }
  std::vector<ini::Change> changes = {{L"KeyCombos", L"Activate", hotkey.spelling}};
  changes.insert(changes.end(), more.begin(), more.end());
  if (const Written written = WriteSettings(installation.settings, changes); !written.done) {
    ::DeleteFileW(installation.link.c_str());  // both or neither
    if (written.error != 0) {
      return {false, text::Format(text::Id::kShortcut_SettingsNotWritten, installation.settings, std::to_wstring(written.error))};
    }
    return {false, text::Format(text::Id::kSettings_NotWritten, installation.settings, written.reason)};
  }
  ::SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW | SHCNF_FLUSH, installation.link.c_str(), nullptr);
  return {true, text::Format(text::Id::kShortcut_Changed, text::KeysForDisplay(hotkey.spelling))};
}

}  // namespace installer

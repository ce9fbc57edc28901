#pragma once
// Changing the keyboard shortcut of an installed Orvane: the Start-menu shortcut's key and the name in
// Orvane.ini, together.

#include <windows.h>

#include <string>

#include <vector>

#include "settings/hotkey.h"
#include "settings/ini_edit.h"

namespace installer {

struct Installation {
  std::wstring link;      // the Start-menu shortcut that carries the key
  std::wstring settings;  // Orvane.ini
  std::wstring program;   // the orvane.exe the shortcut must start
};

// Orvane's Start-menu shortcut and the settings and program in `folder`.
Installation InstallationIn(const std::wstring& folder);

// The key the shortcut carries now, or 0 (no shortcut, or none readable).
unsigned short CurrentKeys(const Installation& installation);

struct RebindResult {
  bool done = false;
  std::wstring message;  // what was done, or why nothing was
};

// Gives the shortcut `hotkey` and writes its name to the settings, with `more` changes of the settings;
// when either file cannot be written, neither changes.
RebindResult Rebind(const Installation& installation, const Hotkey& hotkey, const std::vector<ini::Change>& more = {});

// Whether the Start-menu shortcut is missing (a copy unpacked from the portable zip has none).
bool LinkMissing(const Installation& installation);

// Makes the Start-menu shortcut to the program, with `hotkey`, and writes the key's name to the
// settings with `more` changes; when the settings cannot be written, the shortcut is taken away again.
RebindResult CreateLinkWithKeys(const Installation& installation, const Hotkey& hotkey,
                                const std::vector<ini::Change>& more = {});

// Writes a shortcut at `link` that starts `target` in its folder, with its icon, `description` and
// `keys` (0: none); the system's answer.
HRESULT WriteLink(const std::wstring& link, const std::wstring& target, unsigned short keys,
                  const std::wstring& description);

}  // namespace installer

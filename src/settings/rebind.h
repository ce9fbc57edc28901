#pragma once
// Changing the keyboard shortcut of an installed Orvane: the Start-menu shortcut's key and the name in
// Orvane.ini, together.

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

}  // namespace installer

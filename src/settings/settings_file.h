#pragma once
// Orvane.ini written by the settings window and the shortcut tool: edited in place (settings/ini_edit.h)
// and put in place whole, or not at all.

#include <string>
#include <vector>

#include "settings/ini_edit.h"

namespace installer {

struct Written {
  bool done = false;
  unsigned long error = 0;  // Windows' error number where Windows refused a step, else 0
  std::wstring reason;      // why it was not written, in words that follow "could not be written:"
};

// Makes the changes that differ from what the file says: the whole new file is written beside it and
// then replaces it (keeping its attributes and permissions), so that a failure at any step leaves the
// file as it was. A file that does not exist is made. A read-only file, or values its encoding cannot
// hold, are refused before anything is written.
Written WriteSettings(const std::wstring& path, const std::vector<ini::Change>& changes);

// The value as orvane.exe reads it, however long (empty when missing).
std::wstring ReadSettingValue(const std::wstring& path, const std::wstring& section, const std::wstring& key);

// The system's words for an error, without the closing full stop and line break; else its number.
std::wstring SystemText(unsigned long error_or_hresult);

}  // namespace installer

#pragma once
// What the stand-ins share: settings read from the user's registry at every call, and a journal of
// one UTF-8 line per call that the tests read back.

#include <windows.h>

#include <string>

namespace standin {

// A text value of a registry key (null name: its default value); empty when there is none.
std::wstring RegistryText(HKEY root, const wchar_t* key, const wchar_t* name);
// A text setting under HKEY_CURRENT_USER\<key>; empty when it is not set.
std::wstring SettingUnder(const wchar_t* key, const wchar_t* name);
// Appends one line to the journal file (nothing when no file is named).
void AppendJournal(const std::wstring& path, const std::wstring& line);

}  // namespace standin

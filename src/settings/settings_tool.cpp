// Orvane's settings: the window the Start menu's "Orvane settings" opens, and the keyboard shortcut
// checked and bound by the installer or changed from a script (NSIS can only give a shortcut a hotkey
// fixed when the installer is built).
//
//   orvane_settings                               the settings window: recipients, shortcut, language,
//                                                 mail program and test mail. Exit 0 saved, 1 cancelled.
//   orvane_settings --language=TAG COMMAND ...    says what it says in that language ("de", "pt-BR"), as the
//                                                 installer does, ahead of Orvane.ini's and Windows' choice
//   orvane_settings rule                          prints the rule for shortcuts
//   orvane_settings default                       prints the shortcut offered to a new user
//   orvane_settings normalise "ctrl+alt+s"        prints "Ctrl+Alt+S", or why it is refused (exit 2)
//   orvane_settings normalise-keys 1619           the same for a hotkey control's value
//   orvane_settings value "Ctrl+Alt+S"            prints the value a hotkey control takes for it (0 if none)
//   orvane_settings create LINK.lnk TARGET.exe "Ctrl+Alt+S" DESCRIPTION
//   orvane_settings change ["Ctrl+Alt+E"]         changes the shortcut of the Orvane in this program's
//                                                 folder: its Start-menu entry's key and Orvane.ini
//                                                 together; without keys, asks for them in a dialog.
//                                                 Exit 0 changed, 1 not changed, 2 refused.
//
// What it prints goes to its standard output in UTF-16 with a byte-order mark, or to the console it
// was started from. Shortcuts it prints for the installer to write ("Ctrl+Alt+S") are spelt as the
// settings file spells them, in every language; what it says to the person is in their language.

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cwchar>
#include <string>

#include "settings/change_dialog.h"
#include "settings/hotkey.h"
#include "platform/win/com.h"
#include "settings/rebind.h"
#include "settings/settings_window.h"
#include "text/text.h"

namespace {

void Say(const std::wstring& text) {
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if ((out == nullptr || out == INVALID_HANDLE_VALUE) && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
    out = ::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0, written = 0;
  if (::GetConsoleMode(out, &mode)) {
    const std::wstring line = text + L"\r\n";
    ::WriteConsoleW(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return;
  }
  const std::wstring marked = L"\uFEFF" + text;
  ::WriteFile(out, marked.data(), static_cast<DWORD>(marked.size() * sizeof(wchar_t)), &written, nullptr);
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH * 4] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring program(path, length);
  return program.substr(0, program.find_last_of(L"\\/"));
}

int Report(const installer::Verdict& verdict) {
  Say(verdict.hotkey ? verdict.hotkey->spelling : verdict.refusal);
  return verdict.hotkey ? 0 : 2;
}

int Change(const std::wstring& keys) {
  const installer::Installation installation = installer::InstallationIn(ProgramFolder());
  const installer::Verdict verdict = installer::JudgeText(keys, installer::UsersKeyboardLayouts());
  if (!verdict.hotkey) return Report(verdict);
  const installer::RebindResult result = installer::Rebind(installation, *verdict.hotkey);
  Say(result.message);
  return result.done ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  constexpr std::wstring_view kLanguage = L"--language=";
  if (argc > 1 && std::wstring_view(argv[1]).substr(0, kLanguage.size()) == kLanguage) {
    text::RequestLanguage(std::wstring_view(argv[1]).substr(kLanguage.size()));
    --argc;
    ++argv;
  }
  if (argc == 1) return installer::SettingsWindow(::GetModuleHandleW(nullptr), installer::InstallationIn(ProgramFolder()));
  const std::wstring command = argv[1];
  if (argc == 2 && command == L"rule") {
    Say(installer::HotkeyRule());
    return 0;
  }
  if (argc == 2 && command == L"default") {
    Say(installer::DefaultHotkey(installer::UsersKeyboardLayouts(), installer::NoProgramHoldsIt).spelling);
    return 0;
  }
  if (argc == 3 && command == L"normalise") return Report(installer::JudgeText(argv[2], installer::UsersKeyboardLayouts()));
  if (argc == 3 && command == L"normalise-keys") {
    const auto keys = static_cast<unsigned short>(std::wcstoul(argv[2], nullptr, 10));
    return Report(installer::JudgeKeys(keys, installer::UsersKeyboardLayouts(), installer::KeyName));
  }
  if (argc == 3 && command == L"value") {
    auto hotkey = installer::ParseHotkey(argv[2]);
    Say(std::to_wstring(hotkey ? hotkey->link_value : 0));
    return 0;
  }
  if (argc == 6 && command == L"create") {
    auto hotkey = installer::ParseHotkey(argv[4]);
    if (!hotkey) return 2;
    return FAILED(installer::WriteLink(argv[2], argv[3], hotkey->link_value, argv[5])) ? 1 : 0;
  }
  if (argc == 3 && command == L"change") return Change(argv[2]);
  if (argc == 2 && command == L"change") {
    return installer::ChangeShortcutDialog(::GetModuleHandleW(nullptr), installer::InstallationIn(ProgramFolder()));
  }
  Say(text::Get(text::Id::kShortcut_Usage));
  return 3;
}

// The installer as a user or an administrator's script runs it: silently, with both settings.

#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <cwchar>
#include <vector>

#include "support/desktop.h"
#include "settings/hotkey.h"
#include "platform/win/com.h"
#include "platform/win/process.h"
#include "support/orvane_process.h"
#include "support/po_texts.h"
#include "support/shell_link.h"
#include "support/screen_dpi.h"
#include "support/standin.h"
#include "support/temp_folder.h"
#include "support/text_fit.h"

namespace {

using testing_support::TempFolder;

using testing_support::RunAndWait;
using testing_support::CutOffTexts;
using testing_support::RunCapturing;
using testing_support::Said;

std::wstring Installer() { return testing_support::BuildFolder() + L"\\Orvane-" ORVANE_VERSION_TEXT L"-setup.exe"; }

std::wstring StartMenu(const wchar_t* name) {
  wchar_t programs[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs);
  return std::wstring(programs) + L"\\" + name + L".lnk";
}

std::wstring Setting(const std::wstring& folder, const wchar_t* section, const wchar_t* key) {
  wchar_t value[1024] = {};
  ::GetPrivateProfileStringW(section, key, L"<missing>", value, 1024, (folder + L"\\Orvane.ini").c_str());
  return value;
}

bool KeyExists(const wchar_t* path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

std::wstring RegistryText(const wchar_t* path, const wchar_t* name) {
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  if (::RegGetValueW(HKEY_CURRENT_USER, path, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return L"<missing>";
  return value;
}

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane";

using testing_support::Link;
using testing_support::ReadLink;
using win::SamePath;

// Removes an installation made by a test, waiting for the uninstaller to finish.
DWORD Uninstall(const std::wstring& folder) {
  // "_?=" runs the uninstaller in place, so that waiting for it waits for the removal.
  DWORD code = RunAndWait(folder + L"\\uninstall.exe", L"/S _?=" + folder);
  ::DeleteFileW((folder + L"\\uninstall.exe").c_str());  // left behind by "_?=" by design
  return code;
}

TEST(Installer, SilentInstallRunAndUninstallKeepTheScreenshotsAndNothingElse) {
  TempFolder parent(L"orvane-install");
  const std::wstring folder = parent / L"Orvane";
  const std::wstring recipient = L"\u0430\u0440\u0432\u0435\u043b@example.com";
  ASSERT_EQ(RunAndWait(Installer(), L"/S /RECIPIENT=" + recipient + L" /HOTKEY=ctrl+alt+e /D=" + folder), 0u);

  EXPECT_TRUE(testing_support::FileExists(folder + L"\\uninstall.exe"));
  EXPECT_TRUE(testing_support::ReadBytes(folder + L"\\orvane.exe") ==
              testing_support::ReadBytes(testing_support::BuildFolder() + L"\\..\\shipped\\orvane.exe"))
      << "the installed program is not the stripped one";
  EXPECT_EQ(Setting(folder, L"Email", L"Recipient"), recipient);
  EXPECT_EQ(Setting(folder, L"KeyCombos", L"Activate"), L"Ctrl+Alt+E") << "stored as typed, not as Windows spells it";

  const Link program = ReadLink(StartMenu(L"Orvane"));
  EXPECT_TRUE(SamePath(program.target, folder + L"\\orvane.exe")) << testing::PrintToString(program.target);
  EXPECT_EQ(program.hotkey, MAKEWORD('E', HOTKEYF_CONTROL | HOTKEYF_ALT));
  // One entry for the settings: the settings window, no longer Notepad, and no entry of the shortcut's own.
  const Link settings = ReadLink(StartMenu(L"Orvane settings"));
  EXPECT_TRUE(SamePath(settings.target, folder + L"\\orvane_settings.exe")) << testing::PrintToString(settings.target);
  EXPECT_EQ(settings.arguments, L"");
  EXPECT_FALSE(testing_support::FileExists(StartMenu(L"Change Orvane's shortcut")));
  const Link pictures = ReadLink(StartMenu(L"Orvane screenshots"));
  EXPECT_TRUE(SamePath(pictures.target, folder)) << testing::PrintToString(pictures.target);

  // The settings file is the example with its comments, in UTF-16 for any recipient.
  const std::string settings_file = testing_support::ReadBytes(folder + L"\\Orvane.ini");
  ASSERT_GE(settings_file.size(), 2u);
  EXPECT_EQ(settings_file.substr(0, 2), "\xFF\xFE");
  const std::wstring settings_text(reinterpret_cast<const wchar_t*>(settings_file.data() + 2), (settings_file.size() - 2) / 2);
  for (const wchar_t* comment : {L"; The address (or addresses, separated by semicolons)", L"; The name of the keyboard shortcut",
                                 L"\"Orvane settings\" in the Start menu"}) {
    EXPECT_NE(settings_text.find(comment), std::wstring::npos) << testing::PrintToString(std::wstring(comment));
  }

  // The installed program does a confirmed run, and names the shortcut as Windows does.
  {
    testing_support::StandIn mail_program;
    desktop::SampleWindow target(L"Installed run", 200, 100);
    ASSERT_TRUE(target.BringToFront());
    testing_support::OrvaneProcess run(folder);
    HWND question = desktop::WaitForDialog(run.id(), 15000, run.handle());
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(desktop::ReadDialog(question).text.rfind(L"You have pressed Ctrl+Alt+E.", 0), 0u);
    desktop::Press(question, IDOK);
    EXPECT_EQ(run.WaitForExit(), 0u);
  }
  ASSERT_TRUE(testing_support::FileExists(folder + L"\\Screenshot001.jpg"));

  ASSERT_EQ(Uninstall(folder), 0u);
  EXPECT_EQ(testing_support::ListFolder(folder), L"Screenshot001.jpg");
  for (const wchar_t* name : {L"Orvane", L"Orvane settings", L"Orvane screenshots", L"Change Orvane's shortcut"}) {
    EXPECT_FALSE(testing_support::FileExists(StartMenu(name))) << testing::PrintToString(std::wstring(name));
  }
  EXPECT_FALSE(KeyExists(L"Software\\Orvane"));
  EXPECT_FALSE(KeyExists(kUninstallKey));
}

TEST(Installer, AShortcutThatTakesOverProgramKeysInstallsNothing) {
  TempFolder parent(L"orvane-install");
  const std::wstring folder = parent / L"Orvane";
  for (const wchar_t* hotkey : {L"Ctrl+S", L"Ctrl+C", L"Alt+F4", L"S", L"Ctrl+Alt+F13"}) {
    EXPECT_EQ(RunAndWait(Installer(), L"/S /RECIPIENT=a@b /HOTKEY=" + std::wstring(hotkey) + L" /D=" + folder), 2u)
        << testing::PrintToString(std::wstring(hotkey));
    EXPECT_FALSE(testing_support::FileExists(folder + L"\\orvane.exe"));
    EXPECT_FALSE(testing_support::FileExists(StartMenu(L"Orvane")));
    EXPECT_FALSE(KeyExists(kUninstallKey));
  }
}

TEST(Installer, AnEmptyRecipientStillInstalls) {
  TempFolder parent(L"orvane-install");
  const std::wstring folder = parent / L"Orvane";
  ASSERT_EQ(RunAndWait(Installer(), L"/S /RECIPIENT= /HOTKEY=Ctrl+Alt+S /D=" + folder), 0u);
  EXPECT_EQ(Setting(folder, L"Email", L"Recipient"), L"");
  EXPECT_EQ(Uninstall(folder), 0u);
}

TEST(Installer, InstallingIntoAnotherFolderRemovesTheEarlierCopyAndKeepsItsScreenshots) {
  TempFolder parent(L"orvane-install");
  const std::wstring first = parent / L"First";
  const std::wstring second = parent / L"Second";
  ASSERT_EQ(RunAndWait(Installer(), L"/S /RECIPIENT=arvel@example.com /HOTKEY=Ctrl+Alt+Shift+F7 /D=" + first), 0u);
  testing_support::WriteBytes(first + L"\\Screenshot001.jpg", "picture");

  // No settings given: the earlier ones are kept.
  ASSERT_EQ(RunAndWait(Installer(), L"/S /D=" + second), 0u);
  EXPECT_EQ(testing_support::ListFolder(first), L"Screenshot001.jpg") << "the earlier copy is orphaned";
  EXPECT_TRUE(testing_support::FileExists(second + L"\\orvane.exe"));
  EXPECT_EQ(Setting(second, L"Email", L"Recipient"), L"arvel@example.com");
  EXPECT_EQ(Setting(second, L"KeyCombos", L"Activate"), L"Ctrl+Alt+Shift+F7");
  EXPECT_TRUE(SamePath(RegistryText(kUninstallKey, L"InstallLocation"), second));
  EXPECT_TRUE(SamePath(RegistryText(L"Software\\Orvane", L"InstallDir"), second));
  EXPECT_TRUE(SamePath(ReadLink(StartMenu(L"Orvane")).target, second + L"\\orvane.exe"));
  EXPECT_TRUE(SamePath(ReadLink(StartMenu(L"Orvane screenshots")).target, second));

  ASSERT_EQ(Uninstall(second), 0u);
  EXPECT_FALSE(KeyExists(L"Software\\Orvane"));
}

// The installer's pages, read and answered from outside as a user would.

std::vector<HWND> VisibleDescendants(HWND window) {
  std::vector<HWND> found;
  ::EnumChildWindows(
      window,
      [](HWND child, LPARAM list) {
        if (::IsWindowVisible(child)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Everything a window and its visible descendants say, one line each.
std::wstring Words(HWND window) {
  std::wstring words = desktop::ControlText(window);
  for (HWND child : VisibleDescendants(window)) words += L"\n" + desktop::ControlText(child);
  return words;
}

// A dialog of the process (a page's window or a message box) that says `words`, waited for.
HWND WaitForWords(DWORD process_id, const std::wstring& words, DWORD timeout_ms = 20000) {
  const DWORD start = ::GetTickCount();
  do {
    for (HWND dialog : desktop::WindowsOf(process_id, L"#32770")) {
      if (Words(dialog).find(words) != std::wstring::npos) return dialog;
    }
    desktop::SampleWindow::Pump();
    ::Sleep(50);
  } while (::GetTickCount() - start < timeout_ms);
  return nullptr;
}

std::wstring ClassOf(HWND window) {
  wchar_t kind[64] = {};
  ::GetClassNameW(window, kind, 64);
  return kind;
}

std::vector<HWND> Fields(HWND page, const wchar_t* kind) {
  std::vector<HWND> fields;
  for (HWND child : VisibleDescendants(page)) {
    if (::lstrcmpiW(ClassOf(child).c_str(), kind) == 0) fields.push_back(child);
  }
  return fields;
}

// Clicks into a hotkey field and presses the keys, as a person records a shortcut.
void PressShortcut(HWND window, HWND field, const std::vector<WORD>& keys) {
  ::SetForegroundWindow(window);
  desktop::Click(field);
  desktop::PressKeys(keys);
}

WORD HotkeyShown(HWND field) {
  DWORD_PTR keys = 0;
  ::SendMessageTimeoutW(field, HKM_GETHOTKEY, 0, 0, SMTO_ABORTIFHUNG, 2000, &keys);
  return static_cast<WORD>(keys);
}

// Answers a message box and waits until it has gone.
void Answer(HWND box, int button_id) {
  desktop::Press(box, button_id);
  for (DWORD start = ::GetTickCount(); ::IsWindow(box) && ::GetTickCount() - start < 10000;) ::Sleep(20);
}

void Type(HWND field, const std::wstring& text) {
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 2000, &ignored);
}

class Started {
 public:
  Started(const std::wstring& exe, const std::wstring& arguments) {
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = ::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                &process_) != FALSE;
    if (started_) ::CloseHandle(process_.hThread);
  }
  Started(const Started&) = delete;
  Started& operator=(const Started&) = delete;
  ~Started() {
    if (!started_) return;
    if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(process_.hProcess, 1);
    ::CloseHandle(process_.hProcess);
  }
  bool started() const { return started_; }
  DWORD id() const { return process_.dwProcessId; }
  DWORD WaitForExit() { return desktop::WaitForExit(process_.hProcess, 30000); }

 private:
  bool started_ = false;
  PROCESS_INFORMATION process_{};
};

constexpr int kNext = 1;  // Next, Install, Finish and Uninstall are the same button

// The box that offers the installer's languages, its first window, waited for.
HWND WaitForLanguageBox(DWORD process_id) {
  for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 20000; ::Sleep(50)) {
    for (HWND window : desktop::WindowsOf(process_id, L"#32770")) {
      if (!Fields(window, L"ComboBox").empty()) return window;
    }
  }
  return nullptr;
}

TEST(Installer, ThePagesSayWhatTheyCheckAndWhereThePicturesGo) {
  TempFolder parent(L"orvane-install");
  const std::wstring folder = parent / L"Orvane";
  Started setup(Installer(), L"/D=" + folder);
  ASSERT_TRUE(setup.started());
  HWND language_box = WaitForLanguageBox(setup.id());
  ASSERT_NE(language_box, nullptr) << "no language box";
  desktop::Press(language_box, IDOK);

  HWND window = WaitForWords(setup.id(), L"Welcome");
  ASSERT_NE(window, nullptr) << "no welcome page";
  for (const wchar_t* words : {L"for you alone", L"no administrator rights", L"nothing to close or restart",
                               L"opens a new mail with the picture attached"}) {
    EXPECT_NE(Words(window).find(words), std::wstring::npos) << testing::PrintToString(std::wstring(words));
  }
  EXPECT_EQ(Words(window).find(L"reboot"), std::wstring::npos) << "the stock text of installers for all users";
  EXPECT_EQ(CutOffTexts(window), std::vector<std::wstring>{});
  desktop::Press(window, kNext);
  ASSERT_NE(WaitForWords(setup.id(), L"Destination Folder"), nullptr);
  EXPECT_EQ(CutOffTexts(window), std::vector<std::wstring>{});
  desktop::Press(window, kNext);

  // The page states the rule that its check applies, and how to change both settings later.
  ASSERT_NE(WaitForWords(setup.id(), L"Keyboard shortcut that takes a screenshot"), nullptr);
  EXPECT_NE(Words(window).find(installer::HotkeyRule()), std::wstring::npos) << testing::PrintToString(Words(window));
  EXPECT_NE(Words(window).find(L"\"Orvane settings\" in the Start menu changes the recipient, the keys and the language"), std::wstring::npos);
  EXPECT_EQ(CutOffTexts(window), std::vector<std::wstring>{});
  std::vector<HWND> fields = Fields(window, L"Edit");
  std::vector<HWND> keys = Fields(window, L"msctls_hotkey32");
  ASSERT_EQ(fields.size(), 1u);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(HotkeyShown(keys[0]), MAKEWORD('S', HOTKEYF_CONTROL | HOTKEYF_ALT)) << "the default is not offered";
  Type(fields[0], L"");

  // Keys are recorded as pressed; a key outside the rule is refused with the rule.
  PressShortcut(window, keys[0], {VK_CONTROL, VK_MENU, VK_HOME});
  desktop::Press(window, kNext);
  HWND refusal = WaitForWords(setup.id(), L"cannot be the shortcut.");
  ASSERT_NE(refusal, nullptr) << "Ctrl+Alt+Home was taken";
  EXPECT_EQ(Words(refusal).find(L"\"Ctrl+Alt+"), Words(refusal).find(L"\"")) << testing::PrintToString(Words(refusal));
  EXPECT_NE(Words(refusal).find(installer::HotkeyRule()), std::wstring::npos);
  Answer(refusal, IDOK);

  // A key pressed without Ctrl and Alt gets them, as in a shortcut's own field.
  PressShortcut(window, keys[0], {'E'});
  EXPECT_EQ(HotkeyShown(keys[0]), MAKEWORD('E', HOTKEYF_CONTROL | HOTKEYF_ALT));
  desktop::Press(window, kNext);

  // An empty recipient is warned about. Enter keeps the user on the page; Yes goes on.
  HWND warning = WaitForWords(setup.id(), L"every mail will open with an empty To line");
  ASSERT_NE(warning, nullptr);
  ::SetForegroundWindow(warning);
  desktop::PressKeys({VK_RETURN});
  for (DWORD start = ::GetTickCount(); ::IsWindow(warning) && ::GetTickCount() - start < 10000;) ::Sleep(20);
  EXPECT_FALSE(::IsWindow(warning));
  EXPECT_NE(Words(window).find(L"Keyboard shortcut that takes a screenshot"), std::wstring::npos)
      << "Enter went on without a recipient";
  desktop::Press(window, kNext);
  warning = WaitForWords(setup.id(), L"every mail will open with an empty To line");
  ASSERT_NE(warning, nullptr);
  Answer(warning, IDYES);

  // Once installed, the finish page follows by itself.
  ASSERT_NE(WaitForWords(setup.id(), L"Press Ctrl+Alt+E in any window"), nullptr);
  EXPECT_NE(Words(window).find(folder), std::wstring::npos) << "the finish page does not say where the pictures go";
  EXPECT_NE(Words(window).find(L"Open the screenshots folder"), std::wstring::npos);
  EXPECT_NE(Words(window).find(L"\"Orvane settings\" changes the recipient, the keys and the language"), std::wstring::npos);
  EXPECT_EQ(CutOffTexts(window), std::vector<std::wstring>{}) << "the finish page cuts off its text";
  desktop::Press(window, kNext);
  EXPECT_EQ(setup.WaitForExit(), 0u);
  EXPECT_EQ(Setting(folder, L"Email", L"Recipient"), L"");
  EXPECT_EQ(Setting(folder, L"KeyCombos", L"Activate"), L"Ctrl+Alt+E");

  // The uninstaller's confirmation says that the screenshots stay, and where.
  Started removal(folder + L"\\uninstall.exe", L"_?=" + folder);
  ASSERT_TRUE(removal.started());
  HWND confirmation = WaitForWords(removal.id(), L"Your screenshots stay where they are, in " + folder);
  ASSERT_NE(confirmation, nullptr);
  EXPECT_EQ(CutOffTexts(confirmation), std::vector<std::wstring>{});
  desktop::Press(confirmation, kNext);
  ASSERT_NE(WaitForWords(removal.id(), L"Completed"), nullptr);
  desktop::Press(confirmation, kNext);
  EXPECT_EQ(removal.WaitForExit(), 0u);
  ::DeleteFileW((folder + L"\\uninstall.exe").c_str());
  EXPECT_FALSE(testing_support::FileExists(folder + L"\\orvane.exe"));
  EXPECT_FALSE(KeyExists(L"Software\\Orvane"));
}

TEST(Installer, ChangingTheShortcutRebindsTheStartMenuEntryAndTheSettingsTogether) {
  TempFolder parent(L"orvane-install");
  const std::wstring folder = parent / L"Orvane";
  ASSERT_EQ(RunAndWait(Installer(), L"/S /RECIPIENT=arvel@example.com /HOTKEY=Ctrl+Alt+S /D=" + folder), 0u);
  const std::wstring helper = folder + L"\\orvane_settings.exe";
  constexpr BYTE kCtrlAlt = HOTKEYF_CONTROL | HOTKEYF_ALT;
  auto expect_bound_to = [&](WORD keys, const wchar_t* spelling) {
    EXPECT_EQ(ReadLink(StartMenu(L"Orvane")).hotkey, keys) << spelling;
    EXPECT_EQ(Setting(folder, L"KeyCombos", L"Activate"), spelling);
    EXPECT_EQ(Setting(folder, L"Email", L"Recipient"), L"arvel@example.com");
  };

  // From a script.
  Said said = RunCapturing(helper, L"change ctrl+alt+f8");
  EXPECT_EQ(said.code, 0u);
  EXPECT_EQ(said.text.rfind(L"Orvane's shortcut is now Ctrl+Alt+F8 (it was Ctrl+Alt+S).", 0), 0u) << testing::PrintToString(said.text);
  expect_bound_to(MAKEWORD(VK_F8, kCtrlAlt), L"Ctrl+Alt+F8");
  EXPECT_NE(testing_support::ReadBytes(folder + L"\\Orvane.ini").find("A\0c\0t\0i\0v\0a\0t\0e\0=\0"), std::string::npos)
      << "the settings file is no longer UTF-16";

  // Refused keys change nothing.
  said = RunCapturing(helper, L"change Ctrl+C");
  EXPECT_EQ(said.code, 2u);
  EXPECT_EQ(said.text, L"\"Ctrl+C\" cannot be the shortcut.\r\n\r\n" + installer::HotkeyRule());
  expect_bound_to(MAKEWORD(VK_F8, kCtrlAlt), L"Ctrl+Alt+F8");

  // Settings that cannot be written (held open by another program): the Start-menu entry keeps its key.
  {
    HANDLE held = ::CreateFileW((folder + L"\\Orvane.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    said = RunCapturing(helper, L"change Ctrl+Alt+F9");
    ::CloseHandle(held);
  }
  EXPECT_EQ(said.code, 1u);
  EXPECT_NE(said.text.find(L"could not be written"), std::wstring::npos) << testing::PrintToString(said.text);
  expect_bound_to(MAKEWORD(VK_F8, kCtrlAlt), L"Ctrl+Alt+F8");

  // From the Start menu: a dialog that records the keys as they are pressed.
  {
    Started dialog(helper, L"change");
    ASSERT_TRUE(dialog.started());
    HWND box = WaitForWords(dialog.id(), L"press the keys of Orvane's new shortcut");
    ASSERT_NE(box, nullptr);
    EXPECT_NE(Words(box).find(installer::HotkeyRule()), std::wstring::npos);
    EXPECT_EQ(CutOffTexts(box), std::vector<std::wstring>{});
    std::vector<HWND> keys = Fields(box, L"msctls_hotkey32");
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(HotkeyShown(keys[0]), MAKEWORD(VK_F8, kCtrlAlt)) << "the field does not start from the shortcut in use";
    PressShortcut(box, keys[0], {VK_CONTROL, VK_MENU, VK_SHIFT, 'K'});
    desktop::Press(box, IDOK);
    HWND done = WaitForWords(dialog.id(), L"Orvane's shortcut is now Ctrl+Alt+Shift+K (it was Ctrl+Alt+F8).");
    ASSERT_NE(done, nullptr);
    Answer(done, IDOK);
    EXPECT_EQ(dialog.WaitForExit(), 0u);
  }
  expect_bound_to(MAKEWORD('K', kCtrlAlt | HOTKEYF_SHIFT), L"Ctrl+Alt+Shift+K");

  // A Start-menu entry that cannot be written (marked read-only) is said to be so, with what to do, and
  // neither it nor the settings change.
  const std::wstring link = StartMenu(L"Orvane");
  ASSERT_TRUE(::SetFileAttributesW(link.c_str(), FILE_ATTRIBUTE_READONLY));
  said = RunCapturing(helper, L"change Ctrl+Alt+F11");
  EXPECT_EQ(said.code, 1u);
  EXPECT_EQ(said.text,
            L"The Start-menu shortcut \"" + link +
                L"\" could not be written: it is marked read-only. "
                L"Clear \"Read-only\" in the shortcut's Properties, then try again. Nothing was changed; the "
                L"shortcut is still what it was.")
      << testing::PrintToString(said.text);
  expect_bound_to(MAKEWORD('K', kCtrlAlt | HOTKEYF_SHIFT), L"Ctrl+Alt+Shift+K");
  ASSERT_TRUE(::SetFileAttributesW(link.c_str(), FILE_ATTRIBUTE_NORMAL));
  // Held open by another program: the shortcut is there, and that is not what stops the change.
  {
    HANDLE held = ::CreateFileW(link.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    said = RunCapturing(helper, L"change Ctrl+Alt+F11");
    ::CloseHandle(held);
  }
  EXPECT_EQ(said.code, 1u);
  EXPECT_EQ(said.text, L"The Start-menu shortcut \"" + link + L"\" could not be read: another program has it "
                       L"open. Close that program, then try again. Nothing was changed.")
      << testing::PrintToString(said.text);
  expect_bound_to(MAKEWORD('K', kCtrlAlt | HOTKEYF_SHIFT), L"Ctrl+Alt+Shift+K");

  // Without its Start-menu entry there is nothing to rebind, and the settings keep their name.
  ::DeleteFileW(StartMenu(L"Orvane").c_str());
  said = RunCapturing(helper, L"change Ctrl+Alt+F10");
  EXPECT_EQ(said.code, 1u);
  EXPECT_NE(said.text.find(L"There is no Start-menu shortcut for Orvane"), std::wstring::npos) << testing::PrintToString(said.text);
  EXPECT_EQ(Setting(folder, L"KeyCombos", L"Activate"), L"Ctrl+Alt+Shift+K");

  ASSERT_EQ(Uninstall(folder), 0u);
}

// The installer in every language it speaks. Wine's language follows LANG, read by each Wine program
// from the Unix environment it is started in (a Windows program cannot change it for its children), so
// CTest runs these suites once per language (tests/CMakeLists.txt), and they take the language they run
// in. The locales are made by scripts/test. The screen's DPI follows LogPixels, read when a process
// starts.

struct InstallerLanguage {
  const wchar_t* po;     // its file in po/ ("en": the template)
  const wchar_t* lang;   // LANG for Wine, less ".UTF-8"
  LANGID id;             // Windows' language then
  const wchar_t* shown;  // as the language box lists it
};

constexpr InstallerLanguage kLanguages[] = {
    {L"en", L"en_US", 0x0409, L"English"},        {L"de", L"de_DE", 0x0407, L"Deutsch"},
    {L"fr", L"fr_FR", 0x040C, L"Fran\u00e7ais"},  {L"es", L"es_ES", 0x0C0A, L"Espa\u00f1ol"},
    {L"it", L"it_IT", 0x0410, L"Italiano"},       {L"pt_BR", L"pt_BR", 0x0416, L"Portugu\u00eas Brasileiro"},
    {L"nl", L"nl_NL", 0x0413, L"Nederlands"},     {L"pl", L"pl_PL", 0x0415, L"Polski"},
    {L"ja", L"ja_JP", 0x0411, L"\u65e5\u672c\u8a9e"}, {L"zh_CN", L"zh_CN", 0x0804, L"\u4e2d\u6587(\u7b80\u4f53)"},
};

// The language this test runs in, as LANG names it; Windows must be in it (Wine is, where the locale
// exists on this machine).
const InstallerLanguage* WindowsLanguage() {
  wchar_t lang[64] = {};
  ::GetEnvironmentVariableW(L"LANG", lang, 64);
  for (const InstallerLanguage& language : kLanguages) {
    if (std::wstring(lang).rfind(language.lang, 0) == 0) return &language;
  }
  return &kLanguages[0];
}

#define ASSERT_WINDOWS_SPEAKS(language)                                                                       \
  ASSERT_EQ(::GetUserDefaultUILanguage(), (language).id)                                                     \
      << "Windows is not in " << testing::PrintToString(std::wstring((language).lang))                        \
      << ": is its locale missing? (localedef -i " << testing::PrintToString(std::wstring((language).lang))  \
      << " -f UTF-8; scripts/test makes it)"

// The lines of a text file in UTF-16 with a byte-order mark, blank ones left out (Wine's profile writer
// drops them where Windows keeps them).
std::vector<std::wstring> SettingsLines(const std::wstring& path) {
  const std::string bytes = testing_support::ReadBytes(path);
  std::vector<std::wstring> lines;
  if (bytes.size() < 2 || bytes.compare(0, 2, "\xFF\xFE") != 0) return {L"<not UTF-16 with a byte-order mark>"};
  const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// A text of the installer as comment lines of Orvane.ini.
std::vector<std::wstring> CommentLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (size_t end = text.find(L'\n'); ; end = text.find(L'\n', start)) {
    lines.push_back(L"; " + text.substr(start, end == std::wstring::npos ? end : end - start));
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return lines;
}

// Orvane.ini as the installer writes it in a language: comments, sections and settings.
std::vector<std::wstring> ExpectedSettings(const std::wstring& po, const std::wstring& recipient, const std::wstring& keys,
                                           const std::wstring& language) {
  using testing_support::PoText;
  std::vector<std::wstring> lines;
  auto add = [&](std::vector<std::wstring> more) { lines.insert(lines.end(), more.begin(), more.end()); };
  add(CommentLines(PoText(po, L"Installer.Ini.Header")));
  add({L"[Email]"});
  add(CommentLines(PoText(po, L"Installer.Ini.Recipient")));
  add({L"Recipient=" + recipient, L"[KeyCombos]"});
  add(CommentLines(PoText(po, L"Installer.Ini.Activate", {PoText(po, L"Installer.Entry.Settings")})));
  add({L"Activate=" + keys, L"[Display]"});
  add(CommentLines(PoText(po, L"Installer.Ini.Language")));
  add({L"Language=" + language});
  return lines;
}

TEST(InstallerInWindowsLanguage, ASilentInstallSpeaksItAndLeavesOrvaneToFollowWindows) {
  using testing_support::PoText;
  const InstallerLanguage& language = *WindowsLanguage();
  ASSERT_WINDOWS_SPEAKS(language);
  {
    TempFolder parent(L"orvane-install");
    const std::wstring folder = parent / L"Orvane";
    ASSERT_EQ(RunAndWait(Installer(), L"/S /RECIPIENT=arvel@example.com /HOTKEY=Ctrl+Alt+S /D=" + folder), 0u);
    // The comments in Windows' language, and Orvane left to follow Windows.
    EXPECT_EQ(SettingsLines(folder + L"\\Orvane.ini"), ExpectedSettings(language.po, L"arvel@example.com", L"Ctrl+Alt+S", L""));
    const std::wstring entries[] = {PoText(language.po, L"Installer.Entry.Settings"), PoText(language.po, L"Installer.Entry.Screenshots")};
    for (const std::wstring& entry : entries) EXPECT_TRUE(testing_support::FileExists(StartMenu(entry.c_str()))) << testing::PrintToString(entry);
    EXPECT_TRUE(SamePath(ReadLink(StartMenu(entries[0].c_str())).target, folder + L"\\orvane_settings.exe"));
    EXPECT_FALSE(testing_support::FileExists(StartMenu(PoText(language.po, L"Installer.Entry.Change").c_str())));

    // The English file is the example that ships beside the program, with the settings given.
    if (std::wstring(language.po) == L"en") {
      std::vector<std::wstring> example = SettingsLines(folder + L"\\Orvane.ini");
      const std::string shipped = testing_support::ReadBytes(folder + L"\\Orvane.ini.example");
      std::vector<std::wstring> expected;
      size_t start = 0;
      while (start < shipped.size()) {
        size_t end = shipped.find("\r\n", start);
        if (end == std::string::npos) end = shipped.size();
        std::wstring line(shipped.begin() + static_cast<std::ptrdiff_t>(start), shipped.begin() + static_cast<std::ptrdiff_t>(end));
        if (line.rfind(L"Recipient=", 0) == 0) line = L"Recipient=arvel@example.com";
        if (!line.empty()) expected.push_back(line);
        start = end + 2;
      }
      EXPECT_EQ(example, expected) << "the installer's English comments differ from Orvane.ini.example";
    }

    // A language set by hand stays when installing again; the settings do too.
    ::WritePrivateProfileStringW(L"Display", L"Language", L"fr", (folder + L"\\Orvane.ini").c_str());
    ASSERT_EQ(RunAndWait(Installer(), L"/S /D=" + folder), 0u);
    EXPECT_EQ(Setting(folder, L"Display", L"Language"), L"fr");
    EXPECT_EQ(Setting(folder, L"Email", L"Recipient"), L"arvel@example.com");

    ASSERT_EQ(Uninstall(folder), 0u);
    for (const std::wstring& entry : entries) EXPECT_FALSE(testing_support::FileExists(StartMenu(entry.c_str()))) << testing::PrintToString(entry);
    EXPECT_FALSE(KeyExists(L"Software\\Orvane"));
  }
}

// The installer's pages, and the uninstaller's, in one language at one scale: every text fits its place.

// The window of the process whose page (the dialog inside it) `is_it` recognises, waited for.
template <typename Recognise>
HWND WaitForPage(DWORD process_id, Recognise is_it, DWORD timeout_ms = 20000) {
  const DWORD start = ::GetTickCount();
  do {
    for (HWND window : desktop::WindowsOf(process_id, L"#32770")) {
      for (HWND page : VisibleDescendants(window)) {
        if (ClassOf(page) == L"#32770" && is_it(page)) return window;
      }
    }
    desktop::SampleWindow::Pump();
    ::Sleep(50);
  } while (::GetTickCount() - start < timeout_ms);
  return nullptr;
}

bool Has(HWND page, const wchar_t* kind) { return !Fields(page, kind).empty(); }

bool ShowsPicture(HWND page) {
  for (HWND child : Fields(page, L"Static")) {
    if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) return true;
  }
  return false;
}

bool HasFieldWith(HWND page, const std::wstring& folder) {
  for (HWND field : Fields(page, L"Edit")) {
    if (SamePath(desktop::ControlText(field), folder)) return true;
  }
  return false;
}

// A message box of any process but `not_of`, with this caption.
HWND FindBox(const wchar_t* caption, DWORD not_of, DWORD timeout_ms = 20000) {
  const DWORD start = ::GetTickCount();
  do {
    for (HWND box = ::FindWindowExW(nullptr, nullptr, L"#32770", caption); box; box = ::FindWindowExW(nullptr, box, L"#32770", caption)) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(box, &owner);
      if (owner != not_of) return box;
    }
    ::Sleep(50);
  } while (::GetTickCount() - start < timeout_ms);
  return nullptr;
}

// The earlier copy a page walk plants, taken away however the walk ends: a key left pointing at it would
// make every later install wait on its uninstaller, a message box that nobody answers.
class PlantedEarlierCopy {
 public:
  explicit PlantedEarlierCopy(std::wstring folder) : folder_(std::move(folder)) {}
  PlantedEarlierCopy(const PlantedEarlierCopy&) = delete;
  PlantedEarlierCopy& operator=(const PlantedEarlierCopy&) = delete;
  ~PlantedEarlierCopy() {
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Orvane", L"InstallDir", RRF_RT_REG_SZ, nullptr, value, &size) ==
            ERROR_SUCCESS &&
        folder_ == value)
      ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Orvane", L"InstallDir");
    // Its uninstaller, where the installer started it and the walk stopped before answering it.
    for (HWND box = ::FindWindowExW(nullptr, nullptr, L"#32770", nullptr); box;
         box = ::FindWindowExW(nullptr, box, L"#32770", nullptr)) {
      DWORD id = 0;
      ::GetWindowThreadProcessId(box, &id);
      HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, id);
      if (!process) continue;
      wchar_t image[MAX_PATH] = {};
      DWORD length = MAX_PATH;
      if (::QueryFullProcessImageNameW(process, 0, image, &length) &&
          std::wstring(image, length).rfind(folder_ + L"\\", 0) == 0)
        ::TerminateProcess(process, 1);
      ::CloseHandle(process);
    }
  }

 private:
  std::wstring folder_;
};

void WalkEveryPage(const InstallerLanguage& language, DWORD dpi) {
  using testing_support::PoText;
  TempFolder parent(L"orvane-install");
  const std::wstring folder = parent / L"Orvane";
  // An earlier copy in another folder, whose uninstaller (a message box) waits for the test: the
  // installer's progress page stays up meanwhile, saying that it removes that copy.
  const std::wstring earlier = parent / L"Earlier";
  PlantedEarlierCopy planted(earlier);
  ASSERT_TRUE(::CreateDirectoryW(earlier.c_str(), nullptr));
  ASSERT_TRUE(::CopyFileW((testing_support::BuildFolder() + L"\\minimal_msgbox.exe").c_str(), (earlier + L"\\uninstall.exe").c_str(), FALSE));
  ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Orvane", L"InstallDir", REG_SZ, earlier.c_str(),
                              static_cast<DWORD>((earlier.size() + 1) * sizeof(wchar_t))), ERROR_SUCCESS);
  testing_support::ScreenDpi screen(dpi);
  const std::vector<std::wstring> fits;

  Started setup(Installer(), L"/D=" + folder);
  ASSERT_TRUE(setup.started());
  // The language box comes first, with Windows' language chosen.
  HWND box = WaitForLanguageBox(setup.id());
  ASSERT_NE(box, nullptr) << "no language box";
  EXPECT_NE(Words(box).find(language.shown), std::wstring::npos) << testing::PrintToString(Words(box));
  EXPECT_NE(Words(box).find(PoText(language.po, L"Installer.LanguageDialog.Text")), std::wstring::npos);
  EXPECT_EQ(CutOffTexts(box), fits) << "the language box";
  desktop::Press(box, IDOK);

  HWND window = WaitForPage(setup.id(), [&](HWND page) { return ShowsPicture(page) && Words(page).find(folder) == std::wstring::npos; });
  ASSERT_NE(window, nullptr) << "no welcome page";
  const std::wstring welcome = PoText(language.po, L"Installer.Welcome");
  EXPECT_NE(Words(window).find(welcome.substr(0, welcome.find(L'\n'))), std::wstring::npos) << testing::PrintToString(Words(window));
  EXPECT_EQ(CutOffTexts(window), fits) << "the welcome page";
  desktop::Press(window, kNext);

  ASSERT_NE(WaitForPage(setup.id(), [&](HWND page) { return HasFieldWith(page, folder); }), nullptr) << "no folder page";
  EXPECT_EQ(CutOffTexts(window), fits) << "the folder page";
  desktop::Press(window, kNext);

  ASSERT_NE(WaitForPage(setup.id(), [](HWND page) { return Has(page, L"msctls_hotkey32"); }), nullptr) << "no settings page";
  EXPECT_NE(Words(window).find(PoText(language.po, L"Installer.Settings.Recipient")), std::wstring::npos);
  EXPECT_EQ(CutOffTexts(window), fits) << "the settings page";
  Type(Fields(window, L"Edit").at(0), L"arvel@example.com");
  desktop::Press(window, kNext);

  ASSERT_NE(WaitForPage(setup.id(), [](HWND page) { return Has(page, L"msctls_progress32"); }), nullptr) << "no progress page";
  HWND earlier_uninstaller = FindBox(L"Orvane", setup.id());
  ASSERT_NE(earlier_uninstaller, nullptr) << "the earlier copy's uninstaller did not start";
  EXPECT_NE(Words(window).find(PoText(language.po, L"Installer.RemovingEarlier", {earlier})), std::wstring::npos)
      << testing::PrintToString(Words(window));
  EXPECT_EQ(CutOffTexts(window), fits) << "the progress page";
  Answer(earlier_uninstaller, IDOK);

  ASSERT_NE(WaitForPage(setup.id(), [&](HWND page) { return ShowsPicture(page) && Words(page).find(folder) != std::wstring::npos; }), nullptr)
      << "no finish page";
  EXPECT_EQ(CutOffTexts(window), fits) << "the finish page";
  desktop::Press(window, kNext);
  EXPECT_EQ(setup.WaitForExit(), 0u);
  // Windows' own language was kept: Orvane follows Windows.
  EXPECT_EQ(Setting(folder, L"Display", L"Language"), L"");

  Started removal(folder + L"\\uninstall.exe", L"_?=" + folder);
  ASSERT_TRUE(removal.started());
  HWND confirmation = WaitForPage(removal.id(), [&](HWND page) { return HasFieldWith(page, folder); });
  ASSERT_NE(confirmation, nullptr) << "no confirmation page";
  EXPECT_NE(Words(confirmation).find(PoText(language.po, L"Installer.Uninstall.Confirm", {folder})), std::wstring::npos)
      << "the uninstaller does not speak the installer's language: " << testing::PrintToString(Words(confirmation));
  EXPECT_EQ(CutOffTexts(confirmation), fits) << "the uninstaller's confirmation";
  desktop::Press(confirmation, kNext);
  ASSERT_NE(WaitForPage(removal.id(), [&](HWND page) {
              return Has(page, L"msctls_progress32") && ::IsWindowEnabled(::GetDlgItem(confirmation, kNext));
            }), nullptr);
  EXPECT_EQ(CutOffTexts(confirmation), fits) << "the uninstaller's progress page";
  desktop::Press(confirmation, kNext);
  EXPECT_EQ(removal.WaitForExit(), 0u);
  ::DeleteFileW((folder + L"\\uninstall.exe").c_str());
  EXPECT_FALSE(KeyExists(L"Software\\Orvane"));
}

// The pages at 100% and at 150%, where the fonts, and so the dialog units, are half as large again.
TEST(InstallerInWindowsLanguage, EveryTextFitsOnEveryPageAtEveryScale) {
  const InstallerLanguage& language = *WindowsLanguage();
  ASSERT_WINDOWS_SPEAKS(language);
  for (DWORD dpi : {96u, 144u}) {
    SCOPED_TRACE(dpi);
    WalkEveryPage(language, dpi);
  }
}

}  // namespace

namespace {

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name) {
  wchar_t* value = nullptr;
  UINT length = 0;
  std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (!::VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return {};
  return std::wstring(value, length ? length - 1 : 0);
}

TEST(Identity, TheProgramAndItsInstallerCarryNameVersionAndIcon) {
  for (const std::wstring& file : {testing_support::BuildFolder() + L"\\orvane.exe", Installer()}) {
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version information";
    std::vector<BYTE> block(size);
    ASSERT_TRUE(::GetFileVersionInfoW(file.c_str(), 0, size, block.data()));
    EXPECT_EQ(VersionString(block, L"ProductName"), L"Orvane");
    EXPECT_EQ(VersionString(block, L"ProductVersion"), ORVANE_VERSION_TEXT);
    EXPECT_FALSE(VersionString(block, L"FileDescription").empty());
  }
  HMODULE program = ::LoadLibraryExW((testing_support::BuildFolder() + L"\\orvane.exe").c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(program, nullptr);
  EXPECT_NE(::FindResourceW(program, MAKEINTRESOURCEW(1), RT_GROUP_ICON), nullptr);
  EXPECT_NE(::FindResourceW(program, MAKEINTRESOURCEW(1), RT_MANIFEST), nullptr);
  ::FreeLibrary(program);
}

}  // namespace

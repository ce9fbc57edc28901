// The installer as a user or an administrator's script runs it: silently, with both settings.

#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "desktop/desktop.h"
#include "hotkey.h"
#include "platform/win/com.h"
#include "support/orvane_process.h"
#include "support/standin.h"
#include "support/temp_folder.h"

namespace {

using testing_support::TempFolder;

using testing_support::RunAndWait;

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

struct Link {
  std::wstring target, arguments;
  WORD hotkey = 0;
};

Link ReadLink(const std::wstring& path) {
  win::ComApartment apartment;
  win::ComPtr<IShellLinkW> link;
  win::ComPtr<IPersistFile> file;
  Link result;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) ||
      FAILED(link.As(&file)) || FAILED(file->Load(path.c_str(), STGM_READ))) {
    return result;
  }
  wchar_t text[MAX_PATH * 2] = {};
  link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
  result.target = text;
  text[0] = 0;
  link->GetArguments(text, MAX_PATH * 2);
  result.arguments = text;
  link->GetHotkey(&result.hotkey);
  return result;
}

bool SamePath(const std::wstring& a, const std::wstring& b) { return ::lstrcmpiW(a.c_str(), b.c_str()) == 0; }

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
  const Link settings = ReadLink(StartMenu(L"Orvane settings"));
  EXPECT_NE(settings.target.find(L"notepad.exe"), std::wstring::npos) << testing::PrintToString(settings.target);
  EXPECT_TRUE(SamePath(settings.arguments, L"\"" + folder + L"\\Orvane.ini\"")) << testing::PrintToString(settings.arguments);
  const Link pictures = ReadLink(StartMenu(L"Orvane screenshots"));
  EXPECT_TRUE(SamePath(pictures.target, folder)) << testing::PrintToString(pictures.target);

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
  for (const wchar_t* name : {L"Orvane", L"Orvane settings", L"Orvane screenshots"}) {
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

std::wstring WindowText(HWND window) {
  wchar_t text[2048] = {};
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &ignored);
  return text;
}

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
  std::wstring words = WindowText(window);
  for (HWND child : VisibleDescendants(window)) words += L"\n" + WindowText(child);
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

std::vector<HWND> EditFields(HWND page) {
  std::vector<HWND> fields;
  for (HWND child : VisibleDescendants(page)) {
    wchar_t kind[32] = {};
    ::GetClassNameW(child, kind, 32);
    if (::lstrcmpiW(kind, L"Edit") == 0) fields.push_back(child);
  }
  return fields;
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

TEST(Installer, ThePagesSayWhatTheyCheckAndWhereThePicturesGo) {
  TempFolder parent(L"orvane-install");
  const std::wstring folder = parent / L"Orvane";
  Started setup(Installer(), L"/D=" + folder);
  ASSERT_TRUE(setup.started());

  HWND window = WaitForWords(setup.id(), L"Welcome");
  ASSERT_NE(window, nullptr) << "no welcome page";
  desktop::Press(window, kNext);
  ASSERT_NE(WaitForWords(setup.id(), L"Destination Folder"), nullptr);
  desktop::Press(window, kNext);

  // The page states the rule that its check applies.
  ASSERT_NE(WaitForWords(setup.id(), L"Keyboard shortcut that takes a screenshot"), nullptr);
  EXPECT_NE(Words(window).find(installer::kHotkeyRule), std::wstring::npos) << testing::PrintToString(Words(window));
  std::vector<HWND> fields = EditFields(window);
  ASSERT_EQ(fields.size(), 2u);
  Type(fields[0], L"");
  Type(fields[1], L"Ctrl+S");
  desktop::Press(window, kNext);
  HWND refusal = WaitForWords(setup.id(), L"\"Ctrl+S\" cannot be the shortcut.");
  ASSERT_NE(refusal, nullptr);
  EXPECT_NE(Words(refusal).find(installer::kHotkeyRule), std::wstring::npos);
  Answer(refusal, IDOK);

  // An empty recipient is warned about, and the user may go on.
  Type(fields[1], L"ctrl+alt+e");
  desktop::Press(window, kNext);
  HWND warning = WaitForWords(setup.id(), L"every mail will open with an empty To line");
  ASSERT_NE(warning, nullptr);
  Answer(warning, IDYES);

  // Once installed, the finish page follows by itself.
  ASSERT_NE(WaitForWords(setup.id(), L"Press Ctrl+Alt+E in any window"), nullptr);
  EXPECT_NE(Words(window).find(folder), std::wstring::npos) << "the finish page does not say where the pictures go";
  EXPECT_NE(Words(window).find(L"Open the screenshots folder"), std::wstring::npos);
  desktop::Press(window, kNext);
  EXPECT_EQ(setup.WaitForExit(), 0u);
  EXPECT_EQ(Setting(folder, L"Email", L"Recipient"), L"");
  EXPECT_EQ(Setting(folder, L"KeyCombos", L"Activate"), L"Ctrl+Alt+E");

  // The uninstaller's confirmation says that the screenshots stay, and where.
  Started removal(folder + L"\\uninstall.exe", L"_?=" + folder);
  ASSERT_TRUE(removal.started());
  HWND confirmation = WaitForWords(removal.id(), L"Your screenshots stay where they are, in " + folder);
  ASSERT_NE(confirmation, nullptr);
  desktop::Press(confirmation, kNext);
  ASSERT_NE(WaitForWords(removal.id(), L"Completed"), nullptr);
  desktop::Press(confirmation, kNext);
  EXPECT_EQ(removal.WaitForExit(), 0u);
  ::DeleteFileW((folder + L"\\uninstall.exe").c_str());
  EXPECT_FALSE(testing_support::FileExists(folder + L"\\orvane.exe"));
  EXPECT_FALSE(KeyExists(L"Software\\Orvane"));
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

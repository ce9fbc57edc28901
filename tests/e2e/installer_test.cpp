// The installer as a user or an administrator's script runs it: silently, with both settings.

#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "desktop/desktop.h"
#include "platform/win/com.h"
#include "support/orvane_process.h"
#include "support/standin.h"
#include "support/temp_folder.h"

namespace {

using testing_support::TempFolder;

using testing_support::RunAndWait;

std::wstring Installer() { return testing_support::BuildFolder() + L"\\Orvane-" ORVANE_VERSION_TEXT L"-setup.exe"; }

std::wstring StartMenuShortcut() {
  wchar_t programs[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs);
  return std::wstring(programs) + L"\\Orvane.lnk";
}

std::wstring Setting(const std::wstring& folder, const wchar_t* section, const wchar_t* key) {
  wchar_t value[1024] = {};
  ::GetPrivateProfileStringW(section, key, L"<missing>", value, 1024, (folder + L"\\Orvane.ini").c_str());
  return value;
}

TEST(Installer, SilentInstallRunAndUninstallKeepTheScreenshots) {
  TempFolder parent(L"orvane-install");
  const std::wstring folder = parent / L"Orvane";
  const std::wstring recipient = L"\u0430\u0440\u0432\u0435\u043b@example.com";
  ASSERT_EQ(RunAndWait(Installer(), L"/S /RECIPIENT=" + recipient + L" /HOTKEY=Ctrl+Alt+S /D=" + folder), 0u);

  EXPECT_TRUE(testing_support::FileExists(folder + L"\\orvane.exe"));
  EXPECT_TRUE(testing_support::FileExists(folder + L"\\uninstall.exe"));
  EXPECT_EQ(Setting(folder, L"Email", L"Recipient"), recipient);
  EXPECT_EQ(Setting(folder, L"KeyCombos", L"Activate"), L"Ctrl+Alt+S");

  {
    win::ComApartment apartment;
    win::ComPtr<IShellLinkW> link;
    ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)));
    win::ComPtr<IPersistFile> file;
    ASSERT_HRESULT_SUCCEEDED(link.As(&file));
    ASSERT_HRESULT_SUCCEEDED(file->Load(StartMenuShortcut().c_str(), STGM_READ));
    wchar_t target[MAX_PATH] = {};
    link->GetPath(target, MAX_PATH, nullptr, 0);
    EXPECT_EQ(::lstrcmpiW(target, (folder + L"\\orvane.exe").c_str()), 0) << "target";
    WORD hotkey = 0;
    link->GetHotkey(&hotkey);
    EXPECT_EQ(hotkey, MAKEWORD('S', HOTKEYF_CONTROL | HOTKEYF_ALT));
  }

  // The installed program does a confirmed run.
  {
    testing_support::StandIn mail_program;
    desktop::SampleWindow target(L"Installed run", 200, 100);
    ASSERT_TRUE(target.BringToFront());
    testing_support::OrvaneProcess run(folder);
    HWND question = desktop::WaitForDialog(run.id(), 15000, run.handle());
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(desktop::ReadDialog(question).text.rfind(L"You have pressed Ctrl+Alt+S.", 0), 0u);
    desktop::Press(question, IDOK);
    EXPECT_EQ(run.WaitForExit(), 0u);
  }
  ASSERT_TRUE(testing_support::FileExists(folder + L"\\Screenshot001.jpg"));

  // "_?=" runs the uninstaller in place, so that waiting for it waits for the removal.
  ASSERT_EQ(RunAndWait(folder + L"\\uninstall.exe", L"/S _?=" + folder), 0u);
  ::DeleteFileW((folder + L"\\uninstall.exe").c_str());  // left behind by "_?=" by design
  EXPECT_EQ(testing_support::ListFolder(folder), L"Screenshot001.jpg");
  EXPECT_FALSE(testing_support::FileExists(StartMenuShortcut()));
}

TEST(Installer, AShortcutWindowsCannotBindInstallsNothing) {
  TempFolder parent(L"orvane-install");
  const std::wstring folder = parent / L"Orvane";
  EXPECT_EQ(RunAndWait(Installer(), L"/S /RECIPIENT=a@b /HOTKEY=S /D=" + folder), 2u);
  EXPECT_FALSE(testing_support::FileExists(folder + L"\\orvane.exe"));
  EXPECT_EQ(RunAndWait(Installer(), L"/S /RECIPIENT=a@b /HOTKEY=Ctrl+Alt+F13 /D=" + folder), 2u);
  EXPECT_FALSE(testing_support::FileExists(folder + L"\\orvane.exe"));
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

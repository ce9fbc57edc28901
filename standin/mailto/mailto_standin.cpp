// Stands in for the program that opens mailto: links (a browser with webmail, the new Outlook):
// journals the link it is given and what the clipboard holds at that moment, then ends.
// Registered by the tests as the mailto open command: mailto_standin.exe JOURNAL LINK

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "standin/journal.h"

namespace {

// What the clipboard holds: a bitmap and its size, or nothing of use.
std::wstring ClipboardContents() {
  if (!::OpenClipboard(nullptr)) return L"clipboard: not opened";
  std::wstring contents = L"clipboard: no bitmap";
  if (HANDLE data = ::GetClipboardData(CF_BITMAP)) {
    BITMAP bitmap{};
    if (::GetObjectW(data, sizeof bitmap, &bitmap) == sizeof bitmap)
      contents = L"clipboard: bitmap " + std::to_wstring(bitmap.bmWidth) + L"x" + std::to_wstring(bitmap.bmHeight);
  }
  ::CloseClipboard();
  return contents;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!arguments || count < 3) return 2;
  const std::wstring journal = arguments[1];
  standin::AppendJournal(journal, std::wstring(L"link: ") + arguments[2]);
  standin::AppendJournal(journal, ClipboardContents());
  ::LocalFree(arguments);
  return 0;
}

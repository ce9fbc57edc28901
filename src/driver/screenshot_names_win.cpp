// The screenshots' names as the folder holds them: the directory search and one listing of the folder.

#include <windows.h>

#include <cwctype>
#include <unordered_set>

#include "driver/screenshot_names.h"
#include "platform/runtime/files.h"
#include "platform/win/unique.h"

namespace modMain {

std::wstring NextScreenshotName(const std::wstring& folder) {
  return NextScreenshotName(folder, [](const std::wstring& path) { return !rt::Dir(path).empty(); });
}

namespace {

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(::towlower(c));
  return text;
}

// The names of every entry of the folder, hidden, system and folders included, in lower case.
std::unordered_set<std::wstring> EntriesOf(const std::wstring& folder) {
  std::unordered_set<std::wstring> names;
  WIN32_FIND_DATAW found{};
  win::FindHandle search(::FindFirstFileW((folder + L"\\Screenshot*.jpg").c_str(), &found));
  if (!search) return names;
  do {
    names.insert(Lower(found.cFileName));
  } while (::FindNextFileW(search.get(), &found));
  return names;
}

}  // namespace

std::wstring NextFreeScreenshotPath(const std::wstring& folder, const std::vector<std::wstring>& taken_meanwhile) {
  const int16_t last_refused = taken_meanwhile.empty() ? 0 : ScreenshotNumber(taken_meanwhile.back());
  // One look at the folder: a name held by any entry would be refused as well, whether the directory
  // search counts it (a normal file) or not (hidden, system, a folder). So the name is the one a try
  // at each would end on, without trying each. A name taken after this look is refused at its
  // publish, and the next call looks again.
  const std::unordered_set<std::wstring> present = EntriesOf(folder);
  return folder + L"\\" + NextScreenshotName(
                               folder,
                               [&present](const std::wstring& path) {
                                 const size_t slash = path.find_last_of(L"\\/");
                                 return present.count(Lower(path.substr(slash + 1))) != 0;
                               },
                               last_refused);
}

}  // namespace modMain

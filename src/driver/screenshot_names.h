#pragma once
// The screenshots' names: "Screenshot" + at least three digits + ".jpg", the first free one in a folder.
// The names themselves are free of Windows (screenshot_names.cpp); what the folder holds is asked in
// screenshot_names_win.cpp.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace modMain {

// Decimal text of number with zeros in front up to width characters.
std::wstring PadWithZeros(int16_t number, int16_t width);

// Whether a screenshot name is taken; the program asks the directory search for normal files.
using NameTaken = std::function<bool(const std::wstring& path)>;
// First "ScreenshotNNN.jpg" (file name only) not found as a normal file in the folder.
std::wstring NextScreenshotName(const std::wstring& folder);
// The same with another test of what is taken, searching from the number after `after` (0: from the
// first). Raises the overflow error past number 32767.
std::wstring NextScreenshotName(const std::wstring& folder, const NameTaken& taken, int16_t after = 0);
// The number in a screenshot's path or name ("...\Screenshot042.jpg" gives 42); 0 when it has none.
int16_t ScreenshotNumber(std::wstring_view path);

// The full path for this run's screenshot once the paths it chose before were refused (another run
// published there meanwhile, or a hidden file or a folder has the name): the next name after the last
// refused one that no entry of the folder holds (read in one listing). Every number up to that one
// was found or refused already, so no name is looked at twice.
std::wstring NextFreeScreenshotPath(const std::wstring& folder, const std::vector<std::wstring>& taken_meanwhile);

}  // namespace modMain

#pragma once
// The run driver: the startup procedure and the small texts it builds.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace modMain {

// One capture-and-mail run, from reading the settings to unloading the hidden form.
void Main();

// Value of a key in Orvane.ini beside the executable, at most 1023 characters, or the default.
std::wstring ReadSetting(std::wstring_view section, std::wstring_view key, std::wstring_view default_value);
// The same, for the settings file of the given folder.
std::wstring ReadSettingIn(const std::wstring& folder, std::wstring_view section, std::wstring_view key,
                           std::wstring_view default_value);

// Decimal text of number with zeros in front up to width characters.
std::wstring PadWithZeros(int16_t number, int16_t width);

// Whether a screenshot name is taken; the program asks the directory search for normal files.
using NameTaken = std::function<bool(const std::wstring& path)>;
// First "ScreenshotNNN.jpg" (file name only) not found as a normal file in the folder.
std::wstring NextScreenshotName(const std::wstring& folder);
// The same with another test of what is taken. Raises the overflow error past number 32767.
std::wstring NextScreenshotName(const std::wstring& folder, const NameTaken& taken);

// The full path for this run's screenshot once another run has published under the paths it chose
// before: the next name neither among `taken_meanwhile` nor found by the directory search, since the
// other run's file may not be visible to the search yet.
std::wstring NextFreeScreenshotPath(const std::wstring& folder, const std::vector<std::wstring>& taken_meanwhile);

// "Screen Capture: " + the foreground window's title (at most 511 characters), or "Screen Capture".
std::wstring ForegroundSubject();
// The subject for a title read into a buffer: "Screen Capture", and ": " + the characters before the
// first NUL when the reader reported any (copied != 0).
std::wstring SubjectFromTitle(const wchar_t* title, size_t buffer_size, int copied);

}  // namespace modMain

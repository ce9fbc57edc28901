#pragma once
// The run driver: the startup procedure and the small texts it builds.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/outcome.h"

namespace mail {
class Session;
}  // namespace mail

namespace modMain {

// One capture-and-mail run, from reading the settings to unloading the hidden form, with the process's
// mail session; a failure that ends it has been told by the time it returns.
Outcome Main(mail::Session& session);
// Tells a failure that ends the run, unless the user has given up on the mail program already; the
// run's outcome then.
Outcome Failed(mail::Session& session, const RunFailure& failure, const std::wstring& key_text);

// Value of a key in Orvane.ini beside the executable, at most 1023 characters, or the default.
std::wstring ReadSetting(std::wstring_view section, std::wstring_view key, std::wstring_view default_value);
// The same, for the settings file of the given folder.
std::wstring ReadSettingIn(const std::wstring& folder, std::wstring_view section, std::wstring_view key,
                           std::wstring_view default_value);

// The Recipient setting as the mail gets it: read as every setting is (at most 1023 characters), but
// without a last address that the reading cut short, which would send the mail to a stranger.
struct RecipientSetting {
  std::wstring value;
  std::wstring cut_short;  // that address as far as it was read; empty when none was cut
};
RecipientSetting ReadRecipientSetting();
// The same, for the settings file of the given folder.
RecipientSetting ReadRecipientSettingIn(const std::wstring& folder);
// From the value as read and the same value read with more room (longer only where the first read was
// cut): the value, and where its last address was cut, the value without it and that address.
RecipientSetting RecipientFromReads(std::wstring_view value, std::wstring_view longer);

// The text without a half character at its end: when text cut at `limit` characters ends in the first
// half of a surrogate pair (an emoji, for example), that half is dropped.
std::wstring_view WholeCharacters(std::wstring_view text, size_t limit);

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

// "Screen Capture: " + the foreground window's title (at most 511 characters), or "Screen Capture".
std::wstring ForegroundSubject();
// The subject for a title read into a buffer: "Screen Capture", and ": " + the characters before the
// first NUL when the reader reported any (copied != 0).
std::wstring SubjectFromTitle(const wchar_t* title, size_t buffer_size, int copied);

}  // namespace modMain

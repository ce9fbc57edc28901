#pragma once
// The run driver: the startup procedure and the small texts it builds.

#include <string>
#include <string_view>

#include "driver/outcome.h"
#include "driver/screenshot_names.h"
#include "driver/subject.h"

namespace mail {
class Session;
}  // namespace mail

namespace modMain {

// One capture-and-mail run, from reading the settings to unloading the hidden form and letting the
// mail program go, with the process's mail session. Whatever fails in it has been told (or, after the
// user gave up on the mail program, deliberately not) by the time it returns; nothing escapes it.
Outcome Main(mail::Session& session);

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

}  // namespace modMain

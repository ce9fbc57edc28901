#pragma once
// The Recipient setting cut into its addresses' parts, as mail programs read such a list: the one rule
// for the mail step and for the settings window's check. Free of Windows.

#include <string_view>
#include <vector>

namespace mail {

// The parts between the semicolons that separate addresses, views into the setting, blanks and empty
// parts kept: a semicolon inside a quoted display name ("Quist; Arvel" <arvel@example.com>) belongs
// to the name, and a backslash inside quotes escapes the next character. Where the quotation marks
// do not pair up, they are no quotes: every semicolon separates.
std::vector<std::wstring_view> RecipientParts(std::wstring_view setting);

}  // namespace mail

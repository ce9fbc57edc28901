#pragma once
// The Recipient setting as the settings window checks it: one or more entries separated by
// semicolons, each "address" or "Name <address>", split as the mail step splits them (a semicolon in
// quotation marks belongs to a name).

#include <string>
#include <string_view>
#include <vector>

namespace recipients {

// The entries of the setting that are not addresses, trimmed, in their order; empty entries (a
// semicolon at the end) are no entries.
std::vector<std::wstring> NotAddresses(std::wstring_view setting);

// Whether `address` (without a name or angle brackets) is an e-mail address: a local part and a
// domain of at least two labels, of the characters addresses are written with.
bool IsAddress(std::wstring_view address);

}  // namespace recipients

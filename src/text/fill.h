#pragma once
// Placeholders in a text: %1 to %9 stand for the values the program fills in, in whatever order and as
// often as the language's sentence needs them.

#include <initializer_list>
#include <string>
#include <string_view>

namespace text {

// `pattern` with each %1 .. %9 replaced by that value of `values`. A placeholder with no value stays as
// it is; so does a % before anything but a digit 1 to 9. Values are put in as they are: a "%1" inside
// one is not replaced again.
std::wstring Fill(std::wstring_view pattern, std::initializer_list<std::wstring_view> values);
std::u16string Fill(std::u16string_view pattern, std::initializer_list<std::u16string_view> values);

// The placeholders `pattern` uses, as a bit set: bit n for %n.
unsigned PlaceholdersIn(std::string_view pattern);

}  // namespace text

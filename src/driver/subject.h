#pragma once
// The mail's subject, built from a window's title; free of Windows (the window is read in
// window_in_front.cpp).

#include <cstddef>
#include <string>
#include <string_view>

namespace modMain {

// The text without a half character at its end: when text cut at `limit` characters ends in the first
// half of a surrogate pair (an emoji, for example), that half is dropped.
std::wstring_view WholeCharacters(std::wstring_view text, size_t limit);

// The subject for a title read into a buffer: "Screen Capture", and ": " + the characters before the
// first NUL when the reader reported any (copied != 0).
std::wstring SubjectFromTitle(const wchar_t* title, size_t buffer_size, int copied);

}  // namespace modMain

// The mail's subject from a window's title, free of Windows so that it also builds natively for fuzzing.

#include "driver/subject.h"

namespace modMain {

std::wstring_view WholeCharacters(std::wstring_view text, size_t limit) {
  const bool cut = text.size() >= limit;
  if (cut && !text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) text.remove_suffix(1);
  return text;
}

std::wstring SubjectFromTitle(const wchar_t* title, size_t buffer_size, int copied) {
  std::wstring subject = L"Screen Capture";
  if (copied != 0 && title && buffer_size > 0) {
    size_t length = 0;
    while (length < buffer_size && title[length] != L'\0') ++length;  // the characters before the NUL
    subject += L": " + std::wstring(WholeCharacters(std::wstring_view(title, length), buffer_size - 1));
  }
  return subject;
}

}  // namespace modMain

#include "text/fill.h"

namespace text {

namespace {

template <class Char>
std::basic_string<Char> FillAny(std::basic_string_view<Char> pattern,
                                std::initializer_list<std::basic_string_view<Char>> values) {
  std::basic_string<Char> filled;
  filled.reserve(pattern.size());
  for (size_t i = 0; i < pattern.size(); ++i) {
    const Char c = pattern[i];
    if (c == Char('%') && i + 1 < pattern.size() && pattern[i + 1] >= Char('1') && pattern[i + 1] <= Char('9')) {
      const auto index = static_cast<size_t>(pattern[i + 1] - Char('1'));
      if (index < values.size()) {
        filled += values.begin()[index];
        ++i;
        continue;
      }
    }
    filled += c;
  }
  return filled;
}

}  // namespace

std::wstring Fill(std::wstring_view pattern, std::initializer_list<std::wstring_view> values) {
  return FillAny(pattern, values);
}

std::u16string Fill(std::u16string_view pattern, std::initializer_list<std::u16string_view> values) {
  return FillAny(pattern, values);
}

unsigned PlaceholdersIn(std::string_view pattern) {
  unsigned used = 0;
  for (size_t i = 0; i + 1 < pattern.size(); ++i) {
    if (pattern[i] == '%' && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') used |= 1u << (pattern[i + 1] - '0');
  }
  return used;
}

}  // namespace text

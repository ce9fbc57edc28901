#include "text/catalog.h"

namespace text {

namespace {

bool Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

std::u16string_view Trimmed(std::u16string_view part) {
  while (!part.empty() && (part.front() == u' ' || part.front() == u'\t')) part.remove_prefix(1);
  while (!part.empty() && (part.back() == u' ' || part.back() == u'\t')) part.remove_suffix(1);
  return part;
}

bool SameWord(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

Catalog::Catalog(const MoFile* language) {
  texts_.reserve(kTextCount);
  for (size_t i = 0; i < kTextCount; ++i) {
    const auto id = static_cast<Id>(i);
    std::string_view chosen = EnglishOf(id);
    if (language) {
      const MoEntry* entry = language->Find(NameOf(id));
      if (entry && !entry->translation.empty()) chosen = entry->translation;
    }
    texts_.push_back(WindowsLineBreaks(Utf16(chosen)));
  }
}

std::u16string Catalog::Keys(std::u16string_view keys) const {
  std::u16string shown;
  for (size_t start = 0;;) {
    const size_t plus = keys.find(u'+', start);
    const std::u16string_view part = keys.substr(start, plus == keys.npos ? keys.npos : plus - start);
    const std::u16string_view word = Trimmed(part);
    const size_t before = static_cast<size_t>(word.data() - part.data());
    shown += part.substr(0, before);
    if (SameWord(word, u"Ctrl") || SameWord(word, u"Control")) {
      shown += Text(Id::kKey_Ctrl);
    } else if (SameWord(word, u"Alt")) {
      shown += Text(Id::kKey_Alt);
    } else if (SameWord(word, u"Shift")) {
      shown += Text(Id::kKey_Shift);
    } else {
      shown += word;
    }
    shown += part.substr(before + word.size());
    if (plus == keys.npos) break;
    shown += u'+';
    start = plus + 1;
  }
  return shown;
}

std::u16string Utf16(std::string_view utf8) {
  std::u16string utf16;
  utf16.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool whole = length != 0 && i + length <= utf8.size();
    for (size_t k = 1; whole && k < length; ++k) {
      const auto byte = static_cast<unsigned char>(utf8[i + k]);
      whole = Continuation(byte);
      code = (code << 6) | (byte & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not characters.
    constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!whole || code < kShortest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
      utf16 += u'\uFFFD';
      ++i;
      while (i < utf8.size() && Continuation(static_cast<unsigned char>(utf8[i]))) ++i;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      utf16 += static_cast<char16_t>(0xD800 + (code >> 10));
      utf16 += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      utf16 += static_cast<char16_t>(code);
    }
    i += length;
  }
  return utf16;
}

std::u16string WindowsLineBreaks(std::u16string_view text) {
  std::u16string windows;
  windows.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) windows += u'\r';
    windows += text[i];
  }
  return windows;
}

}  // namespace text

#include "settings/ini_edit.h"

#include <cstdint>

namespace ini {

namespace {

constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The file in its code units (bytes, or UTF-16 units of two bytes each), without its byte-order mark.
// The characters the parsing looks for ('=', blanks, quotation marks, line ends) are units of their
// own in every encoding: no byte of a UTF-8 sequence, nor a trail byte of the East Asian code pages, is
// below 0x40. Names are compared decoded, as ']' can be such a trail byte.
struct Units {
  std::string_view bytes;
  size_t width;  // bytes per unit
  size_t size() const { return bytes.size() / width; }
  uint32_t at(size_t i) const {
    if (width == 1) return static_cast<unsigned char>(bytes[i]);
    return static_cast<unsigned char>(bytes[2 * i]) | (static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8);
  }
  std::string_view slice(size_t from, size_t to) const { return bytes.substr(from * width, (to - from) * width); }
};

bool Blank(uint32_t unit) { return unit == ' ' || unit == '\t'; }
bool Quote(uint32_t unit) { return unit == '"' || unit == '\''; }

struct Line {
  std::string text;   // its bytes, without the line end
  std::string end;    // "\r\n", "\n", "\r" in the file's encoding, or empty for a last line without one
};

struct File {
  Encoding encoding = Encoding::kUtf16Le;
  std::string mark;
  std::vector<Line> lines;
  size_t width() const { return encoding == Encoding::kUtf16Le ? 2 : 1; }
};

File Split(std::string_view bytes) {
  File file;
  file.encoding = EncodingOf(bytes);
  if (file.encoding == Encoding::kUtf16Le) file.mark = std::string(kUtf16LeMark);
  if (file.encoding == Encoding::kUtf8) file.mark = std::string(kUtf8Mark);
  if (bytes.empty()) return file;
  const Units units{bytes.substr(file.mark.size()), file.width()};
  size_t start = 0, i = 0;
  while (i < units.size()) {
    const uint32_t unit = units.at(i);
    if (unit != '\r' && unit != '\n') {
      ++i;
      continue;
    }
    const size_t end = (unit == '\r' && i + 1 < units.size() && units.at(i + 1) == '\n') ? i + 2 : i + 1;
    file.lines.push_back({std::string(units.slice(start, i)), std::string(units.slice(i, end))});
    start = i = end;
  }
  if (start < units.size()) file.lines.push_back({std::string(units.slice(start, units.size())), ""});
  return file;
}

std::string Join(const File& file) {
  std::string bytes = file.mark;
  for (const Line& line : file.lines) bytes += line.text + line.end;
  return bytes;
}

void AppendUtf16(std::string& out, uint32_t unit) {
  out.push_back(static_cast<char>(unit & 0xFF));
  out.push_back(static_cast<char>(unit >> 8));
}

// ASCII text in the file's encoding.
std::string Ascii(const File& file, std::string_view text) {
  if (file.width() == 1) return std::string(text);
  std::string out;
  for (char c : text) AppendUtf16(out, static_cast<unsigned char>(c));
  return out;
}

// The characters of `text` as code points: UTF-16 where wchar_t is 16 bits wide, UTF-32 elsewhere.
template <class Visit>
void CodePoints(std::wstring_view text, Visit visit) {
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = static_cast<uint32_t>(text[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
        const uint32_t low = static_cast<uint32_t>(text[i + 1]);
        if (low >= 0xDC00 && low < 0xE000) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
    }
    visit(c);
  }
}

void AppendWide(std::wstring& out, uint32_t c) {
  if (sizeof(wchar_t) == 2 && c >= 0x10000) {
    out.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
  } else {
    out.push_back(static_cast<wchar_t>(c));
  }
}

std::wstring DecodeUtf16(std::string_view bytes) {
  const Units units{bytes, 2};
  std::wstring out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t c = units.at(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units.at(i + 1) >= 0xDC00 && units.at(i + 1) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units.at(i + 1) - 0xDC00);
      ++i;
    }
    AppendWide(out, c);
  }
  return out;
}

std::wstring DecodeUtf8(std::string_view bytes) {
  std::wstring out;
  for (size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const int more = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    uint32_t c = more == 0 ? lead : more == 1 ? lead & 0x1F : more == 2 ? lead & 0x0F : lead & 0x07;
    bool whole = more >= 0 && i + static_cast<size_t>(more) < bytes.size();
    for (int k = 1; whole && k <= more; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + static_cast<size_t>(k)]);
      whole = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    if (!whole) {
      AppendWide(out, 0xFFFD);
      ++i;
      continue;
    }
    AppendWide(out, c);
    i += static_cast<size_t>(more) + 1;
  }
  return out;
}

std::wstring Decode(const File& file, std::string_view bytes, const CodePage& code_page) {
  switch (file.encoding) {
    case Encoding::kUtf16Le:
      return DecodeUtf16(bytes);
    case Encoding::kUtf8:
      return DecodeUtf8(bytes);
    default:
      return code_page.decode ? code_page.decode(bytes) : std::wstring(bytes.begin(), bytes.end());
  }
}

std::optional<std::string> Encode(const File& file, std::wstring_view text, const CodePage& code_page) {
  std::string out;
  if (file.encoding == Encoding::kUtf16Le) {
    CodePoints(text, [&](uint32_t c) {
      if (c >= 0x10000) {
        AppendUtf16(out, 0xD800 + ((c - 0x10000) >> 10));
        AppendUtf16(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
      } else {
        AppendUtf16(out, c);
      }
    });
    return out;
  }
  if (file.encoding == Encoding::kUtf8) {
    CodePoints(text, [&](uint32_t c) {
      if (c < 0x80) {
        out.push_back(static_cast<char>(c));
      } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      }
    });
    return out;
  }
  if (!code_page.encode) return std::nullopt;
  return code_page.encode(text);
}

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::wstring_view TrimmedWide(std::wstring_view text) {
  while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.remove_suffix(1);
  return text;
}

// A line as the reader sees it: a section header with its name, a key line with its name and where its
// value lies (in units of the line), or neither.
struct Parsed {
  enum class Kind { kOther, kSection, kKey } kind = Kind::kOther;
  std::wstring name;
  size_t value_start = 0, value_end = 0;  // the value between its blanks, quotation marks included
};

Parsed Parse(const File& file, const Line& line, const CodePage& code_page) {
  const Units units{line.text, file.width()};
  size_t first = 0;
  while (first < units.size() && Blank(units.at(first))) ++first;
  Parsed parsed;
  if (first < units.size() && units.at(first) == '[') {
    const std::wstring whole = Decode(file, units.slice(first, units.size()), code_page);
    const size_t close = whole.rfind(L']');
    if (close == std::wstring::npos) return parsed;
    parsed.kind = Parsed::Kind::kSection;
    parsed.name = std::wstring(TrimmedWide(std::wstring_view(whole).substr(1, close - 1)));
    return parsed;
  }
  size_t equals = first;
  while (equals < units.size() && units.at(equals) != '=') ++equals;
  if (equals == units.size()) return parsed;
  parsed.kind = Parsed::Kind::kKey;
  parsed.name = std::wstring(TrimmedWide(Decode(file, units.slice(first, equals), code_page)));
  size_t start = equals + 1, end = units.size();
  while (start < end && Blank(units.at(start))) ++start;
  while (end > start && Blank(units.at(end - 1))) --end;
  parsed.value_start = start;
  parsed.value_end = end;
  return parsed;
}

bool Quoted(const Units& units, size_t start, size_t end) {
  return end - start >= 2 && Quote(units.at(start)) && units.at(start) == units.at(end - 1);
}

struct Found {
  std::optional<size_t> section;  // the header's line
  std::optional<size_t> key;      // the key's line
  size_t last_in_section = 0;     // the section's last key line, or its header
  Parsed parsed;                  // the key's line, parsed
};

Found Find(const File& file, std::wstring_view section, std::wstring_view key, const CodePage& code_page) {
  Found found;
  for (size_t i = 0; i < file.lines.size(); ++i) {
    Parsed parsed = Parse(file, file.lines[i], code_page);
    if (parsed.kind == Parsed::Kind::kSection) {
      if (found.section) break;  // the section that counts has ended
      if (SameName(parsed.name, section)) found.section = found.last_in_section = i;
      continue;
    }
    if (!found.section || parsed.kind != Parsed::Kind::kKey) continue;
    found.last_in_section = i;
    if (!found.key && SameName(parsed.name, key)) {
      found.key = i;
      found.parsed = std::move(parsed);
    }
  }
  return found;
}

std::wstring ValueOf(const File& file, const Found& found, const CodePage& code_page) {
  const Units units{file.lines[*found.key].text, file.width()};
  size_t start = found.parsed.value_start, end = found.parsed.value_end;
  if (Quoted(units, start, end)) ++start, --end;
  return Decode(file, units.slice(start, end), code_page);
}

// A value the reader would change: blanks at either end, or a pair of quotation marks around it.
bool NeedsQuotes(std::wstring_view value) {
  if (value.empty()) return false;
  if (value.front() == L' ' || value.front() == L'\t' || value.back() == L' ' || value.back() == L'\t') return true;
  return value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.front() == value.back();
}

std::string LineEnd(const File& file) {
  for (const Line& line : file.lines) {
    if (!line.end.empty()) return line.end;
  }
  return Ascii(file, "\r\n");
}

}  // namespace

Encoding EncodingOf(std::string_view bytes) {
  if (bytes.substr(0, 2) == kUtf16LeMark) return Encoding::kUtf16Le;
  if (bytes.substr(0, 2) == kUtf16BeMark) return Encoding::kUnsupported;
  if (bytes.substr(0, 3) == kUtf8Mark) return Encoding::kUtf8;
  return bytes.empty() ? Encoding::kUtf16Le : Encoding::kCodePage;
}

std::optional<std::wstring> ValueIn(std::string_view bytes, std::wstring_view section, std::wstring_view key,
                                    const CodePage& code_page) {
  if (EncodingOf(bytes) == Encoding::kUnsupported) return std::nullopt;
  const File file = Split(bytes);
  const Found found = Find(file, section, key, code_page);
  if (!found.key) return std::nullopt;
  return ValueOf(file, found, code_page);
}

Edited Edit(std::string_view bytes, const std::vector<Change>& changes, const CodePage& code_page) {
  Edited edited{std::string(bytes), {}, false};
  if (EncodingOf(bytes) == Encoding::kUnsupported) {
    for (const Change& change : changes) edited.unsaid.push_back(change.value);
    return edited;
  }
  File file = Split(bytes);
  for (const Change& change : changes) {
    const Found found = Find(file, change.section, change.key, code_page);
    const std::wstring now = found.key ? ValueOf(file, found, code_page) : std::wstring();
    if (now == change.value && (found.key || change.value.empty())) continue;
    edited.changed = true;
    const bool one_line = change.value.find_first_of(L"\r\n") == std::wstring::npos;
    const std::optional<std::string> value = one_line ? Encode(file, change.value, code_page) : std::nullopt;
    if (!value) {
      edited.unsaid.push_back(change.value);
      continue;
    }
    const std::string quote = Ascii(file, "\"");
    if (found.key) {
      Line& line = file.lines[*found.key];
      const Units units{line.text, file.width()};
      const size_t start = found.parsed.value_start, end = found.parsed.value_end;
      std::string core = *value;
      if (Quoted(units, start, end)) {
        const std::string mark(units.slice(start, start + 1));
        core = mark + core + mark;
      } else if (NeedsQuotes(change.value)) {
        core = quote + core + quote;
      }
      line.text = std::string(units.slice(0, start)) + core + std::string(units.slice(end, units.size()));
      continue;
    }
    const std::string end = LineEnd(file);
    const std::string core = NeedsQuotes(change.value) ? quote + *value + quote : *value;
    const std::optional<std::string> key_name = Encode(file, change.key, code_page);
    const Line key_line{key_name.value_or(Ascii(file, "?")) + Ascii(file, "=") + core, end};
    if (found.section) {
      Line& after = file.lines[found.last_in_section];
      if (after.end.empty()) after.end = end;
      file.lines.insert(file.lines.begin() + static_cast<std::ptrdiff_t>(found.last_in_section) + 1, key_line);
      continue;
    }
    if (!file.lines.empty() && file.lines.back().end.empty()) file.lines.back().end = end;
    const std::optional<std::string> section_name = Encode(file, change.section, code_page);
    file.lines.push_back({Ascii(file, "[") + section_name.value_or(Ascii(file, "?")) + Ascii(file, "]"), end});
    file.lines.push_back(key_line);
  }
  if (edited.unsaid.empty()) edited.bytes = Join(file);
  return edited;
}

}  // namespace ini

#include "support/po_texts.h"

#include <windows.h>

#include <vector>

#include "support/temp_folder.h"

namespace testing_support {
namespace {

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// The text of a quoted PO string ("..." with C escapes), appended to `text`.
void Unquote(const std::string& line, std::string& text) {
  const size_t open = line.find('"');
  const size_t close = line.rfind('"');
  if (open == std::string::npos || close <= open) return;
  for (size_t i = open + 1; i < close; ++i) {
    if (line[i] != '\\' || i + 1 >= close) {
      text += line[i];
      continue;
    }
    const char escaped = line[++i];
    text += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped == 'r' ? '\r' : escaped;
  }
}

std::wstring SourceFolder() {
  std::wstring folder = L"Z:" ORVANE_SOURCE_TEXT;
  for (wchar_t& c : folder) {
    if (c == L'/') c = L'\\';
  }
  return folder;
}

}  // namespace

std::map<std::wstring, PoEntry> ReadPo(const std::wstring& path) {
  std::map<std::wstring, PoEntry> entries;
  const std::string bytes = ReadBytes(path);
  std::string context, english, translated, *field = nullptr;
  bool fuzzy = false;
  auto finish = [&] {
    if (!context.empty()) entries[Wide(context)] = {Wide(english), Wide(translated), fuzzy};
    context.clear(), english.clear(), translated.clear();
    field = nullptr;
    fuzzy = false;
  };
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
      finish();
    } else if (line.rfind("#,", 0) == 0) {
      fuzzy = fuzzy || line.find("fuzzy") != std::string::npos;
    } else if (line[0] == '#') {
      continue;
    } else if (line.rfind("msgctxt ", 0) == 0) {
      Unquote(line, *(field = &context));
    } else if (line.rfind("msgid ", 0) == 0) {
      Unquote(line, *(field = &english));
    } else if (line.rfind("msgstr ", 0) == 0) {
      Unquote(line, *(field = &translated));
    } else if (line[0] == '"' && field) {
      Unquote(line, *field);
    }
  }
  finish();
  return entries;
}

std::wstring PoText(const std::wstring& language, const std::wstring& name, std::initializer_list<std::wstring> values) {
  const std::wstring po = SourceFolder() + L"\\po\\";
  const PoEntry english = ReadPo(po + L"orvane.pot")[name];
  std::wstring text = english.english;
  if (language != L"en") {
    const PoEntry entry = ReadPo(po + language + L".po")[name];
    if (!entry.translated.empty() && !entry.fuzzy && entry.english == english.english) text = entry.translated;
  }
  size_t number = 1;
  for (const std::wstring& value : values) {
    const std::wstring placeholder = L"%" + std::to_wstring(number++);
    for (size_t at = text.find(placeholder); at != std::wstring::npos; at = text.find(placeholder, at + value.size())) {
      text.replace(at, placeholder.size(), value);
    }
  }
  return text;
}

}  // namespace testing_support

#pragma once
// The translators' files (po/*.po), read as gettext reads them, so that tests can expect a language's
// texts without typing them again.

#include <map>
#include <string>

namespace testing_support {

struct PoEntry {
  std::wstring english;     // msgid
  std::wstring translated;  // msgstr, empty where not translated
  bool fuzzy = false;
};

// The entries of a .po or .pot file by msgctxt; empty if the file cannot be read.
std::map<std::wstring, PoEntry> ReadPo(const std::wstring& path);

// The text that a language shows for `name`: its translation, or the English where it has none (or one
// of an older English text, or a fuzzy one). `language` is a file name in po/ without ".po" ("de",
// "pt_BR"), or "en". %1, %2 ... are replaced by `values`, in order.
std::wstring PoText(const std::wstring& language, const std::wstring& name,
                    std::initializer_list<std::wstring> values = {});

}  // namespace testing_support

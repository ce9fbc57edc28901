#pragma once
// The program's texts in one language, as Windows shows them: UTF-16, with \r\n line breaks, English
// for each text the language lacks or leaves empty.

#include <string>
#include <string_view>
#include <vector>

#include "text/ids.h"
#include "text/mo_file.h"

namespace text {

class Catalog {
 public:
  // The texts of `language` (a catalog, or null for English alone).
  explicit Catalog(const MoFile* language);

  const std::u16string& Text(Id id) const { return texts_[static_cast<size_t>(id)]; }

  // A keyboard shortcut as written in the settings ("Ctrl+Alt+S"), with the modifier keys named in
  // this language ("Strg+Alt+S"); any other part stays as it is.
  std::u16string Keys(std::u16string_view keys) const;

 private:
  std::vector<std::u16string> texts_;
};

// UTF-8 as UTF-16; a byte that begins no whole, shortest character becomes U+FFFD.
std::u16string Utf16(std::string_view utf8);

// \n as \r\n, for Windows' boxes and controls; a \r\n already there stays one.
std::u16string WindowsLineBreaks(std::u16string_view text);

}  // namespace text

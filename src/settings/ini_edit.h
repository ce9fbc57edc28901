#pragma once
// Orvane.ini edited as its owner wrote it: only the values that change are rewritten, and every other
// byte (comments, other keys, unknown sections, their order, the line ends and the encoding) stays.
// Values are read as the Windows profile reader reads them, so that "changed" means changed for
// orvane.exe. Free of Windows: the system's code page comes in as two conversions.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ini {

// The file's encoding, told by its byte-order mark as the profile reader tells it. A file without a
// mark is in the system's code page (also when its bytes happen to be UTF-8).
enum class Encoding { kUtf16Le, kUtf8, kCodePage, kUnsupported /* UTF-16 big-endian */ };
Encoding EncodingOf(std::string_view bytes);

// The system's code page: text to bytes (nothing when a character has no byte form there), and back.
struct CodePage {
  std::function<std::optional<std::string>(std::wstring_view)> encode;
  std::function<std::wstring(std::string_view)> decode;
};

// The value of `key` in `section` as the profile reader returns it: the first section and the first
// key of those names in any letter case, blanks around the value removed, then one pair of matching
// quotation marks; nothing when the section or the key is missing.
std::optional<std::wstring> ValueIn(std::string_view bytes, std::wstring_view section, std::wstring_view key,
                                    const CodePage& code_page);

struct Change {
  std::wstring section;
  std::wstring key;
  std::wstring value;
};

struct Edited {
  std::string bytes;                 // the file after the changes
  std::vector<std::wstring> unsaid;  // the values the encoding cannot hold (or holding a line break); empty when all went in
  bool changed = false;              // whether any value differed from what the file says
};

// The file with each change made where it reads differently from the value: the value is replaced in
// its line (its blanks and quotation marks kept), or a missing key is added at the end of its section,
// or a missing section at the end of the file. An empty value for a key the file lacks reads the same
// and adds nothing. An empty file becomes UTF-16 with a byte-order mark, which holds any character.
// When `unsaid` is not empty, `bytes` is the file unchanged.
Edited Edit(std::string_view bytes, const std::vector<Change>& changes, const CodePage& code_page);

}  // namespace ini

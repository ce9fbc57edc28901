#include "text/mo_file.h"

#include <algorithm>
#include <cstdint>

namespace text {

namespace {

constexpr std::uint32_t kMagic = 0x950412de;
constexpr char kContextEnd = '\x04';  // between msgctxt and msgid in an entry's key

class Reader {
 public:
  Reader(std::string_view bytes, bool swapped) : bytes_(bytes), swapped_(swapped) {}

  std::optional<std::uint32_t> Word(std::uint64_t offset) const {
    if (offset > bytes_.size() || bytes_.size() - offset < 4) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const auto byte = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[offset + i]));
      value |= byte << (swapped_ ? 8 * (3 - i) : 8 * i);
    }
    return value;
  }

  // The string the table entry at `offset` describes (length, then position; the NUL after it).
  std::optional<std::string_view> String(std::uint64_t offset) const {
    const auto length = Word(offset);
    const auto position = Word(offset + 4);
    if (!length || !position) return std::nullopt;
    const std::uint64_t end = std::uint64_t{*position} + *length;
    if (end >= bytes_.size() || bytes_[end] != '\0') return std::nullopt;
    return bytes_.substr(*position, *length);
  }

 private:
  std::string_view bytes_;
  bool swapped_;
};

// The magic number tells the byte order the file was written in; read as little-endian first.
std::optional<Reader> ReaderFor(std::string_view bytes) {
  const Reader little(bytes, false);
  const auto magic = little.Word(0);
  if (!magic) return std::nullopt;
  if (*magic == kMagic) return little;
  const Reader big(bytes, true);
  if (big.Word(0) == kMagic) return big;
  return std::nullopt;
}

}  // namespace

std::optional<MoFile> MoFile::Parse(std::string_view bytes) {
  const auto reader = ReaderFor(bytes);
  if (!reader) return std::nullopt;
  const auto revision = reader->Word(4);
  const auto count = reader->Word(8);
  const auto originals = reader->Word(12);
  const auto translations = reader->Word(16);
  if (!revision || !count || !originals || !translations) return std::nullopt;
  if ((*revision >> 16) != 0) return std::nullopt;  // a major revision this reader does not know
  if (*count > bytes.size() / 8) return std::nullopt;  // more table entries than the file could hold
  MoFile file;
  for (std::uint32_t i = 0; i < *count; ++i) {
    const auto key = reader->String(std::uint64_t{*originals} + 8ull * i);
    const auto value = reader->String(std::uint64_t{*translations} + 8ull * i);
    if (!key || !value) return std::nullopt;
    const size_t end = key->find(kContextEnd);
    if (end == std::string_view::npos) continue;  // the header, or a text without a name
    const std::string_view english = key->substr(end + 1);
    file.entries_.push_back({key->substr(0, end), english.substr(0, english.find('\0')),
                             value->substr(0, value->find('\0'))});
  }
  std::stable_sort(file.entries_.begin(), file.entries_.end(),
                   [](const MoEntry& a, const MoEntry& b) { return a.context < b.context; });
  return file;
}

const MoEntry* MoFile::Find(std::string_view context) const {
  const auto found = std::lower_bound(entries_.begin(), entries_.end(), context,
                                      [](const MoEntry& entry, std::string_view name) { return entry.context < name; });
  return found != entries_.end() && found->context == context ? &*found : nullptr;
}

}  // namespace text

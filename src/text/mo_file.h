#pragma once
// A compiled gettext catalog (.mo), read in place: the texts by their name (msgctxt), each with the
// English it translates (msgid) and its translation (msgstr).

#include <optional>
#include <string_view>
#include <vector>

namespace text {

struct MoEntry {
  std::string_view context;      // the text's name
  std::string_view english;      // msgid
  std::string_view translation;  // msgstr (its first form, for a plural entry)
};

class MoFile {
 public:
  // The catalog in `bytes`, which must outlive it; nothing when they are not a whole, sound catalog.
  static std::optional<MoFile> Parse(std::string_view bytes);

  // The entry named `context`, or null. Entries without a name (the header) are not looked up.
  const MoEntry* Find(std::string_view context) const;

  // Every named entry, ordered by name.
  const std::vector<MoEntry>& entries() const { return entries_; }

 private:
  std::vector<MoEntry> entries_;
};

}  // namespace text

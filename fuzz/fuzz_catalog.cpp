// Catalog reader fuzzer: arbitrary bytes as a .mo file are refused or read within their bounds; what is
// read is found again by name, and the texts made from it are whole UTF-16 with Windows' line breaks.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/catalog.h"
#include "text/fill.h"
#include "text/mo_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto catalog = text::MoFile::Parse(bytes);
  if (!catalog) return 0;
  for (const text::MoEntry& entry : catalog->entries()) {
    for (std::string_view part : {entry.context, entry.english, entry.translation}) {
      if (part.data() < bytes.data() || part.data() + part.size() > bytes.data() + bytes.size()) __builtin_trap();
    }
    const text::MoEntry* found = catalog->Find(entry.context);
    if (!found || found->context != entry.context) __builtin_trap();
  }
  const text::Catalog texts(&*catalog);
  for (size_t i = 0; i < text::kTextCount; ++i) {
    const std::u16string& shown = texts.Text(static_cast<text::Id>(i));
    for (size_t k = 0; k < shown.size(); ++k) {
      if (shown[k] == u'\n' && (k == 0 || shown[k - 1] != u'\r')) __builtin_trap();
      const bool high = shown[k] >= 0xD800 && shown[k] <= 0xDBFF, low = shown[k] >= 0xDC00 && shown[k] <= 0xDFFF;
      if (low && (k == 0 || !(shown[k - 1] >= 0xD800 && shown[k - 1] <= 0xDBFF))) __builtin_trap();
      if (high && (k + 1 == shown.size() || !(shown[k + 1] >= 0xDC00 && shown[k + 1] <= 0xDFFF))) __builtin_trap();
    }
    (void)text::Fill(shown, {u"a", u"%1"});
  }
  (void)texts.Keys(u"Ctrl+Alt+Shift+S");
  return 0;
}

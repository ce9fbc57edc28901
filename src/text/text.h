#pragma once
// The texts a person reads, in their language: the language of the Language= setting in Orvane.ini's
// [Display] section beside the executable, else the first of Windows' UI languages that the executable
// carries a catalog for (resources of type MO, named by tag), else English. Chosen once, on the first
// text; after that any thread may read texts.

#include <string>
#include <string_view>

#include "text/fill.h"
#include "text/ids.h"

namespace text {

// The text, English where the language lacks it, with \r\n line breaks.
std::wstring Get(Id id);

// The text with %1, %2 ... filled by `values` in order ("The screenshot was saved as %1.").
template <class... Values>
std::wstring Format(Id id, const Values&... values) {
  return Fill(Get(id), {std::wstring_view(values)...});
}

// A shortcut as the settings spell it ("Ctrl+Alt+S"), with the modifier keys in the language: "Strg+Alt+S".
std::wstring KeysForDisplay(std::wstring_view keys);

// The language the texts are in: "de", "pt-BR", "en".
std::wstring Language();

// Asks for the language `tag` ahead of the setting and Windows' (the installer passes the language it
// speaks); a tag the executable has no catalog for leaves the choice to them. Only before the first
// text: false, changing nothing, once the texts are chosen.
bool RequestLanguage(std::wstring_view tag);

}  // namespace text

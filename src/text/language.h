#pragma once
// Which of Orvane's languages a person gets. Tags are BCP-47 ("de", "pt-BR", "zh-CN"), compared
// without regard to letter case, with "_" taken as "-".

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace text {

// The language of `available` (English is always available) for:
// - the `setting` (Orvane.ini's Language=), when it names one of them;
// - else the first of Windows' `preferred` UI languages that Orvane has, each matched exactly first, then
//   by its primary language alone (de-AT gets de, pt-PT pt-BR, zh-TW zh-CN, en-US en);
// - else English.
// A setting that names no language Orvane has (a typo, or one not translated) leaves it to Windows.
std::string ChooseLanguage(std::string_view setting, const std::vector<std::string>& preferred,
                           const std::vector<std::string>& available);

// The language of `available` (English always) that `wanted` asks for: the same tag, else the same
// primary language (the bare language first: "pt" before "pt-BR"); nothing when Orvane has none.
std::optional<std::string> MatchLanguage(std::string_view wanted, const std::vector<std::string>& available);

// The tag as it is usually written: "PT-BR" and "pt_br" are "pt-BR", "ZH-HANS-CN" is "zh-Hans-CN".
std::string CanonicalTag(std::string_view tag);

}  // namespace text

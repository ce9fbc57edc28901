#include "text/language.h"

#include <optional>

namespace text {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
bool Separator(char c) { return c == '-' || c == '_'; }

std::string_view Trimmed(std::string_view tag) {
  while (!tag.empty() && (tag.front() == ' ' || tag.front() == '\t')) tag.remove_prefix(1);
  while (!tag.empty() && (tag.back() == ' ' || tag.back() == '\t')) tag.remove_suffix(1);
  return tag;
}

bool SameTag(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Separator(a[i]) && Separator(b[i])) continue;
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string_view Primary(std::string_view tag) {
  size_t end = 0;
  while (end < tag.size() && !Separator(tag[end])) ++end;
  return tag.substr(0, end);
}

std::optional<std::string> MatchIn(std::string_view wanted, const std::vector<std::string>& available) {
  wanted = Trimmed(wanted);
  if (wanted.empty()) return std::nullopt;
  for (const std::string& tag : available) {
    if (SameTag(tag, wanted)) return tag;
  }
  // By the primary language: the language itself if Orvane has it bare ("pt"), else its first variant.
  const std::string_view primary = Primary(wanted);
  const std::string* variant = nullptr;
  for (const std::string& tag : available) {
    if (!SameTag(Primary(tag), primary)) continue;
    if (SameTag(tag, primary)) return tag;
    if (!variant) variant = &tag;
  }
  if (variant) return *variant;
  return std::nullopt;
}

// The available languages as tags are usually written, English among them.
std::vector<std::string> Languages(const std::vector<std::string>& available) {
  std::vector<std::string> languages;
  bool english = false;
  for (const std::string& tag : available) {
    languages.push_back(CanonicalTag(tag));
    english = english || SameTag(tag, "en");
  }
  if (!english) languages.push_back("en");
  return languages;
}

}  // namespace

std::optional<std::string> MatchLanguage(std::string_view wanted, const std::vector<std::string>& available) {
  return MatchIn(wanted, Languages(available));
}

std::string ChooseLanguage(std::string_view setting, const std::vector<std::string>& preferred,
                           const std::vector<std::string>& available) {
  const std::vector<std::string> languages = Languages(available);
  if (auto chosen = MatchIn(setting, languages)) return *chosen;
  for (const std::string& wanted : preferred) {
    if (auto chosen = MatchIn(wanted, languages)) return *chosen;
  }
  return "en";
}

std::string CanonicalTag(std::string_view tag) {
  tag = Trimmed(tag);
  std::string canonical;
  size_t start = 0;
  for (size_t part = 0; start <= tag.size(); ++part) {
    size_t end = start;
    while (end < tag.size() && !Separator(tag[end])) ++end;
    const std::string_view subtag = tag.substr(start, end - start);
    if (part > 0) canonical += '-';
    for (size_t i = 0; i < subtag.size(); ++i) {
      // Language lower case, script title case (Hans), region upper case (BR, 419).
      const bool upper = part > 0 && (subtag.size() == 2 || (subtag.size() == 4 && i == 0));
      canonical += upper ? Upper(subtag[i]) : Lower(subtag[i]);
    }
    start = end + 1;
  }
  return canonical;
}

}  // namespace text

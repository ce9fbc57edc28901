#include "mail/recipient_parts.h"

#include <algorithm>

namespace mail {
namespace {

std::vector<std::wstring_view> SemicolonParts(std::wstring_view setting, bool honour_quotes) {
  std::vector<std::wstring_view> parts;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < setting.size(); ++i) {
    if (honour_quotes && quoted && setting[i] == L'\\') {
      ++i;
    } else if (honour_quotes && setting[i] == L'"') {
      quoted = !quoted;
    } else if (setting[i] == L';' && !quoted) {
      parts.push_back(setting.substr(start, i - start));
      start = i + 1;
    }
  }
  if (quoted) return SemicolonParts(setting, false);
  parts.push_back(setting.substr(std::min(start, setting.size())));
  return parts;
}

}  // namespace

std::vector<std::wstring_view> RecipientParts(std::wstring_view setting) { return SemicolonParts(setting, true); }

}  // namespace mail

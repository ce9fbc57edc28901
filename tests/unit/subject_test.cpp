#include <gtest/gtest.h>

#include <string>

#include "driver/subject.h"

namespace {

TEST(WholeCharacters, DropsTheFirstHalfOfACutPairAtTheLimitOnly) {
  const std::wstring emoji = L"\U0001F4CA";  // two UTF-16 units
  // The title reader's buffer: 511 units of a longer title, then its NUL; the cut falls inside the pair.
  std::wstring buffer = (std::wstring(510, L'a') + emoji).substr(0, 511) + L'\0';
  EXPECT_EQ(modMain::SubjectFromTitle(buffer.c_str(), 512, 511), L"Screen Capture: " + std::wstring(510, L'a'));
  std::wstring whole = std::wstring(509, L'a') + emoji;  // 511 units: the pair fits whole
  EXPECT_EQ(modMain::SubjectFromTitle(whole.c_str(), 512, 511), L"Screen Capture: " + whole);
  EXPECT_EQ(modMain::WholeCharacters(std::wstring(1022, L'b') + L"\xD83D", 1023), std::wstring(1022, L'b'));
  EXPECT_EQ(modMain::WholeCharacters(L"short\xD83D", 1023), L"short\xD83D");  // not cut: left as it is
}

}  // namespace

// The mailto: link that carries To and Subject to a mail program that takes no attachment from us.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "mail/mailto.h"

namespace {

using mail::kMaxMailtoLength;
using mail::MailtoLink;

// What a handler reads from the link's subject: the percent-decoded bytes as UTF-8.
std::wstring DecodedSubject(const std::wstring& link) {
  const size_t start = link.find(L"?subject=");
  if (start == std::wstring::npos) return L"<no subject>";
  std::string bytes;
  for (size_t i = start + 9; i < link.size(); ++i) {
    if (link[i] == L'%' && i + 2 < link.size()) {
      bytes += static_cast<char>(std::stoi(std::string{static_cast<char>(link[i + 1]), static_cast<char>(link[i + 2])},
                                           nullptr, 16));
      i += 2;
    } else {
      bytes += static_cast<char>(link[i]);
    }
  }
  const int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                         nullptr, 0);
  if (size <= 0 && !bytes.empty()) return L"<invalid UTF-8>";
  std::wstring text(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return text;
}

TEST(MailtoLink, AddressPartsSeparatedByCommasThenTheEncodedSubject) {
  EXPECT_EQ(MailtoLink(L"Arvel Quist <arvel@example.com>; desk@example.com", L"Screen Capture: Budget"),
            L"mailto:arvel@example.com,desk@example.com?subject=Screen%20Capture%3A%20Budget");
  EXPECT_EQ(MailtoLink(L"", L"Screen Capture"), L"mailto:?subject=Screen%20Capture");
  // Characters that would end the address or start another field are encoded; '+' too, which some
  // handlers read as a blank.
  EXPECT_EQ(MailtoLink(L"a+b@example.com;  ; <odd?&#@example.com>", L"x"),
            L"mailto:a%2Bb@example.com,odd%3F%26%23@example.com?subject=x");
}

TEST(MailtoLink, EveryCharacterOfTheTitleSurvivesAsUtf8) {
  const std::wstring subject =
      L"Screen Capture: 100% & more? #1 = a+b/c \u00e9t\u00e9 \u2014 \u5831\u544a \U0001F4CA \"q\" <t>";
  const std::wstring link = MailtoLink(L"arvel@example.com", subject);
  EXPECT_EQ(DecodedSubject(link), subject);
  for (wchar_t c : link.substr(7)) EXPECT_TRUE(c < 0x80 && c != L' ' && c != L'#') << static_cast<int>(c);
  EXPECT_NE(link.find(L"%C3%A9t%C3%A9"), std::wstring::npos);
  EXPECT_NE(link.find(L"%F0%9F%93%8A"), std::wstring::npos);
  // Half a surrogate pair, which a title can hold, becomes the replacement character.
  EXPECT_EQ(MailtoLink(L"", std::wstring(L"a") + L'\xD83D' + L"b"), L"mailto:?subject=a%EF%BF%BDb");
}

TEST(MailtoLink, ALongSubjectIsCutAtWholeCharactersToKeepTheLinkShort) {
  for (const wchar_t* unit : {L"e", L"\u00e9", L"\U0001F4CA"}) {
    std::wstring title = L"Screen Capture: ";
    for (int i = 0; i < 2100; ++i) title += unit;
    const std::wstring link = MailtoLink(L"arvel@example.com", title);
    EXPECT_LE(link.size(), kMaxMailtoLength);
    EXPECT_GT(link.size(), kMaxMailtoLength - 12);  // nothing cut that would have fitted
    const std::wstring decoded = DecodedSubject(link);
    ASSERT_NE(decoded, L"<invalid UTF-8>");
    EXPECT_EQ(title.compare(0, decoded.size(), decoded), 0);  // a whole-character prefix
  }
  const std::wstring short_title = L"Screen Capture: Budget";
  EXPECT_EQ(DecodedSubject(MailtoLink(L"arvel@example.com", short_title)), short_title);
}

}  // namespace

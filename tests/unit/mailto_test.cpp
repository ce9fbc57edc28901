// The mailto: link that carries To and Subject to a mail program that takes no attachment from us.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mail/mailto.h"

namespace {

using mail::kMaxMailtoLength;
using mail::MailtoLink;

// What a handler reads from a part of the link: the percent-decoded bytes as UTF-8.
std::wstring Decoded(std::wstring_view encoded) {
  std::string bytes;
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] == L'%' && i + 2 < encoded.size()) {
      bytes += static_cast<char>(
          std::stoi(std::string{static_cast<char>(encoded[i + 1]), static_cast<char>(encoded[i + 2])}, nullptr, 16));
      i += 2;
    } else {
      bytes += static_cast<char>(encoded[i]);
    }
  }
  const int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                         nullptr, 0);
  if (size <= 0 && !bytes.empty()) return L"<invalid UTF-8>";
  std::wstring text(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return text;
}

std::wstring DecodedSubject(const std::wstring& link) {
  const size_t start = link.find(L"?subject=");
  if (start == std::wstring::npos) return L"<no subject>";
  return Decoded(std::wstring_view(link).substr(start + 9));
}

// The addresses a handler reads from the link, decoded.
std::vector<std::wstring> DecodedAddresses(const std::wstring& link) {
  std::vector<std::wstring> addresses;
  const std::wstring_view to = std::wstring_view(link).substr(7, link.find(L'?') == std::wstring::npos
                                                                      ? std::wstring::npos
                                                                      : link.find(L'?') - 7);
  for (size_t start = 0; start < to.size();) {
    const size_t comma = std::min(to.find(L',', start), to.size());
    addresses.push_back(Decoded(to.substr(start, comma - start)));
    start = comma + 1;
  }
  return addresses;
}

TEST(MailtoLink, AddressPartsSeparatedByCommasThenTheEncodedSubject) {
  EXPECT_EQ(MailtoLink(L"Arvel Quist <arvel@example.com>; desk@example.com", L"Screen Capture: Budget").link,
            L"mailto:arvel@example.com,desk@example.com?subject=Screen%20Capture%3A%20Budget");
  EXPECT_EQ(MailtoLink(L"", L"Screen Capture").link, L"mailto:?subject=Screen%20Capture");
  // Characters that would end the address or start another field are encoded; '+' too, which some
  // handlers read as a blank.
  EXPECT_EQ(MailtoLink(L"a+b@example.com;  ; <odd?&#@example.com>", L"x").link,
            L"mailto:a%2Bb@example.com,odd%3F%26%23@example.com?subject=x");
}

TEST(MailtoLink, EveryCharacterOfTheTitleSurvivesAsUtf8) {
  const std::wstring subject =
      L"Screen Capture: 100% & more? #1 = a+b/c \u00e9t\u00e9 \u2014 \u5831\u544a \U0001F4CA \"q\" <t>";
  const std::wstring link = MailtoLink(L"arvel@example.com", subject).link;
  EXPECT_EQ(DecodedSubject(link), subject);
  for (wchar_t c : link.substr(7)) EXPECT_TRUE(c < 0x80 && c != L' ' && c != L'#') << static_cast<int>(c);
  EXPECT_NE(link.find(L"%C3%A9t%C3%A9"), std::wstring::npos);
  EXPECT_NE(link.find(L"%F0%9F%93%8A"), std::wstring::npos);
  // Half a surrogate pair, which a title can hold, becomes the replacement character.
  EXPECT_EQ(MailtoLink(L"", std::wstring(L"a") + L'\xD83D' + L"b").link, L"mailto:?subject=a%EF%BF%BDb");
}

TEST(MailtoLink, ALongSubjectIsCutAtWholeCharactersToKeepTheLinkShort) {
  for (const wchar_t* unit : {L"e", L"\u00e9", L"\U0001F4CA"}) {
    std::wstring title = L"Screen Capture: ";
    for (int i = 0; i < 2100; ++i) title += unit;
    const std::wstring link = MailtoLink(L"arvel@example.com", title).link;
    EXPECT_LE(link.size(), kMaxMailtoLength);
    EXPECT_GT(link.size(), kMaxMailtoLength - 12);  // nothing cut that would have fitted
    const std::wstring decoded = DecodedSubject(link);
    ASSERT_NE(decoded, L"<invalid UTF-8>");
    EXPECT_EQ(title.compare(0, decoded.size(), decoded), 0);  // a whole-character prefix
  }
  const std::wstring short_title = L"Screen Capture: Budget";
  EXPECT_EQ(DecodedSubject(MailtoLink(L"arvel@example.com", short_title).link), short_title);
}

// Characters of two, four and twelve encoded characters in turn, so that the limit falls inside each
// kind at one cut or another: the subject always ends on a whole character, never half a pair.
TEST(MailtoLink, TheSubjectIsCutAtWholeCharactersWhereverTheLimitFalls) {
  for (size_t room = 0; room < 30; ++room) {
    std::wstring title = L"Screen Capture: " + std::wstring(room, L'a');
    for (int i = 0; i < 200; ++i) title += i % 3 == 0 ? L"\U0001F4CA" : i % 3 == 1 ? L"\u00e9" : L" ";
    const std::wstring link = MailtoLink(L"arvel@example.com", title).link;
    EXPECT_LE(link.size(), kMaxMailtoLength);
    EXPECT_GT(link.size() + 12, kMaxMailtoLength);  // nothing cut that would have fitted
    EXPECT_EQ(link.find(L"%EF%BF%BD"), std::wstring::npos) << "half a surrogate pair encoded";
    const std::wstring decoded = DecodedSubject(link);
    ASSERT_NE(decoded, L"<invalid UTF-8>");
    EXPECT_EQ(title.compare(0, decoded.size(), decoded), 0);
  }
}

// Thirteen characters that the link carries in 54 (UTF-8, percent-encoded): a thousand characters of
// Cyrillic and Japanese addresses need several times the limit.
std::wstring NonLatinAddress(int number) {
  return L"\u0430\u0440\u0432\u0435\u043b" + std::to_wstring(number) + L"@\u8a66\u9a13.jp";
}

TEST(MailtoLink, AddressesGoInWholeTheSubjectGivesWayFirstAndWhatDoesNotFitIsNamed) {
  std::wstring setting;
  std::vector<std::wstring> all;
  while (setting.size() < 1000) {
    all.push_back(NonLatinAddress(static_cast<int>(all.size()) + 10));
    setting += (setting.empty() ? L"" : L"; ") + all.back();
  }
  const mail::MailtoMail mail = MailtoLink(setting, L"Screen Capture: Budget");
  EXPECT_LE(mail.link.size(), kMaxMailtoLength);
  // The subject only has the room left that no address fits into.
  const std::wstring subject = mail.link.find(L'?') == std::wstring::npos ? L"" : DecodedSubject(mail.link);
  EXPECT_EQ(std::wstring(L"Screen Capture: Budget").compare(0, subject.size(), subject), 0);
  std::vector<std::wstring> in_link = DecodedAddresses(mail.link);
  ASSERT_FALSE(in_link.empty());
  ASSERT_FALSE(mail.left_out.empty());
  // Every address is in the link whole or named as left out, in the setting's order.
  std::vector<std::wstring> together = in_link;
  together.insert(together.end(), mail.left_out.begin(), mail.left_out.end());
  EXPECT_EQ(together, all);
  // One more address would not have fitted.
  const size_t addresses_end = std::min(mail.link.find(L'?'), mail.link.size());
  EXPECT_GT(addresses_end + 1 + 54, kMaxMailtoLength);

  // A later, shorter address still goes in after a long one that did not fit.
  const std::wstring long_one = std::wstring(kMaxMailtoLength, L'x') + L"@example.com";
  const mail::MailtoMail skipped = MailtoLink(L"a@x.org; " + long_one + L"; b@y.org", L"Screen Capture");
  EXPECT_EQ(skipped.link, L"mailto:a@x.org,b@y.org?subject=Screen%20Capture");
  EXPECT_EQ(skipped.left_out, std::vector<std::wstring>{long_one});
}

TEST(MailtoLink, AddressesThatFitKeepTheirPlaceAndTheSubjectTakesTheRestToTheLastCharacter) {
  // Addresses that leave room for the subject field and three characters of the subject.
  std::wstring setting;
  std::vector<std::wstring> all;
  for (int i = 0; i < 39; ++i) {
    all.push_back(L"person" + std::to_wstring(100 + i) + L"@ex.org");
    setting += all.back() + L";";
  }
  const size_t used = 7 + 39 * 16 + 38;  // "mailto:", 39 addresses of 16 characters, commas between
  // A comma, "@z", the subject field and three characters of the subject after it.
  std::wstring extra(kMaxMailtoLength - used - 1 - 2 - 9 - 3, L'q');
  all.push_back(extra + L"@z");
  setting += all.back();
  const mail::MailtoMail mail = MailtoLink(setting, L"Screen Capture: Budget");
  EXPECT_TRUE(mail.left_out.empty());
  EXPECT_EQ(DecodedAddresses(mail.link), all);
  EXPECT_EQ(mail.link.size(), kMaxMailtoLength);
  EXPECT_EQ(DecodedSubject(mail.link), L"Scr");
  // Without room for a character of it, no subject field at all.
  const mail::MailtoMail full = MailtoLink(setting + L"abc", L"Screen Capture: Budget");
  EXPECT_EQ(full.link.find(L'?'), std::wstring::npos);
  EXPECT_TRUE(full.left_out.empty());
}

}  // namespace

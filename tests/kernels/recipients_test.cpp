// The settings window's check of the Recipient setting: each entry an address or a name with one.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/recipients.h"

namespace {

using Entries = std::vector<std::wstring>;

TEST(Recipients, TakesTheFormsTheSettingsFileDescribes) {
  EXPECT_EQ(recipients::NotAddresses(L""), Entries{});
  EXPECT_EQ(recipients::NotAddresses(L"arvel@example.com"), Entries{});
  EXPECT_EQ(recipients::NotAddresses(L"Arvel Lind <arvel@example.com>; arvel@example.org;"), Entries{});
  EXPECT_EQ(recipients::NotAddresses(L"\"Lind; Arvel\" <arvel@example.com>"), Entries{}) << "a semicolon in a quoted name";
  EXPECT_EQ(recipients::NotAddresses(L"first.last+tag@mail.example.co.uk"), Entries{});
  EXPECT_EQ(recipients::NotAddresses(L"\u0430\u0440\u0432\u0435\u043b@\u043f\u0440\u0438\u043c\u0435\u0440.\u0440\u0444"), Entries{})
      << "internationalised";
}

TEST(Recipients, NamesEachEntryThatIsNoAddress) {
  EXPECT_EQ(recipients::NotAddresses(L"arvel@example.com; arvel at example.com ;lind@example"),
            (Entries{L"arvel at example.com", L"lind@example"}));
  const Entries refused = {L"arvel", L"@example.com", L"arvel@", L"ar vel@example.com", L"arvel@@example.com",
                           L"arvel@example..com", L"arvel@-example.com", L"arvel@example.c", L"arvel@10.0.0.1",
                           L".arvel@example.com", L"ar..vel@example.com", L"Arvel <arvel@example.com",
                           L"Arvel arvel@example.com>", L"Arv<el <arvel@example.com>", L"<>", L"arvel@exa_mple.com"};
  for (const std::wstring& entry : refused) {
    EXPECT_EQ(recipients::NotAddresses(L"ok@example.com;" + entry), Entries{entry}) << testing::PrintToString(entry);
  }
}

}  // namespace

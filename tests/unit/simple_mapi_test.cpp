// The pieces of the hand-over to the default mail program that need no mail program: the recipients
// as the setting gives them, the names of its answers, and the program its registration starts.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/simple_mapi.h"
#include "platform/runtime/win_error.h"

namespace {

using mail::Recipient;
using mail::SplitRecipients;

std::vector<std::wstring> Flat(const std::vector<Recipient>& recipients) {
  std::vector<std::wstring> out;
  for (const Recipient& r : recipients) out.push_back(r.name + L"|" + r.address);
  return out;
}

TEST(Recipients, AreSplitAtSemicolonsWithNamesAndStrayBlanksAndEmptyPartsDropped) {
  EXPECT_TRUE(SplitRecipients(L"").empty());
  EXPECT_TRUE(SplitRecipients(L" ; ;; ").empty());
  EXPECT_EQ(Flat(SplitRecipients(L"arvel@example.com")), (std::vector<std::wstring>{L"|arvel@example.com"}));
  EXPECT_EQ(Flat(SplitRecipients(L";  a@x.org ;b@y.org;")), (std::vector<std::wstring>{L"|a@x.org", L"|b@y.org"}));
  EXPECT_EQ(Flat(SplitRecipients(L"Arvel Quist <arvel@example.com>; \"Desk, Help\" <help@example.com> ")),
            (std::vector<std::wstring>{L"Arvel Quist|arvel@example.com", L"Desk, Help|help@example.com"}));
  // A name without an address is no recipient; brackets that do not close the part are part of it.
  EXPECT_TRUE(SplitRecipients(L"Nobody <>").empty());
  EXPECT_EQ(Flat(SplitRecipients(L"odd<one@x.org")), (std::vector<std::wstring>{L"|odd<one@x.org"}));
  EXPECT_EQ(Flat(SplitRecipients(L"<bare@x.org>")), (std::vector<std::wstring>{L"|bare@x.org"}));
}

TEST(Recipients, ASemicolonInsideAQuotedNameBelongsToTheName) {
  EXPECT_EQ(Flat(SplitRecipients(L"\"Quist; Arvel\" <arvel@example.com>; desk@example.com")),
            (std::vector<std::wstring>{L"Quist; Arvel|arvel@example.com", L"|desk@example.com"}));
  // An escaped quotation mark does not end the quotes.
  EXPECT_EQ(Flat(SplitRecipients(L"\"Arvel \\\"AQ; Q\\\" Quist\" <a@x.org>;b@y.org")).size(), 2u);
  // Quotation marks that do not pair up are no quotes: every semicolon separates.
  EXPECT_EQ(Flat(SplitRecipients(L"O\"Brien <o@x.org>; desk@x.org")),
            (std::vector<std::wstring>{L"O\"Brien|o@x.org", L"|desk@x.org"}));
  EXPECT_EQ(Flat(SplitRecipients(L"a@x.org;")), (std::vector<std::wstring>{L"|a@x.org"}));
}

TEST(MapiCodes, ReadAsTheirNames) {
  // Codes the system has no text for under every Windows still read as words.
  EXPECT_EQ(rt::HresultError(CO_E_SERVER_EXEC_FAILURE, L"x").description().empty(), false);
  EXPECT_EQ(mail::MapiCodeName(2), L"MAPI_E_FAILURE (2)");
  EXPECT_EQ(mail::MapiCodeName(7), L"code 7");
  EXPECT_EQ(mail::MapiCodeName(400), L"code 400");
}

TEST(MailProgramCommand, IsTheQuotedExecutableOrTheTextUpToExe) {
  EXPECT_EQ(mail::ProgramOfCommand(L"\"C:\\Program Files\\Mozilla Thunderbird\\thunderbird.exe\" -mail"),
            L"C:\\Program Files\\Mozilla Thunderbird\\thunderbird.exe");
  EXPECT_EQ(mail::ProgramOfCommand(L"  C:\\Program Files\\eM Client\\MailClient.EXE /mailurl:%1"),
            L"C:\\Program Files\\eM Client\\MailClient.EXE");
  EXPECT_EQ(mail::ProgramOfCommand(L"%ProgramFiles%\\Mail\\mail.exe"), L"%ProgramFiles%\\Mail\\mail.exe");
  EXPECT_EQ(mail::ProgramOfCommand(L"rundll32 mail.dll,Open"), L"rundll32");
  EXPECT_EQ(mail::ProgramOfCommand(L"\"C:\\unterminated"), L"C:\\unterminated");
  EXPECT_EQ(mail::ProgramOfCommand(L""), L"");
}

}  // namespace

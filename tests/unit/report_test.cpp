// The texts a user reads when a run cannot end as planned, and the recipients a mail program is given.

#include <gtest/gtest.h>

#include "driver/report.h"
#include "jpeg/jpeg_writer.h"
#include "mail/mapi_w.h"
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

TEST(Report, SaysWhatHappenedThenWhereTheScreenshotIsThenTheNumberAndDescription) {
  const rt::Error missing = rt::HresultError(REGDB_E_CLASSNOTREG, L"orvane");
  EXPECT_EQ(missing.description(), L"Class not registered");
  const std::wstring text = modMain::ReportText(missing, L"C:\\Orvane\\Screenshot004.jpg");
  EXPECT_EQ(text, modMain::PlainExplanation(missing) +
                      L"\r\n\r\nThe screenshot was saved as C:\\Orvane\\Screenshot004.jpg.\r\n\r\n"
                      L"Run-time error '-2147221164':\r\n\r\nClass not registered");
  EXPECT_NE(text.find(L"no other default mail program"), std::wstring::npos);

  const rt::Error unwritable(mIntelJPEGLibrary::kErrJpeg, L"orvane.mIntelJPEGLibrary", L"Failed to save to JPG -6");
  EXPECT_EQ(modMain::ReportText(unwritable, L""),
            L"The screenshot could not be written into Orvane's folder: the folder may be read-only, full or gone."
            L"\r\n\r\nThe screenshot was not saved.\r\n\r\nRun-time error '26001':\r\n\r\nFailed to save to JPG -6");
}

TEST(Report, ExplainsEachFailureUsersMeetInTheirWords) {
  struct Case {
    rt::Error error;
    const wchar_t* says;
  };
  const Case cases[] = {
      {rt::HresultError(CO_E_SERVER_EXEC_FAILURE, L"orvane"), L"another user or with other rights"},
      {rt::HresultError(RPC_E_CALL_REJECTED, L"orvane"), L"busy, or was closed"},
      {rt::HresultError(HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), L"orvane"), L"busy, or was closed"},
      {rt::Error(26001, L"orvane.mIntelJPEGLibrary", L"Failed to initialise the IJL library: -5"), L"memory"},
      {rt::Error(rt::kErrOverflow, L"orvane", L"Overflow"), L"Screenshot32767.jpg is taken"},
      {rt::Error(MAPI_E_FAILURE, L"orvane.MAPISendMail", L"The mail program answered " + mail::MapiCodeName(2)),
       L"default mail program could not open"},
      {rt::Error(12345, L"orvane", L"Something else"), L"could not finish"},
  };
  for (const Case& c : cases)
    EXPECT_NE(modMain::PlainExplanation(c.error).find(c.says), std::wstring::npos) << c.error.what();
  // Codes the system has no text for under every Windows still read as words.
  EXPECT_EQ(rt::HresultError(CO_E_SERVER_EXEC_FAILURE, L"x").description().empty(), false);
  EXPECT_EQ(mail::MapiCodeName(2), L"MAPI_E_FAILURE (2)");
  EXPECT_EQ(mail::MapiCodeName(7), L"code 7");
  EXPECT_EQ(mail::MapiCodeName(400), L"code 400");
}

}  // namespace

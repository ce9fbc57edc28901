#include <gtest/gtest.h>

#include "driver/mod_main.h"
#include "mail/simple_mapi.h"
#include "support/temp_folder.h"

namespace {

using modMain::ReadSettingIn;
using testing_support::TempFolder;

TEST(ReadSetting, MissingFileSectionOrKeyGivesTheDefault) {
  TempFolder folder;
  EXPECT_EQ(ReadSettingIn(folder.path(), L"Email", L"Recipient", L""), L"");
  EXPECT_EQ(ReadSettingIn(folder.path(), L"Email", L"Recipient", L"fallback"), L"fallback");
  testing_support::WriteBytes(folder / L"Orvane.ini", "[Email]\r\nRecipient=arvel@example.com\r\n");
  EXPECT_EQ(ReadSettingIn(folder.path(), L"KeyCombos", L"Activate", L""), L"");
  EXPECT_EQ(ReadSettingIn(folder.path(), L"Email", L"Sender", L"x"), L"x");
  EXPECT_EQ(ReadSettingIn(folder.path(), L"Email", L"Recipient", L""), L"arvel@example.com");
}

// What the system's settings-file reader does with a value, as the program sees it: blanks trimmed,
// one pair of matching quotes taken off, section and key names in any letter case. One test pins it,
// since the program relies on it rather than doing it itself.
TEST(ReadSetting, TheSystemsReaderTrimsUnquotesAndIgnoresLetterCase) {
  TempFolder folder;
  testing_support::WriteBytes(folder / L"Orvane.ini",
                              "[Email]\r\nRecipient=\r\n[KeyCombos]\r\nActivate =   Ctrl+Alt+S  \r\n"
                              "[Quoted]\r\nDouble=\"  a b  \"\r\nSingle='x'\r\nMixed=\"y'\r\n[lower]\r\nRECIPIENT=a@b\r\n");
  EXPECT_EQ(ReadSettingIn(folder.path(), L"Email", L"Recipient", L"default"), L"");
  EXPECT_EQ(ReadSettingIn(folder.path(), L"KeyCombos", L"Activate", L""), L"Ctrl+Alt+S");
  EXPECT_EQ(ReadSettingIn(folder.path(), L"Quoted", L"Double", L""), L"  a b  ");
  EXPECT_EQ(ReadSettingIn(folder.path(), L"Quoted", L"Single", L""), L"x");
  EXPECT_EQ(ReadSettingIn(folder.path(), L"Quoted", L"Mixed", L""), L"\"y'");
  EXPECT_EQ(ReadSettingIn(folder.path(), L"LOWER", L"recipient", L""), L"a@b");
}

TEST(ReadSetting, ValuesUpTo1023CharactersComeBackWholeLongerOnesCut) {
  TempFolder folder;
  std::string exact(1023, 'a');
  exact[0] = 'S';
  exact[1022] = 'E';
  std::string longer = std::string(1023, 'b') + "TAIL";
  testing_support::WriteBytes(folder / L"Orvane.ini", "[Email]\r\nRecipient=" + exact + "\r\nCc=" + longer + "\r\n");
  std::wstring got = ReadSettingIn(folder.path(), L"Email", L"Recipient", L"");
  EXPECT_EQ(got, std::wstring(exact.begin(), exact.end()));
  std::wstring cut = ReadSettingIn(folder.path(), L"Email", L"Cc", L"");
  EXPECT_EQ(cut, std::wstring(1023, L'b'));
}

TEST(ReadSetting, KeepsCharactersOutsideTheAnsiCodePage) {
  TempFolder folder;
  const std::wstring recipient = L"\u0410\u0440\u0432\u0435\u043b <\u8a66\u9a13@example.com> \U0001F4F7";
  testing_support::WriteUtf16(folder / L"Orvane.ini",
                              L"[Email]\r\nRecipient=" + recipient + L"\r\n[KeyCombos]\r\nActivate=\u2318+S\r\n");
  EXPECT_EQ(ReadSettingIn(folder.path(), L"Email", L"Recipient", L""), recipient);
  EXPECT_EQ(ReadSettingIn(folder.path(), L"KeyCombos", L"Activate", L""), L"\u2318+S");
}

TEST(ReadSetting, FolderWithNonAnsiName) {
  TempFolder parent;
  std::wstring folder = parent / L"\u0421\u043d\u0438\u043c\u043a\u0438 \u5199\u771f";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  testing_support::WriteBytes(folder + L"\\Orvane.ini", "[Email]\r\nRecipient=r@x\r\n");
  EXPECT_EQ(ReadSettingIn(folder, L"Email", L"Recipient", L""), L"r@x");
}

}  // namespace

namespace {

using modMain::ReadSettingIn;
using testing_support::TempFolder;

TEST(ReadSettingHostile, GarbageNulBytesHugeLinesAndDuplicatesReadSafely) {
  TempFolder folder;
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131 + 7) & 0xFF);
  testing_support::WriteBytes(folder / L"Orvane.ini", garbage);
  EXPECT_EQ(ReadSettingIn(folder.path(), L"Email", L"Recipient", L"d"), L"d");

  // A NUL in the middle of the file, a 1 MB line, keys outside any section, a key twice.
  std::string text = "Recipient=outside@section\r\n[Email]\r\nRecipient=first@example.com\r\nRecipient=second@example.com\r\n";
  text += "Junk=" + std::string(1 << 20, 'x') + "\r\n";
  text += std::string("Cut=before") + '\0' + "after\r\n";
  text += "[KeyCombos]\r\nActivate=F9\r\n";
  testing_support::WriteBytes(folder / L"Orvane.ini", text);
  EXPECT_EQ(ReadSettingIn(folder.path(), L"Email", L"Recipient", L""), L"first@example.com");  // the first wins
  EXPECT_EQ(ReadSettingIn(folder.path(), L"Email", L"Junk", L"").size(), 1023u);
  EXPECT_EQ(ReadSettingIn(folder.path(), L"KeyCombos", L"Activate", L""), L"F9");
  std::wstring cut = ReadSettingIn(folder.path(), L"Email", L"Cut", L"");
  EXPECT_EQ(cut.substr(0, 6), L"before");  // never more than the reader gave back

  testing_support::WriteBytes(folder / L"Orvane.ini", "no sections at all\r\nRecipient=x\r\n");
  EXPECT_EQ(ReadSettingIn(folder.path(), L"Email", L"Recipient", L""), L"");
  testing_support::WriteBytes(folder / L"Orvane.ini", "");
  EXPECT_EQ(ReadSettingIn(folder.path(), L"Email", L"Recipient", L""), L"");
}

TEST(ReadSettingHostile, ASettingIsTextNeverAPathOrACommand) {
  TempFolder folder;
  testing_support::WriteBytes(folder / L"Orvane.ini",
                              "[Email]\r\nRecipient=..\\..\\Windows\\system32\\cmd.exe /c del *\r\n"
                              "[KeyCombos]\r\nActivate=%SystemRoot%\\notepad.exe\r\n");
  // Returned as written: no expansion of variables, no resolution against the file system.
  EXPECT_EQ(ReadSettingIn(folder.path(), L"Email", L"Recipient", L""), L"..\\..\\Windows\\system32\\cmd.exe /c del *");
  EXPECT_EQ(ReadSettingIn(folder.path(), L"KeyCombos", L"Activate", L""), L"%SystemRoot%\\notepad.exe");
}

TEST(ReadSetting, AValueCutAt1023CharactersKeepsWholeCharacters) {
  TempFolder folder;
  const std::wstring value = std::wstring(1022, L'v') + L"\U0001F600";
  testing_support::WriteUtf16(folder / L"Orvane.ini", L"[Email]\r\nRecipient=" + value + L"\r\n");
  EXPECT_EQ(modMain::ReadSettingIn(folder.path(), L"Email", L"Recipient", L""), std::wstring(1022, L'v'));
}

}  // namespace

namespace {

using modMain::RecipientFromReads;
using modMain::ReadRecipientSettingIn;
using testing_support::TempFolder;

// "user100@example.com; user101@example.com; ..." up to at least `length` characters.
std::string Addresses(size_t length) {
  std::string text;
  for (int i = 100; text.size() < length; ++i) text += (text.empty() ? "" : "; ") + ("user" + std::to_string(i)) + "@example.com";
  return text;
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// A Recipient setting longer than the 1023 characters read ends in an address cut short: the mail
// goes without it (it would reach a stranger), and the run names it. A value that only fills the
// 1023 characters is whole.
TEST(RecipientSetting, ALastAddressCutShortByTheReadingIsLeftOutAndNamed) {
  TempFolder folder;
  const std::string cut = Addresses(1100);
  testing_support::WriteBytes(folder / L"Orvane.ini", "[Email]\r\nRecipient=" + cut + "\r\n");
  const modMain::RecipientSetting setting = ReadRecipientSettingIn(folder.path());
  const std::wstring read = Wide(cut.substr(0, 1023));
  const size_t last = read.rfind(L';') + 1;
  EXPECT_EQ(setting.value, read.substr(0, last));
  EXPECT_EQ(setting.cut_short, read.substr(last + 1));  // as far as it was read, without the blank
  ASSERT_FALSE(setting.cut_short.empty());
  for (const mail::Recipient& recipient : mail::SplitRecipients(setting.value))
    EXPECT_EQ(recipient.address.rfind(L"@example.com"), recipient.address.size() - 12) << "a part of an address";

  // Exactly 1023 characters, ending in a whole address: nothing to leave out.
  std::string exact = Addresses(1023).substr(0, 1023);
  exact.replace(exact.size() - 12, 12, "@example.com");
  testing_support::WriteBytes(folder / L"Orvane.ini", "[Email]\r\nRecipient=" + exact + "\r\n");
  const modMain::RecipientSetting whole = ReadRecipientSettingIn(folder.path());
  EXPECT_EQ(whole.value, Wide(exact));
  EXPECT_TRUE(whole.cut_short.empty());

  // A single address cut short leaves the To line empty, and says so.
  testing_support::WriteBytes(folder / L"Orvane.ini", "[Email]\r\nRecipient=" + std::string(1100, 'a') + "@x.org\r\n");
  const modMain::RecipientSetting alone = ReadRecipientSettingIn(folder.path());
  EXPECT_EQ(alone.value, L"");
  EXPECT_EQ(alone.cut_short, std::wstring(1023, L'a'));
}

// Where the reading stopped decides: inside an address (or its name, quoted with a semicolon or not),
// or only in the blanks or at the separator after it.
TEST(RecipientSetting, TheCutIsJudgedByWhatFollowsIt) {
  const std::wstring before = L"a@x.org; ";
  // Cut inside an address, and inside a quoted name that holds a semicolon.
  auto setting = RecipientFromReads(before + L"b@y.o", before + L"b@y.org; c@z.org");
  EXPECT_EQ(setting.value, L"a@x.org;");
  EXPECT_EQ(setting.cut_short, L"b@y.o");
  setting = RecipientFromReads(before + L"\"Quist; Ar", before + L"\"Quist; Arvel\" <arvel@example.com>");
  EXPECT_EQ(setting.value, L"a@x.org;");
  EXPECT_EQ(setting.cut_short, L"\"Quist; Ar");
  setting = RecipientFromReads(before + L"Arvel Quist <arvel@exa", before + L"Arvel Quist <arvel@example.com>");
  EXPECT_EQ(setting.cut_short, L"Arvel Quist <arvel@exa");
  // Cut right after an address, in the blanks after it, or after its separator: all whole.
  for (const std::wstring& read : {before + L"b@y.org", before + L"b@y.org  ", before + L"b@y.org; ", before + L"b@y.org;"}) {
    setting = RecipientFromReads(read, before + L"b@y.org  ; c@z.org");
    EXPECT_EQ(setting.value, read);
    EXPECT_TRUE(setting.cut_short.empty()) << testing::PrintToString(read);
  }
  // Read whole: nothing to judge.
  setting = RecipientFromReads(before + L"b@y.o", before + L"b@y.o");
  EXPECT_TRUE(setting.cut_short.empty());
  // A longer read that does not go on from the first (the reader would not do that): the last
  // address of the first counts as cut.
  setting = RecipientFromReads(before + L"b@y.org", L"something else entirely, and longer");
  EXPECT_EQ(setting.value, L"a@x.org;");
  EXPECT_EQ(setting.cut_short, L"b@y.org");
}

}  // namespace

#include <gtest/gtest.h>

#include "driver/mod_main.h"
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

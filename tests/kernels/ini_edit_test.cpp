// Orvane.ini edited in place: what changes is the value that changed, and nothing else, in each
// encoding the profile reader knows.

#include <gtest/gtest.h>

#include <string>

#include "settings/ini_edit.h"

namespace {

// A stand-in for the system's code page: Latin-1, where anything above U+00FF has no byte.
const ini::CodePage kLatin1{
    [](std::wstring_view text) -> std::optional<std::string> {
      std::string out;
      for (wchar_t c : text) {
        if (static_cast<unsigned long>(c) > 0xFF) return std::nullopt;
        out.push_back(static_cast<char>(c));
      }
      return out;
    },
    [](std::string_view bytes) {
      std::wstring out;
      for (char c : bytes) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
      return out;
    }};

// UTF-16 LE with a byte-order mark, from text of the first plane.
std::string Utf16(std::wstring_view text) {
  std::string out = "\xFF\xFE";
  for (wchar_t c : text) {
    out.push_back(static_cast<char>(static_cast<unsigned>(c) & 0xFF));
    out.push_back(static_cast<char>(static_cast<unsigned>(c) >> 8));
  }
  return out;
}

std::string Edit(std::string_view bytes, const std::vector<ini::Change>& changes) {
  const ini::Edited edited = ini::Edit(bytes, changes, kLatin1);
  EXPECT_TRUE(edited.unsaid.empty());
  return edited.bytes;
}

const std::string kWritten =
    "; Orvane settings, written by hand\r\n"
    "[Email]\r\n"
    "; who gets them\r\n"
    "Recipient = arvel@example.com   \r\n"
    "Cc=nobody\r\n"
    "\r\n"
    "[Mine]\r\n"
    "Recipient=not this one\r\n"
    "[KeyCombos]\r\n"
    "Activate=\"Ctrl+Alt+S\"\r\n";

TEST(IniEdit, ChangesOnlyTheValueAndKeepsEveryOtherByte) {
  std::string expected = kWritten;
  expected.replace(expected.find("arvel@example.com"), 17, "lind@example.org");
  EXPECT_EQ(Edit(kWritten, {{L"Email", L"Recipient", L"lind@example.org"}}), expected);

  // Quoted before, quoted after; the names in any letter case.
  expected.replace(expected.find("\"Ctrl+Alt+S\""), 12, "\"Ctrl+Alt+F8\"");
  EXPECT_EQ(Edit(kWritten, {{L"email", L"RECIPIENT", L"lind@example.org"}, {L"keycombos", L"activate", L"Ctrl+Alt+F8"}}),
            expected);

  // A value that reads the same is not touched, quotation marks and blanks and all.
  const ini::Edited same = ini::Edit(kWritten, {{L"Email", L"Recipient", L"arvel@example.com"}, {L"KeyCombos", L"Activate", L"Ctrl+Alt+S"}}, kLatin1);
  EXPECT_FALSE(same.changed);
  EXPECT_EQ(same.bytes, kWritten);
}

TEST(IniEdit, ReadsAsTheProfileReaderDoes) {
  EXPECT_EQ(ini::ValueIn(kWritten, L"EMAIL", L"recipient", kLatin1), L"arvel@example.com");
  EXPECT_EQ(ini::ValueIn(kWritten, L"KeyCombos", L"Activate", kLatin1), L"Ctrl+Alt+S");
  EXPECT_EQ(ini::ValueIn(kWritten, L"Email", L"Activate", kLatin1), std::nullopt);
  EXPECT_EQ(ini::ValueIn(kWritten, L"Display", L"Language", kLatin1), std::nullopt);
  EXPECT_EQ(ini::ValueIn("[A]\nk=\n", L"A", L"k", kLatin1), L"");
  EXPECT_EQ(ini::ValueIn("[A]\nk='x'\n", L"A", L"k", kLatin1), L"x");
  EXPECT_EQ(ini::ValueIn("[A]\nk=\"x'\n", L"A", L"k", kLatin1), L"\"x'") << "quotation marks that do not match stay";
  // The first of two keys of one name, in the first of two sections of one name.
  EXPECT_EQ(ini::ValueIn("[A]\nk=1\nk=2\n[A]\nk=3\n", L"A", L"k", kLatin1), L"1");
  EXPECT_EQ(ini::ValueIn("[ A ]\n  k  =  v  \n", L"A", L"k", kLatin1), L"v");
  EXPECT_EQ(ini::ValueIn("[A]\n;k=v\n", L"A", L"k", kLatin1), std::nullopt) << "a comment is no key";
}

TEST(IniEdit, AddsAMissingKeyToItsSectionAndAMissingSectionAtTheEnd) {
  // After the section's last key, before the blank line and the next section.
  const std::string with_cc_key = Edit(kWritten, {{L"Email", L"Bcc", L"x@example.com"}});
  EXPECT_EQ(with_cc_key, std::string(kWritten).insert(kWritten.find("Cc=nobody\r\n") + 11, "Bcc=x@example.com\r\n"));

  // The file's own line ends, and one given to a last line without any.
  EXPECT_EQ(Edit("[Email]\nRecipient=a@b.c", {{L"Display", L"Language", L"de"}}),
            "[Email]\nRecipient=a@b.c\n[Display]\nLanguage=de\n");
  EXPECT_EQ(Edit("[Display]", {{L"Display", L"Language", L"de"}}), "[Display]\r\nLanguage=de\r\n");

  // An empty value for a missing key reads the same: nothing is added.
  const ini::Edited nothing = ini::Edit(kWritten, {{L"Display", L"Language", L""}}, kLatin1);
  EXPECT_FALSE(nothing.changed);
  EXPECT_EQ(nothing.bytes, kWritten);
  // But an existing value is emptied.
  EXPECT_EQ(Edit("[Display]\r\nLanguage=de ; mine\r\n", {{L"Display", L"Language", L""}}), "[Display]\r\nLanguage=\r\n");
}

TEST(IniEdit, QuotesAValueTheReaderWouldOtherwiseChange) {
  EXPECT_EQ(Edit("[A]\r\nk=1\r\n", {{L"A", L"k", L"\"Arvel\""}}), "[A]\r\nk=\"\"Arvel\"\"\r\n");
  EXPECT_EQ(ini::ValueIn("[A]\r\nk=\"\"Arvel\"\"\r\n", L"A", L"k", kLatin1), L"\"Arvel\"");
  EXPECT_EQ(Edit("[A]\r\nk=1\r\n", {{L"A", L"k", L"\"Arvel\" <a@b.c>"}}), "[A]\r\nk=\"Arvel\" <a@b.c>\r\n");
  EXPECT_EQ(Edit("[A]\r\nk='1'\r\n", {{L"A", L"k", L"2"}}), "[A]\r\nk='2'\r\n") << "its own kind of marks";
}

TEST(IniEdit, KeepsEachEncoding) {
  // UTF-16 with its mark, as Windows' profile writer and the installer write it.
  const std::string utf16 = Utf16(L"; mine\r\n[Email]\r\nRecipient=a@b.c\r\n");
  std::string edited = Edit(utf16, {{L"Email", L"Recipient", L"\u0430\u0440\u0432\u0435\u043b@example.com"}});
  EXPECT_EQ(edited, Utf16(L"; mine\r\n[Email]\r\nRecipient=\u0430\u0440\u0432\u0435\u043b@example.com\r\n"));
  EXPECT_EQ(ini::ValueIn(edited, L"Email", L"Recipient", kLatin1), L"\u0430\u0440\u0432\u0435\u043b@example.com");
  // A character beyond the first plane becomes a surrogate pair in UTF-16 and four bytes in UTF-8.
  edited = Edit(utf16, {{L"Email", L"Recipient", L"a\U0001F600@b.c"}});
  EXPECT_NE(edited.find(std::string("a\0\x3D\xD8\x00\xDE@\0", 8)), std::string::npos);
  const std::string utf8 = "\xEF\xBB\xBF[Email]\nRecipient=a@b.c\n";
  EXPECT_EQ(Edit(utf8, {{L"Email", L"Recipient", L"\u00E9\U0001F600"}}), "\xEF\xBB\xBF[Email]\nRecipient=\xC3\xA9\xF0\x9F\x98\x80\n");

  // An empty or missing file becomes UTF-16 with its mark.
  EXPECT_EQ(Edit("", {{L"Email", L"Recipient", L"a@b.c"}}), Utf16(L"[Email]\r\nRecipient=a@b.c\r\n"));
}

TEST(IniEdit, RefusesWhatTheFileCannotHoldAndChangesNothing) {
  const std::string code_page = "[Email]\r\nRecipient=\xE9@example.com\r\n";
  EXPECT_EQ(ini::ValueIn(code_page, L"Email", L"Recipient", kLatin1), L"\u00E9@example.com");
  EXPECT_EQ(Edit(code_page, {{L"Email", L"Recipient", L"\u00FC@example.com"}}), "[Email]\r\nRecipient=\xFC@example.com\r\n");

  const ini::Edited refused = ini::Edit(code_page, {{L"Display", L"Language", L"de"}, {L"Email", L"Recipient", L"\u0430@example.com"}}, kLatin1);
  EXPECT_EQ(refused.unsaid, std::vector<std::wstring>{L"\u0430@example.com"});
  EXPECT_EQ(refused.bytes, code_page) << "neither change made";

  const ini::Edited broken = ini::Edit(code_page, {{L"Email", L"Recipient", L"a@b.c\r\n[Evil]"}}, kLatin1);
  EXPECT_EQ(broken.unsaid.size(), 1u) << "a line break would make a line of its own";
  EXPECT_EQ(broken.bytes, code_page);

  const std::string big_endian = "\xFE\xFF";
  EXPECT_EQ(ini::EncodingOf(big_endian), ini::Encoding::kUnsupported);
  EXPECT_EQ(ini::Edit(big_endian, {{L"A", L"k", L"v"}}, kLatin1).bytes, big_endian);
}

}  // namespace

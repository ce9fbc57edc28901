// The texts without Windows: catalogs read, texts filled in, the language chosen, and every catalog the
// build made held against the English template.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "text/catalog.h"
#include "text/fill.h"
#include "text/ids.h"
#include "text/language.h"
#include "text/mo_file.h"

namespace {

using text::Id;

struct Entry {
  std::string context;  // empty: no msgctxt (the header has none)
  std::string english;
  std::string translation;
};

// A .mo file as msgfmt writes one: header, the two tables, then the strings, each followed by a NUL.
std::string WriteMo(std::vector<Entry> entries, bool big_endian = false) {
  auto key = [](const Entry& e) { return e.context.empty() ? e.english : e.context + '\x04' + e.english; };
  std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) { return key(a) < key(b); });
  std::string bytes;
  auto word = [&](std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (big_endian ? 8 * (3 - i) : 8 * i));
  };
  const auto count = static_cast<std::uint32_t>(entries.size());
  const std::uint32_t originals = 28, translations = originals + 8 * count;
  std::uint32_t position = translations + 8 * count;
  std::string strings;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> original_table, translation_table;
  for (const Entry& e : entries) {
    original_table.emplace_back(static_cast<std::uint32_t>(key(e).size()), position + static_cast<std::uint32_t>(strings.size()));
    strings += key(e) + '\0';
  }
  for (const Entry& e : entries) {
    translation_table.emplace_back(static_cast<std::uint32_t>(e.translation.size()), position + static_cast<std::uint32_t>(strings.size()));
    strings += e.translation + '\0';
  }
  word(0x950412de);
  word(0);
  word(count);
  word(originals);
  word(translations);
  word(0);
  word(0);
  for (auto [length, offset] : original_table) word(length), word(offset);
  for (auto [length, offset] : translation_table) word(length), word(offset);
  return bytes + strings;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<Id> AllTexts() {
  std::vector<Id> ids;
  for (size_t i = 0; i < text::kTextCount; ++i) ids.push_back(static_cast<Id>(i));
  return ids;
}

// What a language's catalog lacks or has wrong, against the template, by the texts' names.
struct Findings {
  std::vector<std::string> missing;       // not there, or empty
  std::vector<std::string> stale;         // translates another English than the template's
  std::vector<std::string> placeholders;  // uses other %N than the English
  std::vector<std::string> carriage_returns;

  bool Clean() const { return missing.empty() && stale.empty() && placeholders.empty() && carriage_returns.empty(); }

  std::string Describe(const std::string& language) const {
    std::ostringstream out;
    auto list = [&](const char* what, const std::vector<std::string>& names) {
      if (names.empty()) return;
      out << "  " << language << ": " << names.size() << ' ' << what << ":\n";
      for (const std::string& name : names) out << "    " << name << '\n';
    };
    list("missing or empty", missing);
    list("stale (translated from another English)", stale);
    list("with other placeholders than the English", placeholders);
    list("with a \\r (line breaks are \\n)", carriage_returns);
    return out.str();
  }
};

Findings Audit(const text::MoFile& catalog) {
  Findings findings;
  for (Id id : AllTexts()) {
    const std::string name(text::NameOf(id));
    const text::MoEntry* entry = catalog.Find(name);
    if (!entry || entry->translation.empty()) {
      findings.missing.push_back(name);
      continue;
    }
    if (entry->english != text::EnglishOf(id)) findings.stale.push_back(name);
    if (text::PlaceholdersIn(entry->translation) != text::PlaceholdersIn(text::EnglishOf(id))) {
      findings.placeholders.push_back(name);
    }
    if (entry->translation.find('\r') != std::string::npos) findings.carriage_returns.push_back(name);
  }
  return findings;
}

// A whole language made from the template: every text, its placeholders kept, its words marked.
std::vector<Entry> CompleteFakeLanguage() {
  std::vector<Entry> entries = {{"", "", "Language: xx\nContent-Type: text/plain; charset=UTF-8\n"}};
  for (Id id : AllTexts()) {
    const std::string english(text::EnglishOf(id));
    entries.push_back({std::string(text::NameOf(id)), english, "\xC2\xBB" + english + "\xC2\xAB"});
  }
  return entries;
}

std::vector<Entry> Without(std::vector<Entry> entries, std::string_view name) {
  std::erase_if(entries, [&](const Entry& e) { return e.context == name; });
  return entries;
}

Entry& Named(std::vector<Entry>& entries, std::string_view name) {
  return *std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.context == name; });
}

std::u16string U16(const std::u16string& s) { return s; }

// ---------------------------------------------------------------------------------------------------
// Reading a catalog

TEST(MoFile, FindsEachTextByItsNameInEitherByteOrder) {
  const std::vector<Entry> entries = {
      {"", "", "Content-Type: text/plain; charset=UTF-8\n"},
      {"Key.Ctrl", "Ctrl", "Strg"},
      {"Saved", "The screenshot was saved as %1.", "Der Screenshot wurde als %1 gespeichert."},
      {"", "no name", "ohne Namen"},
      {"Saved.Other", "Saved", ""},
  };
  for (bool big_endian : {false, true}) {
    const std::string bytes = WriteMo(entries, big_endian);
    const auto catalog = text::MoFile::Parse(bytes);
    ASSERT_TRUE(catalog) << "big endian " << big_endian;
    ASSERT_EQ(catalog->entries().size(), 3u) << "the header and the text without a name are not texts";
    const text::MoEntry* saved = catalog->Find("Saved");
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->english, "The screenshot was saved as %1.");
    EXPECT_EQ(saved->translation, "Der Screenshot wurde als %1 gespeichert.");
    EXPECT_EQ(catalog->Find("Key.Ctrl")->translation, "Strg");
    EXPECT_EQ(catalog->Find("Saved.Other")->translation, "");
    EXPECT_EQ(catalog->Find("Key"), nullptr);
    EXPECT_EQ(catalog->Find(""), nullptr);
    EXPECT_EQ(catalog->Find("no name"), nullptr);
  }
}

TEST(MoFile, TakesThePluralEntrysFirstForm) {
  // msgid and msgid_plural, and the forms of msgstr, are separated by NULs inside one string.
  const std::string bytes = WriteMo({{"Files", std::string("one file\0%1 files", 17), std::string("eine Datei\0%1 Dateien", 21)}});
  const auto catalog = text::MoFile::Parse(bytes);
  ASSERT_TRUE(catalog);
  EXPECT_EQ(catalog->Find("Files")->english, "one file");
  EXPECT_EQ(catalog->Find("Files")->translation, "eine Datei");
}

TEST(MoFile, RefusesAnythingButAWholeSoundCatalog) {
  const std::string whole = WriteMo({{"Key.Ctrl", "Ctrl", "Strg"}, {"Key.Alt", "Alt", "Alt"}});
  ASSERT_TRUE(text::MoFile::Parse(whole));
  for (size_t length = 0; length < whole.size(); ++length) {
    EXPECT_FALSE(text::MoFile::Parse(whole.substr(0, length))) << "cut to " << length << " bytes";
  }
  auto with_word = [&](size_t offset, std::uint32_t value) {
    std::string changed = whole;
    for (int i = 0; i < 4; ++i) changed[offset + i] = static_cast<char>(value >> (8 * i));
    return changed;
  };
  EXPECT_FALSE(text::MoFile::Parse(with_word(0, 0x12345678))) << "another magic number";
  EXPECT_FALSE(text::MoFile::Parse(with_word(4, 0x00010000))) << "a major revision unknown";
  EXPECT_FALSE(text::MoFile::Parse(with_word(8, 0xFFFFFFFF))) << "more entries than the file holds";
  EXPECT_FALSE(text::MoFile::Parse(with_word(12, 0xFFFFFFF8))) << "a table past the end";
  EXPECT_FALSE(text::MoFile::Parse(with_word(28, 0xFFFFFFFF))) << "a string longer than the file";
  EXPECT_FALSE(text::MoFile::Parse(with_word(32, 0xFFFFFFFC))) << "a string placed past the end";
  std::string unterminated = whole;
  unterminated[unterminated.size() - 1] = 'x';
  EXPECT_FALSE(text::MoFile::Parse(unterminated)) << "a string without its NUL";
}

// ---------------------------------------------------------------------------------------------------
// The texts of a language

TEST(Catalog, EachTextTheLanguageLacksOrLeavesEmptyIsEnglish) {
  const std::string bytes = WriteMo({
      {"Key.Ctrl", "Ctrl", "Strg"},
      {"Key.Shift", "Shift", ""},
      {"Shortcut.Refused", "\"%1\" cannot be the shortcut.\n\n%2", "\xE2\x80\x9E%1\xE2\x80\x9C geht nicht.\n\n%2"},
  });
  const auto language = text::MoFile::Parse(bytes);
  ASSERT_TRUE(language);
  const text::Catalog german(&*language);
  EXPECT_EQ(german.Text(Id::kKey_Ctrl), u"Strg");
  EXPECT_EQ(german.Text(Id::kKey_Shift), u"Shift") << "empty";
  EXPECT_EQ(german.Text(Id::kKey_Alt), u"Alt") << "missing";
  EXPECT_EQ(german.Text(Id::kShortcut_Refused), u"\u201E%1\u201C geht nicht.\r\n\r\n%2") << "UTF-16, Windows' line breaks";

  const text::Catalog english(nullptr);
  for (Id id : AllTexts()) {
    EXPECT_EQ(english.Text(id), text::WindowsLineBreaks(text::Utf16(text::EnglishOf(id)))) << text::NameOf(id);
    EXPECT_FALSE(english.Text(id).empty()) << text::NameOf(id);
  }
  EXPECT_EQ(english.Text(Id::kShortcut_Refused), u"\"%1\" cannot be the shortcut.\r\n\r\n%2");
}

TEST(Catalog, NamesTheModifierKeysOfAShortcutInTheLanguage) {
  const std::string bytes = WriteMo({{"Key.Ctrl", "Ctrl", "Strg"}, {"Key.Shift", "Shift", "Umschalt"}});
  const auto language = text::MoFile::Parse(bytes);
  const text::Catalog german(&*language);
  EXPECT_EQ(german.Keys(u"Ctrl+Alt+S"), u"Strg+Alt+S");
  EXPECT_EQ(german.Keys(u"ctrl+alt+shift+F5"), u"Strg+Alt+Umschalt+F5");
  EXPECT_EQ(german.Keys(u"Control + Shift + 7"), u"Strg + Umschalt + 7") << "spacing kept";
  EXPECT_EQ(german.Keys(u"Ctrl+Alt+Home"), u"Strg+Alt+Home") << "other keys as Windows named them";
  EXPECT_EQ(german.Keys(u"S"), u"S");
  EXPECT_EQ(german.Keys(u""), u"");
  EXPECT_EQ(text::Catalog(nullptr).Keys(u"Ctrl+Alt+Shift+F12"), u"Ctrl+Alt+Shift+F12");
}

TEST(Catalog, ReadsUtf8IntoUtf16AndMarksWhatIsNoCharacter) {
  EXPECT_EQ(text::Utf16("Stra\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80"), u"Stra\u00DFe \u20AC \U0001F600");
  EXPECT_EQ(U16(text::Utf16("a\xE2\x82" "b")), u"a\uFFFDb") << "cut short";
  EXPECT_EQ(U16(text::Utf16("\x80\x80x")), u"\uFFFDx") << "continuation bytes alone";
  EXPECT_EQ(U16(text::Utf16("\xC0\xAF")), u"\uFFFD") << "overlong";
  EXPECT_EQ(U16(text::Utf16("\xED\xA0\x80")), u"\uFFFD") << "a surrogate";
  EXPECT_EQ(U16(text::Utf16("\xF4\x90\x80\x80")), u"\uFFFD") << "past U+10FFFF";
  EXPECT_EQ(U16(text::Utf16("\xFF")), u"\uFFFD");
}

TEST(Catalog, BreaksLinesAsWindowsDoes) {
  EXPECT_EQ(text::WindowsLineBreaks(u"a\nb\n\nc\n"), u"a\r\nb\r\n\r\nc\r\n");
  EXPECT_EQ(text::WindowsLineBreaks(u"\na\r\nb"), u"\r\na\r\nb") << "a \\r\\n stays one";
}

// ---------------------------------------------------------------------------------------------------
// Filling in

TEST(Fill, PutsEachValueWhereTheSentenceHasIt) {
  EXPECT_EQ(text::Fill(L"The screenshot was saved as %1.", {L"C:\\Orvane\\Screenshot001.jpg"}),
            L"The screenshot was saved as C:\\Orvane\\Screenshot001.jpg.");
  EXPECT_EQ(text::Fill(L"%2 ist %1", {L"eins", L"zwei"}), L"zwei ist eins") << "reordered";
  EXPECT_EQ(text::Fill(L"%1, %1 and %1", {L"x"}), L"x, x and x") << "repeated";
  EXPECT_EQ(text::Fill(L"%1 %9", {L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9"}), L"1 9");
  EXPECT_EQ(text::Fill(u"%1\u00A0%2", {u"\u00E9", u"\U0001F600"}), u"\u00E9\u00A0\U0001F600");
}

TEST(Fill, LeavesWhatIsNoPlaceholderOrHasNoValue) {
  EXPECT_EQ(text::Fill(L"%1 of %3", {L"one", L"two"}), L"one of %3") << "no value for it";
  EXPECT_EQ(text::Fill(L"%3", {}), L"%3");
  EXPECT_EQ(text::Fill(L"100% sure, %0, %a, %%1, 50%", {L"x"}), L"100% sure, %0, %a, %x, 50%");
  EXPECT_EQ(text::Fill(L"%10", {L"x"}), L"x0") << "one digit only";
  EXPECT_EQ(text::Fill(L"%1 and %2", {L"%2", L"%1"}), L"%2 and %1") << "values are not filled in again";
  EXPECT_EQ(text::Fill(L"", {L"x"}), L"");
}

TEST(Fill, CountsThePlaceholdersATextUses) {
  EXPECT_EQ(text::PlaceholdersIn("%2 then %1 then %2"), (1u << 1) | (1u << 2));
  EXPECT_EQ(text::PlaceholdersIn("100% and %0 and %"), 0u);
  EXPECT_EQ(text::PlaceholdersIn("%9"), 1u << 9);
}

// ---------------------------------------------------------------------------------------------------
// Choosing the language

TEST(ChooseLanguage, TakesTheSettingThenWindowsThenEnglish) {
  const std::vector<std::string> orvane = {"en", "de", "fr", "pt-BR", "zh-CN", "ja"};
  struct Case {
    const char* setting;
    std::vector<std::string> windows;
    const char* chosen;
  } cases[] = {
      {"", {"de-DE", "en-US"}, "de"},           // by the primary language
      {"", {"fr"}, "fr"},                       // exactly
      {"", {"PT-br"}, "pt-BR"},                 // exactly, in any letter case
      {"", {"pt-PT"}, "pt-BR"},                 // the one Portuguese there is
      {"", {"zh-TW", "de-DE"}, "zh-CN"},        // the one Chinese there is, by the primary language
      {"", {"zh-Hant-TW"}, "zh-CN"},
      {"", {"ko-KR", "de-AT"}, "de"},           // the first Orvane has
      {"", {"ko-KR", "sv-SE"}, "en"},           // none: English
      {"", {}, "en"},
      {"", {"en-GB", "de-DE"}, "en"},           // English preferred over a second language
      {"", {"de-AT", "pt-BR"}, "de"},           // the first language's variant before an exact second
      {"fr", {"de-DE"}, "fr"},                  // the setting overrides Windows
      {"FR-ca", {"de-DE"}, "fr"},
      {"zh_cn", {"de-DE"}, "zh-CN"},            // '_' as '-'
      {" ja ", {"de-DE"}, "ja"},
      {"en", {"de-DE"}, "en"},                  // English asked for, though Windows speaks German
      {"xx", {"de-DE"}, "de"},                  // a language Orvane lacks: Windows chooses
      {"nl", {"ko-KR"}, "en"},
      {"-", {"fr-FR"}, "fr"},
  };
  for (const Case& c : cases) {
    std::string windows;
    for (const std::string& tag : c.windows) windows += tag + " ";
    EXPECT_EQ(text::ChooseLanguage(c.setting, c.windows, orvane), c.chosen)
        << "setting \"" << c.setting << "\", Windows " << windows;
  }
}

TEST(ChooseLanguage, PrefersTheBareLanguageAndKnowsEnglishWithoutItsCatalog) {
  // Resource names come back upper case; English is there even where no catalog of it is.
  EXPECT_EQ(text::ChooseLanguage("", {"pt-AO"}, {"PT-BR", "PT", "DE"}), "pt");
  EXPECT_EQ(text::ChooseLanguage("", {"pt-AO"}, {"PT-BR", "PT-PT"}), "pt-BR");
  EXPECT_EQ(text::ChooseLanguage("en", {"de-DE"}, {"DE"}), "en");
  EXPECT_EQ(text::ChooseLanguage("", {"en-US"}, {}), "en");
  EXPECT_EQ(text::MatchLanguage("de-CH", {"DE"}), "de");
  EXPECT_EQ(text::MatchLanguage("en-US", {"DE"}), "en");
  EXPECT_FALSE(text::MatchLanguage("ko", {"DE"}));
  EXPECT_FALSE(text::MatchLanguage("", {"DE"}));
}

TEST(ChooseLanguage, WritesTagsAsTheyAreUsuallyWritten) {
  EXPECT_EQ(text::CanonicalTag("PT-BR"), "pt-BR");
  EXPECT_EQ(text::CanonicalTag("zh_cn"), "zh-CN");
  EXPECT_EQ(text::CanonicalTag("ZH-HANS-CN"), "zh-Hans-CN");
  EXPECT_EQ(text::CanonicalTag("EN"), "en");
  EXPECT_EQ(text::CanonicalTag("es-419"), "es-419");
}

// ---------------------------------------------------------------------------------------------------
// The catalogs the build made, against the template

TEST(CatalogAudit, FindsWhatALanguageLacksOrHasWrong) {
  const auto complete_bytes = WriteMo(CompleteFakeLanguage());
  const auto complete = text::MoFile::Parse(complete_bytes);
  ASSERT_TRUE(complete);
  const Findings clean = Audit(*complete);
  EXPECT_TRUE(clean.Clean()) << clean.Describe("xx");

  std::vector<Entry> faulty = Without(CompleteFakeLanguage(), "Report.Other");
  Named(faulty, "Key.Alt").translation = "";
  Named(faulty, "Saved").english = "The screenshot was stored as %1.";  // the template's English changed since
  Named(faulty, "Shortcut.Refused").translation = "\"%1\" ist keine Tastenkombination.";  // %2 lost
  Named(faulty, "Shortcut.ChangedFrom").translation = "%1 (%3)";                       // %2 lost, %3 made up
  Named(faulty, "Report.ProblemCreating").translation = "Problem\r\n";
  const auto faulty_bytes = WriteMo(faulty);
  const Findings found = Audit(*text::MoFile::Parse(faulty_bytes));
  EXPECT_EQ(found.missing, (std::vector<std::string>{"Report.Other", "Key.Alt"})) << found.Describe("xx");
  EXPECT_EQ(found.stale, std::vector<std::string>{"Saved"});
  EXPECT_EQ(found.placeholders, (std::vector<std::string>{"Shortcut.Refused", "Shortcut.ChangedFrom"}))
      << found.Describe("xx");
  EXPECT_EQ(found.carriage_returns, std::vector<std::string>{"Report.ProblemCreating"});
}

// "en=/path/en.mo;de=/path/de.mo", as the build passes them.
std::map<std::string, std::string> Built(std::string_view list) {
  std::map<std::string, std::string> catalogs;
  while (!list.empty()) {
    const size_t end = std::min(list.find(';'), list.size());
    const std::string_view pair = list.substr(0, end);
    const size_t equals = pair.find('=');
    catalogs[std::string(pair.substr(0, equals))] = std::string(pair.substr(equals + 1));
    list.remove_prefix(std::min(end + 1, list.size()));
  }
  return catalogs;
}

TEST(CatalogAudit, TheEnglishCatalogIsTheTemplateWordForWord) {
  const auto catalogs = Built(ORVANE_CATALOGS);
  ASSERT_TRUE(catalogs.count("en"));
  const std::string bytes = ReadFile(catalogs.at("en"));
  const auto english = text::MoFile::Parse(bytes);
  ASSERT_TRUE(english) << catalogs.at("en");
  const Findings findings = Audit(*english);
  EXPECT_TRUE(findings.Clean()) << findings.Describe("en");
  // What msgfmt made of the template is what the build compiled in from it.
  for (Id id : AllTexts()) EXPECT_EQ(english->Find(text::NameOf(id))->translation, text::EnglishOf(id));
}

TEST(CatalogAudit, EveryShippedLanguageHasEveryTextOfTheTemplate) {
  // A language ships once it translates anything (cmake/text_resources.cmake); from then on it must
  // translate everything, or people would read a mix of it and English.
  std::ostringstream report;
  bool all_clean = true;
  for (const auto& [language, path] : Built(ORVANE_CATALOGS)) {
    const std::string bytes = ReadFile(path);
    const auto catalog = text::MoFile::Parse(bytes);
    ASSERT_TRUE(catalog) << path;
    if (catalog->entries().empty()) {
      report << "  " << language << ": nothing translated yet, not shipped\n";
      continue;
    }
    const Findings findings = Audit(*catalog);
    if (findings.Clean()) {
      report << "  " << language << ": complete\n";
    } else {
      all_clean = false;
      report << findings.Describe(language);
    }
  }
  std::printf("The languages' catalogs against po/orvane.pot:\n%s", report.str().c_str());
  EXPECT_TRUE(all_clean) << report.str();
}

TEST(CatalogAudit, TheTestsGermanIsReportedWithWhatItLacks) {
  // The tests' German catalog (tests/fixtures/texts/de.po) translates a few texts, as msgfmt built it.
  const std::string bytes = ReadFile(ORVANE_FIXTURE_CATALOG);
  const auto german = text::MoFile::Parse(bytes);
  ASSERT_TRUE(german);
  const Findings findings = Audit(*german);
  EXPECT_TRUE(findings.stale.empty() && findings.placeholders.empty() && findings.carriage_returns.empty())
      << findings.Describe("de (tests)");
  EXPECT_EQ(findings.missing.size() + german->entries().size(), text::kTextCount);
  EXPECT_NE(std::find(findings.missing.begin(), findings.missing.end(), "Key.Alt"), findings.missing.end());
  const text::Catalog catalog(&*german);
  EXPECT_EQ(catalog.Keys(u"Ctrl+Alt+Shift+S"), u"Strg+Alt+Umschalt+S");
  EXPECT_EQ(catalog.Text(Id::kShortcut_Refused), u"\u201E%1\u201C kann nicht die Tastenkombination sein.\r\n\r\n%2");
  EXPECT_EQ(catalog.Text(Id::kReport_Other), text::Catalog(nullptr).Text(Id::kReport_Other));
}

}  // namespace

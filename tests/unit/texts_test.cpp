// The texts as the program reads them on Windows: chosen once, whichever thread reads first, and then
// the same for every thread. This test program carries no catalogs, so its texts are the English ones.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "text/catalog.h"
#include "text/text.h"

namespace {

std::wstring English(text::Id id) {
  const std::u16string english = text::WindowsLineBreaks(text::Utf16(text::EnglishOf(id)));
  return std::wstring(english.begin(), english.end());
}

// The first test of the suite's process: the texts are chosen while several threads ask for them.
TEST(Texts, ThreadsThatReadTheFirstTextsAtOnceAllReadThem) {
  constexpr int kThreads = 8;
  std::atomic<int> ready = 0;
  std::vector<std::wstring> read(kThreads), keys(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      ++ready;
      while (ready.load() < kThreads) std::this_thread::yield();
      read[i] = text::Get(text::Id::kShortcut_Rule);
      keys[i] = text::KeysForDisplay(L"Ctrl+Alt+Shift+S");
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(read[i], English(text::Id::kShortcut_Rule)) << "thread " << i;
    EXPECT_EQ(keys[i], L"Ctrl+Alt+Shift+S") << "thread " << i;
  }
  EXPECT_EQ(text::Language(), L"en");
}

TEST(Texts, ALanguageAskedForAfterTheFirstTextChangesNothing) {
  (void)text::Get(text::Id::kQuestion);
  EXPECT_FALSE(text::RequestLanguage(L"de"));
  EXPECT_EQ(text::Language(), L"en");
}

TEST(Texts, FormatFillsTheTextWithValuesOfEveryStringKind) {
  const std::wstring before = L"Ctrl+Alt+S";
  EXPECT_EQ(text::Format(text::Id::kShortcut_ChangedFrom, L"Ctrl+Alt+F8", before),
            L"Orvane's shortcut is now Ctrl+Alt+F8 (it was Ctrl+Alt+S). Press it in any window to e-mail a picture of "
            L"that window.");
  EXPECT_EQ(text::Format(text::Id::kShortcut_Refused, std::wstring_view(L"Ctrl+C"), L"why"),
            L"\"Ctrl+C\" cannot be the shortcut.\r\n\r\nwhy");
  // Every text the program shows is there, with Windows' line breaks.
  for (size_t i = 0; i < text::kTextCount; ++i) {
    const auto id = static_cast<text::Id>(i);
    const std::wstring shown = text::Get(id);
    EXPECT_FALSE(shown.empty()) << text::NameOf(id);
    for (size_t at = shown.find(L'\n'); at != std::wstring::npos; at = shown.find(L'\n', at + 1)) {
      EXPECT_TRUE(at > 0 && shown[at - 1] == L'\r') << text::NameOf(id);
    }
  }
}

}  // namespace

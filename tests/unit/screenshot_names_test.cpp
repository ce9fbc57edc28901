#include <gtest/gtest.h>

#include <set>

#include "driver/screenshot_names.h"
#include "platform/runtime/errors.h"
#include "platform/runtime/files.h"
#include "support/temp_folder.h"

namespace {

using modMain::NextScreenshotName;
using modMain::PadWithZeros;
using testing_support::TempFolder;

void Touch(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  testing_support::WriteBytes(path, "x");
  ASSERT_TRUE(::SetFileAttributesW(path.c_str(), attributes));
}

TEST(PadWithZeros, PadsToWidthAndNeverCuts) {
  EXPECT_EQ(PadWithZeros(7, 3), L"007");
  EXPECT_EQ(PadWithZeros(42, 3), L"042");
  EXPECT_EQ(PadWithZeros(999, 3), L"999");
  EXPECT_EQ(PadWithZeros(1234, 3), L"1234");
  EXPECT_EQ(PadWithZeros(32767, 3), L"32767");
  EXPECT_EQ(PadWithZeros(0, 0), L"0");
  EXPECT_EQ(PadWithZeros(-5, 4), L"00-5");  // zeros go in front of the sign, as the text is built
  EXPECT_EQ(PadWithZeros(5, -3), L"5");
  EXPECT_EQ(PadWithZeros(-32768, -32768), L"-32768");  // no width can make the difference overflow
}

TEST(NextScreenshotName, EmptyFolderAndFirstGap) {
  TempFolder folder;
  EXPECT_EQ(NextScreenshotName(folder.path()), L"Screenshot001.jpg");
  Touch(folder / L"Screenshot001.jpg");
  Touch(folder / L"Screenshot003.jpg");
  EXPECT_EQ(NextScreenshotName(folder.path()), L"Screenshot002.jpg");
  Touch(folder / L"Screenshot002.jpg");
  EXPECT_EQ(NextScreenshotName(folder.path()), L"Screenshot004.jpg");
}

TEST(NextScreenshotName, ReadOnlyAndArchiveFilesCountButNotDirectoriesHiddenOrSystemFiles) {
  TempFolder folder;
  ASSERT_TRUE(::CreateDirectoryW((folder / L"Screenshot001.jpg").c_str(), nullptr));
  EXPECT_EQ(NextScreenshotName(folder.path()), L"Screenshot001.jpg");
  TempFolder second;
  Touch(second / L"Screenshot001.jpg", FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(NextScreenshotName(second.path()), L"Screenshot001.jpg");
  ::SetFileAttributesW((second / L"Screenshot001.jpg").c_str(), FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(NextScreenshotName(second.path()), L"Screenshot001.jpg");
  ::SetFileAttributesW((second / L"Screenshot001.jpg").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(NextScreenshotName(second.path()), L"Screenshot002.jpg");
  ::SetFileAttributesW((second / L"Screenshot001.jpg").c_str(), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(NextScreenshotName(second.path()), L"Screenshot002.jpg");
}

TEST(NextScreenshotName, NineHundredNinetyNineTakenGivesFourDigits) {
  TempFolder folder;
  for (int n = 1; n <= 999; ++n) Touch(folder / (L"Screenshot" + PadWithZeros(static_cast<int16_t>(n), 3) + L".jpg"));
  EXPECT_EQ(NextScreenshotName(folder.path()), L"Screenshot1000.jpg");
}

TEST(NextScreenshotName, AsksForEachNameInTurnUnderTheFolder) {
  std::vector<std::wstring> asked;
  std::wstring name = NextScreenshotName(L"C:\\shots", [&](const std::wstring& path) {
    asked.push_back(path);
    return asked.size() < 3;
  });
  EXPECT_EQ(name, L"Screenshot003.jpg");
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0], L"C:\\shots\\Screenshot001.jpg");
  EXPECT_EQ(asked[2], L"C:\\shots\\Screenshot003.jpg");
}

TEST(NextScreenshotName, CounterOverflowsPast32767) {
  int calls = 0;
  std::wstring last;
  try {
    NextScreenshotName(L"D:\\full", [&](const std::wstring& path) {
      ++calls;
      last = path;
      return true;
    });
    FAIL() << "no error raised";
  } catch (const rt::Error& e) {
    EXPECT_EQ(e.number(), rt::kErrOverflow);
  }
  EXPECT_EQ(calls, 32767);
  EXPECT_EQ(last, L"D:\\full\\Screenshot32767.jpg");
  // One name free just below the limit is still found.
  EXPECT_EQ(NextScreenshotName(L"D:\\full", [](const std::wstring& path) { return path.find(L"32767") == std::wstring::npos; }),
            L"Screenshot32767.jpg");
}

// After a refused publish the chooser goes on from the refused number and gives the name that trying
// each name in turn would end on, from one look at the folder.
TEST(NextFreeScreenshotPath, GoesOnAfterTheLastRefusedNameAndLooksAtNoNameTwice) {
  TempFolder folder;
  const std::wstring base = folder.path();
  Touch(folder / L"Screenshot001.jpg");                                  // normal: taken
  Touch(folder / L"Screenshot002.jpg", FILE_ATTRIBUTE_HIDDEN);           // hidden: refused at publish
  Touch(folder / L"Screenshot003.jpg", FILE_ATTRIBUTE_SYSTEM);
  ::CreateDirectoryW((folder / L"Screenshot004.jpg").c_str(), nullptr);  // a folder: refused too
  Touch(folder / L"Screenshot005.jpg");
  ASSERT_EQ(NextScreenshotName(base), L"Screenshot002.jpg");
  struct Step {
    std::vector<std::wstring> refused;
    const wchar_t* next;
  };
  // 2, 3 and 4 are held by entries the search does not count, 5 by a normal file: tried one by one,
  // each would be refused, so the chooser ends on 6 at once.
  const Step steps[] = {
      {{base + L"\\Screenshot002.jpg"}, L"Screenshot006.jpg"},
      {{base + L"\\Screenshot002.jpg", base + L"\\Screenshot003.jpg"}, L"Screenshot006.jpg"},
      // Another run took 6 meanwhile: the next candidate is 7.
      {{base + L"\\Screenshot006.jpg"}, L"Screenshot007.jpg"},
      {{}, L"Screenshot006.jpg"},
  };
  for (const Step& step : steps)
    EXPECT_EQ(modMain::NextFreeScreenshotPath(base, step.refused), base + L"\\" + step.next) << step.refused.size();
  EXPECT_EQ(modMain::ScreenshotNumber(base + L"\\Screenshot1001.jpg"), 1001);
  EXPECT_EQ(modMain::ScreenshotNumber(L"Screenshot32767.jpg"), 32767);
  for (const wchar_t* none : {L"Screenshot.jpg", L"Screenshot99999.jpg", L"shot001.jpg", L"Screenshot01a.jpg", L""})
    EXPECT_EQ(modMain::ScreenshotNumber(none), 0) << testing_support::Utf8(none);
  // Past the counter's limit the overflow error, as the search from 1 raises it.
  EXPECT_THROW(modMain::NextFreeScreenshotPath(base, {base + L"\\Screenshot32767.jpg"}), rt::Error);
}

}  // namespace

#include <gtest/gtest.h>

#include <set>

#include "driver/mod_main.h"
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

TEST(Dir, ReportsNormalFilesOnly) {
  TempFolder folder;
  Touch(folder / L"a.txt");
  Touch(folder / L"b.txt", FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(rt::Dir(folder / L"a.txt"), L"a.txt");
  EXPECT_EQ(rt::Dir(folder / L"b.txt"), L"");
  EXPECT_EQ(rt::Dir(folder / L"*.txt"), L"a.txt");
  EXPECT_EQ(rt::Dir(folder / L"missing.txt"), L"");
  EXPECT_EQ(rt::Dir(folder / L"no such folder\\a.txt"), L"");
}

TEST(Kill, DeletesOrRaisesTheFileError) {
  TempFolder folder;
  Touch(folder / L"gone.txt");
  rt::Kill(folder / L"gone.txt");
  EXPECT_FALSE(testing_support::FileExists(folder / L"gone.txt"));
  auto number = [](const std::wstring& path) {
    try {
      rt::Kill(path);
    } catch (const rt::Error& e) {
      return e.number();
    }
    return 0L;
  };
  EXPECT_EQ(number(folder / L"gone.txt"), rt::kErrFileNotFound);
  Touch(folder / L"locked.txt", FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(number(folder / L"locked.txt"), rt::kErrPermissionDenied);
  EXPECT_TRUE(testing_support::FileExists(folder / L"locked.txt"));
}

}  // namespace

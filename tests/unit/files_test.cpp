#include <gtest/gtest.h>

#include "platform/runtime/errors.h"
#include "platform/runtime/files.h"
#include "support/temp_folder.h"

namespace {

using testing_support::TempFolder;

void Touch(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  testing_support::WriteBytes(path, "x");
  ASSERT_TRUE(::SetFileAttributesW(path.c_str(), attributes));
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

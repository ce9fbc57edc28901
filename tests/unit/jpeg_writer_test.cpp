#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <functional>

#include "image/dib_section.h"
#include "jpeg/jpeg_writer.h"
#include "platform/ijl/ijl.h"
#include "platform/runtime/errors.h"
#include "support/images.h"
#include "support/raised.h"
#include "support/temp_folder.h"

namespace {

using mIntelJPEGLibrary::WriteJpegFile;
using mIntelJPEGLibrary::WriteNewJpegFile;
using testing_support::TempFolder;

// An image whose top picture row is white and the rest black, gray so chroma plays no part.
void MakeTopRowImage(cDIBSection& image, LONG width, LONG height) {
  ASSERT_TRUE(image.Create(width, height));
  auto* bits = static_cast<uint8_t*>(image.DIBSectionBitsPtr());
  for (LONG row = 0; row < height; ++row) {
    uint8_t value = row == height - 1 ? 255 : 0;  // memory row height - 1 is the picture's top row
    std::memset(bits + row * image.BytesPerScanLine(), value, static_cast<size_t>(width) * 3);
    // Padding that the encoder must not read as pixels.
    for (LONG pad = width * 3; pad < image.BytesPerScanLine(); ++pad) bits[row * image.BytesPerScanLine() + pad] = 0x80;
  }
}

using testing_support::Raised;

// The writer's platform steps, with one of them failing as the platform can fail it.
class FailingSteps : public mIntelJPEGLibrary::FileSteps {
 public:
  static constexpr int kInjectionFailed = -100;  // the injection itself failed
  // kLeftBehind: the publication is refused and so is the temporary file's removal, as in a folder
  // that lets programs add files but not rename or delete them.
  enum class At { kTemporaryFile, kEncoder, kHalfWritten, kDiskFull, kPublish, kLeftBehind };
  explicit FailingSteps(At at) : at_(at) {}

  bool CreateNew(const std::wstring& path, win::FileHandle& file) override {
    if (at_ != At::kTemporaryFile) return FileSteps::CreateNew(path, file);
    ::SetLastError(ERROR_ACCESS_DENIED);  // as a folder that takes no new files answers
    return false;
  }
  int Encode(JPEG_CORE_PROPERTIES& record) override {
    if (at_ == At::kEncoder) return IJL_ENCODE_FAILED;
    const int status = FileSteps::Encode(record);
    if (status != IJL_OK || (at_ != At::kHalfWritten && at_ != At::kDiskFull)) return status;
    // The disk filled up: half of the file reached it, or nothing.
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(record.JPGFileHandle, &size)) return kInjectionFailed;
    LARGE_INTEGER kept{};
    kept.QuadPart = at_ == At::kHalfWritten ? size.QuadPart / 2 : 0;
    if (!::SetFilePointerEx(record.JPGFileHandle, kept, nullptr, FILE_BEGIN) || !::SetEndOfFile(record.JPGFileHandle))
      return kInjectionFailed;
    return IJL_WRITE_FAILED;
  }
  bool Move(win::FileHandle& file, const std::wstring& from, const std::wstring& to, unsigned long flags) override {
    if (at_ == At::kLeftBehind) {
      ::SetLastError(ERROR_ACCESS_DENIED);
      return false;
    }
    if (at_ != At::kPublish) return FileSteps::Move(file, from, to, flags);
    ::SetLastError(ERROR_SHARING_VIOLATION);  // as a lock on the old file answers
    return false;
  }
  bool Delete(win::FileHandle& file, const std::wstring& path) override {
    if (at_ != At::kLeftBehind) return FileSteps::Delete(file, path);
    file.reset();  // closed, complete, and there to stay
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }

 private:
  At at_;
};

FILETIME Time(WORD year, WORD month, WORD day) {
  SYSTEMTIME st{};
  st.wYear = year;
  st.wMonth = month;
  st.wDay = day;
  st.wHour = 12;
  FILETIME ft;
  ::SystemTimeToFileTime(&st, &ft);
  return ft;
}

// Wine on a Linux file system cannot store creation times; Windows can.
bool CreationTimesAreKept(const TempFolder& folder) {
  std::wstring probe = folder / L"probe.tmp";
  testing_support::WriteBytes(probe, "");
  FILETIME created = Time(2000, 1, 1), read{};
  HANDLE file = ::CreateFileW(probe.c_str(), FILE_WRITE_ATTRIBUTES | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ::SetFileTime(file, &created, nullptr, nullptr);
  ::GetFileTime(file, &read, nullptr, nullptr);
  ::CloseHandle(file);
  ::DeleteFileW(probe.c_str());
  return ::CompareFileTime(&read, &created) == 0;
}

TEST(JpegWriter, NarrowImagesComeBackUprightWithTheirPaddingSkipped) {
  TempFolder folder;
  for (LONG width = 1; width <= 4; ++width) {
    cDIBSection image;
    MakeTopRowImage(image, width, 16);
    std::wstring path = folder / (L"w" + std::to_wstring(width) + L".jpg");
    ASSERT_TRUE(WriteJpegFile(image, path, 60));
    auto decoded = testing_support::DecodeImageFile(path);
    ASSERT_EQ(decoded.width, static_cast<UINT>(width));
    ASSERT_EQ(decoded.height, 16u);
    for (LONG x = 0; x < width; ++x) {
      EXPECT_GT(decoded.At(static_cast<UINT>(x), 0)[1], 200) << "top row, width " << width;
      EXPECT_LT(decoded.At(static_cast<UINT>(x), 15)[1], 40) << "bottom row, width " << width;
    }
  }
  EXPECT_EQ(testing_support::ListFolder(folder.path()), L"w1.jpg,w2.jpg,w3.jpg,w4.jpg");
}

TEST(JpegWriter, WritesAColourJpegOfTheImage) {
  TempFolder folder;
  cDIBSection image;
  ASSERT_TRUE(image.Create(64, 48));
  auto* bits = static_cast<uint8_t*>(image.DIBSectionBitsPtr());
  for (LONG y = 0; y < 48; ++y)
    for (LONG x = 0; x < 64; ++x) {
      uint8_t* p = bits + y * image.BytesPerScanLine() + 3 * x;
      p[0] = static_cast<uint8_t>(x * 4);
      p[1] = static_cast<uint8_t>(y * 5);
      p[2] = static_cast<uint8_t>((x * y) & 0xFF);
    }
  ASSERT_TRUE(WriteJpegFile(image, folder / L"q60.jpg", 60));
  std::string q60 = testing_support::ReadBytes(folder / L"q60.jpg");
  ASSERT_GE(q60.size(), 4u);
  EXPECT_EQ(q60.substr(0, 2), "\xFF\xD8");
  auto decoded = testing_support::DecodeImageFile(folder / L"q60.jpg");
  ASSERT_EQ(decoded.width, 64u);
  // Bottom-right pixel of the picture is memory row 0, column 63.
  EXPECT_NEAR(decoded.At(63, 47)[0], 252, 40);
}

TEST(JpegWriter, ReplacingKeepsTheOldAttributesAndTimes) {
  TempFolder folder;
  std::wstring path = folder / L"Screenshot001.jpg";
  testing_support::WriteBytes(path, "old contents");
  FILETIME created = Time(2001, 2, 3), accessed = Time(2002, 3, 4), written = Time(2003, 4, 5);
  {
    HANDLE file = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(::SetFileTime(file, &created, &accessed, &written));
    ::CloseHandle(file);
  }
  ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));

  cDIBSection image;
  MakeTopRowImage(image, 8, 8);
  ASSERT_TRUE(WriteJpegFile(image, path, 60));
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(::CompareFileTime(&data.ftLastWriteTime, &written), 0);
  EXPECT_EQ(::CompareFileTime(&data.ftLastAccessTime, &accessed), 0);
  if (CreationTimesAreKept(folder)) {
    EXPECT_EQ(::CompareFileTime(&data.ftCreationTime, &created), 0);
  }
  EXPECT_EQ(testing_support::ReadBytes(path).substr(0, 2), "\xFF\xD8");
  EXPECT_EQ(testing_support::ListFolder(folder.path()), L"Screenshot001.jpg");
}

TEST(JpegWriter, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  TempFolder folder;
  std::wstring path = folder / L"keep.jpg";
  testing_support::WriteBytes(path, "precious");
  cDIBSection image;
  MakeTopRowImage(image, 8, 8);

  FailingSteps half_written(FailingSteps::At::kHalfWritten);
  rt::Error error = Raised([&] { WriteJpegFile(image, path, 60, half_written); });
  EXPECT_EQ(error.number(), 26001);
  EXPECT_EQ(error.source(), L"unit_tests.mIntelJPEGLibrary");
  EXPECT_EQ(error.description(), L"Failed to save to JPG -8");
  EXPECT_EQ(testing_support::ReadBytes(path), "precious");
  EXPECT_EQ(testing_support::ListFolder(folder.path()), L"keep.jpg");

  // An image that was never created has no pixels for the encoder.
  cDIBSection empty;
  error = Raised([&] { WriteJpegFile(empty, path, 60); });
  EXPECT_EQ(error.description(), L"Failed to save to JPG -2");
  EXPECT_EQ(testing_support::ReadBytes(path), "precious");
  EXPECT_EQ(testing_support::ListFolder(folder.path()), L"keep.jpg");
}

TEST(JpegWriter, NoFailingStepCostsTheOldFileOrLeavesATemporaryFile) {
  TempFolder folder;
  const std::wstring path = folder / L"Screenshot001.jpg";
  const std::string old_bytes = "old picture bytes";
  cDIBSection image;
  MakeTopRowImage(image, 9, 9);
  using At = FailingSteps::At;
  struct Step {
    const char* name;
    At at;
    long number;
  };
  const Step steps[] = {
      {"encoder", At::kEncoder, 26001},
      {"half-written", At::kHalfWritten, 26001},
      {"disk full", At::kDiskFull, 26001},
      {"temporary file", At::kTemporaryFile, 26001},
      {"replacement", At::kPublish, rt::kErrPermissionDenied},
  };
  for (const Step& step : steps) {
    for (bool replace : {true, false}) {
      testing_support::WriteBytes(path, old_bytes);
      FailingSteps failing(step.at);
      rt::Error error = Raised([&] {
        if (replace)
          WriteJpegFile(image, path, 60, failing);
        else
          WriteNewJpegFile(
              image, path, [&](const std::vector<std::wstring>&) { return folder / L"other.jpg"; }, 60, failing);
      });
      EXPECT_EQ(error.number(), step.number) << step.name;
      EXPECT_EQ(testing_support::ReadBytes(path), old_bytes) << step.name;
      EXPECT_EQ(testing_support::ListFolder(folder.path()), L"Screenshot001.jpg") << step.name;
    }
    // A new screenshot's writer says what the failure means for the run: whatever failed once the
    // writing had begun, the screenshot is not written.
    FailingSteps failing(step.at);
    try {
      WriteNewJpegFile(image, folder / L"new.jpg", [&](const std::vector<std::wstring>&) { return std::wstring(); },
                       60, failing);
      ADD_FAILURE() << step.name << ": nothing raised";
    } catch (const rt::Failure& failure) {
      EXPECT_EQ(failure.kind(), rt::FailureKind::kFileNotWritten) << step.name;
    }
  }
  // With the platform's own steps the same calls succeed.
  ASSERT_TRUE(WriteJpegFile(image, path, 60));
  EXPECT_EQ(testing_support::ReadBytes(path).substr(0, 2), "\xFF\xD8");
}

// A finished picture that can be neither published nor removed is not lost without a word: the error
// names the file it was left in, whole, and the old file is as it was.
TEST(JpegWriter, AFinishedFileThatCanNeitherBeMovedIntoPlaceNorRemovedIsNamed) {
  TempFolder folder;
  const std::wstring path = folder / L"Screenshot001.jpg";
  cDIBSection image;
  MakeTopRowImage(image, 7, 5);
  for (bool replace : {true, false}) {
    testing_support::WriteBytes(path, "old");
    FailingSteps failing(FailingSteps::At::kLeftBehind);
    std::wstring leftover;
    try {
      if (replace)
        WriteJpegFile(image, path, 60, failing);
      else
        WriteNewJpegFile(
            image, path, [&](const std::vector<std::wstring>&) { return folder / L"other.jpg"; }, 60,
            failing);
      ADD_FAILURE() << "nothing raised";
    } catch (const mIntelJPEGLibrary::NotMovedIntoPlace& error) {
      EXPECT_EQ(error.number(), rt::kErrPermissionDenied);  // the move's error
      EXPECT_EQ(error.kind(), rt::FailureKind::kFileNotMoved);
      leftover = error.leftover();
    }
    ASSERT_FALSE(leftover.empty()) << replace;
    EXPECT_EQ(leftover.substr(0, folder.path().size() + 5), folder.path() + L"\\~orv")
        << testing_support::Utf8(leftover);
    const auto picture = testing_support::DecodeImageFile(leftover);
    EXPECT_EQ(picture.width, 7u);
    EXPECT_EQ(picture.height, 5u);
    EXPECT_EQ(testing_support::ReadBytes(path), "old");
    ASSERT_TRUE(::DeleteFileW(leftover.c_str()));
    EXPECT_EQ(testing_support::ListFolder(folder.path()), L"Screenshot001.jpg");
  }
}

TEST(JpegWriter, AnOldFileHeldOpenByAnotherProgramIsLeftAsItWas) {
  TempFolder folder;
  const std::wstring path = folder / L"busy.jpg";
  testing_support::WriteBytes(path, "in use");
  HANDLE holder = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  cDIBSection image;
  MakeTopRowImage(image, 4, 4);
  EXPECT_EQ(Raised([&] { WriteJpegFile(image, path, 60); }).number(), rt::kErrPermissionDenied);
  ::CloseHandle(holder);
  EXPECT_EQ(testing_support::ReadBytes(path), "in use");
  EXPECT_EQ(testing_support::ListFolder(folder.path()), L"busy.jpg");
}

TEST(JpegWriter, AnOldFileThatCannotBeDeletedIsTheRuntimesFileError) {
  TempFolder folder;
  std::wstring path = folder / L"locked.jpg";
  testing_support::WriteBytes(path, "read only");
  ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
  cDIBSection image;
  MakeTopRowImage(image, 4, 4);
  rt::Error error = Raised([&] { WriteJpegFile(image, path, 60); });
  EXPECT_EQ(error.number(), rt::kErrPermissionDenied);
  EXPECT_EQ(testing_support::ReadBytes(path), "read only");
  EXPECT_EQ(testing_support::ListFolder(folder.path()), L"locked.jpg");
  // A folder of that name is not a file to replace.
  ASSERT_TRUE(::CreateDirectoryW((folder / L"dir.jpg").c_str(), nullptr));
  EXPECT_EQ(Raised([&] { WriteJpegFile(image, folder / L"dir.jpg", 60); }).number(), rt::kErrFileNotFound);
}

TEST(JpegWriter, ANewFileNeverReplacesOneThatAppearedMeanwhile) {
  TempFolder folder;
  testing_support::WriteBytes(folder / L"Screenshot001.jpg", "theirs");
  testing_support::WriteBytes(folder / L"Screenshot002.jpg", "theirs too");
  cDIBSection image;
  MakeTopRowImage(image, 4, 4);
  std::vector<std::vector<std::wstring>> asked;
  std::wstring written = WriteNewJpegFile(image, folder / L"Screenshot001.jpg",
                                          [&](const std::vector<std::wstring>& taken) {
                                            asked.push_back(taken);
                                            return folder / (L"Screenshot00" + std::to_wstring(taken.size() + 1) + L".jpg");
                                          },
                                          60);
  EXPECT_EQ(written, folder / L"Screenshot003.jpg");
  // A plain file, which the next run's search for normal files sees.
  EXPECT_EQ(::GetFileAttributesW(written.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY), 0u);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1], (std::vector<std::wstring>{folder / L"Screenshot001.jpg", folder / L"Screenshot002.jpg"}));
  EXPECT_EQ(testing_support::ReadBytes(folder / L"Screenshot001.jpg"), "theirs");
  EXPECT_EQ(testing_support::ReadBytes(folder / L"Screenshot002.jpg"), "theirs too");
  EXPECT_EQ(testing_support::ReadBytes(written).substr(0, 2), "\xFF\xD8");
  EXPECT_EQ(testing_support::ListFolder(folder.path()), L"Screenshot001.jpg,Screenshot002.jpg,Screenshot003.jpg");
}

TEST(JpegWriter, AFolderNearThePathLengthLimitStillTakesTheScreenshot) {
  TempFolder parent;
  // Nested folders so that folder + "\\Screenshot001.jpg" is 259 characters, the most Windows allows.
  std::wstring folder = parent.path();
  const size_t target = 259 - std::wstring(L"\\Screenshot001.jpg").size();
  while (folder.size() < target) {
    size_t room = target - folder.size() - 1;
    folder += L"\\" + std::wstring(std::min<size_t>(room, 100), L'd');
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
  }
  ASSERT_EQ(folder.size() + 18, 259u);
  cDIBSection image;
  MakeTopRowImage(image, 5, 5);
  std::wstring written = WriteNewJpegFile(image, folder + L"\\Screenshot001.jpg",
                                          [](const std::vector<std::wstring>&) { return std::wstring(); }, 60);
  EXPECT_EQ(written.size(), 259u);
  EXPECT_EQ(testing_support::DecodeImageFile(written).width, 5u);
  EXPECT_EQ(testing_support::ListFolder(folder), L"Screenshot001.jpg");
}

// The temporary file is written through the handle that created it, held without sharing, and when a
// rename through the handle is refused the file is still published, by path.
TEST(JpegWriter, TheTemporaryFileIsWrittenThroughItsOwnHandleAndPublishedEvenWhereRenamingByHandleIsRefused) {
  class Watching : public mIntelJPEGLibrary::FileSteps {
   public:
    bool without_delete_access = false;
    bool held = false;
    std::vector<std::wstring> created;
    bool CreateNew(const std::wstring& path, win::FileHandle& file) override {
      created.push_back(path.substr(path.find_last_of(L"\\") + 1));
      if (!without_delete_access) return FileSteps::CreateNew(path, file);
      file.reset(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
      return static_cast<bool>(file);
    }
    int Encode(JPEG_CORE_PROPERTIES& record) override {
      HANDLE other = ::CreateFileW(record.JPGFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
      held = record.JPGFileHandle != nullptr && other == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION;
      if (other != INVALID_HANDLE_VALUE) ::CloseHandle(other);
      return FileSteps::Encode(record);
    }
  };
  TempFolder folder;
  cDIBSection image;
  MakeTopRowImage(image, 6, 6);
  for (bool without_delete_access : {false, true}) {
    Watching steps;
    steps.without_delete_access = without_delete_access;
    const std::wstring name = without_delete_access ? L"by path.jpg" : L"by handle.jpg";
    EXPECT_EQ(WriteNewJpegFile(image, folder / name, [](const std::vector<std::wstring>&) { return std::wstring(); },
                               60, steps),
              folder / name);
    EXPECT_TRUE(steps.held);
    EXPECT_EQ(testing_support::DecodeImageFile(folder / name).width, 6u);
    ASSERT_TRUE(WriteJpegFile(image, folder / name, 60, steps));
    EXPECT_EQ(testing_support::DecodeImageFile(folder / name).width, 6u);
    // The temporary name is whole, so that a leftover reads as one: "~orv", eight hex digits, ".tmp".
    ASSERT_EQ(steps.created.size(), 2u);
    for (const std::wstring& temporary : steps.created) {
      ASSERT_EQ(temporary.size(), 16u) << testing_support::Utf8(temporary);
      EXPECT_EQ(temporary.substr(0, 4), L"~orv");
      EXPECT_EQ(temporary.find_first_not_of(L"0123456789abcdef", 4), 12u) << testing_support::Utf8(temporary);
      EXPECT_EQ(temporary.substr(12), L".tmp");
    }
  }
  EXPECT_EQ(testing_support::ListFolder(folder.path()), L"by handle.jpg,by path.jpg");
}

TEST(JpegLibrary, RejectsRecordsItCannotEncode) {
  JPEG_CORE_PROPERTIES props{};
  EXPECT_EQ(ijlWrite(&props, IJL_JFILE_WRITEWHOLEIMAGE), IJL_INVALID_PROPERTIES);
  ASSERT_EQ(ijlInit(&props), IJL_OK);
  EXPECT_EQ(props.DIBChannels, 3);
  EXPECT_EQ(props.DIBColor, IJL_BGR);
  uint8_t pixels[16] = {};
  props.DIBBytes = pixels;
  props.DIBWidth = 1;
  props.DIBHeight = -4;
  props.DIBPadBytes = 1;
  props.JPGFile = L"unused.jpg";
  props.JPGWidth = 1;
  props.JPGHeight = 4;
  props.jquality = 60;
  EXPECT_EQ(ijlWrite(&props, static_cast<IJLIOTYPE>(1)), IJL_UNSUPPORTED_IO);
  props.DIBPadBytes = 4;
  EXPECT_EQ(ijlWrite(&props, IJL_JFILE_WRITEWHOLEIMAGE), IJL_BAD_DIB);
  props.DIBPadBytes = 1;
  props.JPGHeight = 3;
  EXPECT_EQ(ijlWrite(&props, IJL_JFILE_WRITEWHOLEIMAGE), IJL_BAD_JPEG_SETTINGS);
  props.JPGHeight = 4;
  props.jquality = 101;
  EXPECT_EQ(ijlWrite(&props, IJL_JFILE_WRITEWHOLEIMAGE), IJL_BAD_JPEG_SETTINGS);
  props.jquality = 60;
  props.JPGFile = L"Z:\\no such folder\\at all\\x.jpg";
  EXPECT_EQ(ijlWrite(&props, IJL_JFILE_WRITEWHOLEIMAGE), IJL_FILE_CREATE_FAILED);

  // Given a file open already, it writes there from where the file stands and leaves it open.
  TempFolder folder;
  HANDLE file = ::CreateFileW((folder / L"open.jpg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(file, "<", 1, &written, nullptr));
  props.JPGFileHandle = file;
  EXPECT_EQ(ijlWrite(&props, IJL_JFILE_WRITEWHOLEIMAGE), IJL_OK);
  EXPECT_TRUE(::WriteFile(file, ">", 1, &written, nullptr));
  ::CloseHandle(file);
  const std::string bytes = testing_support::ReadBytes(folder / L"open.jpg");
  ASSERT_GE(bytes.size(), 6u);
  EXPECT_EQ(bytes.substr(0, 3), "<\xFF\xD8");
  EXPECT_EQ(bytes.substr(bytes.size() - 3), "\xFF\xD9>");
  props.JPGFileHandle = nullptr;
  EXPECT_EQ(ijlFree(&props), IJL_OK);
  EXPECT_EQ(ijlWrite(&props, IJL_JFILE_WRITEWHOLEIMAGE), IJL_INVALID_PROPERTIES);
}

}  // namespace

// The library's status decides what the user is told: its memory and a picture it cannot take are
// not the folder's fault.
TEST(JpegWriter, TheLibrarysStatusGivesTheFailuresKind) {
  using mIntelJPEGLibrary::JpegError;
  using rt::FailureKind;
  EXPECT_EQ(JpegError::KindOf(IJL_INVALID_PROPERTIES, true), FailureKind::kOutOfMemory);  // could not start
  EXPECT_EQ(JpegError::KindOf(IJL_MEMORY_ERROR, false), FailureKind::kOutOfMemory);
  EXPECT_EQ(JpegError::KindOf(IJL_BAD_DIB, false), FailureKind::kWindowTooLarge);
  EXPECT_EQ(JpegError::KindOf(IJL_BAD_JPEG_SETTINGS, false), FailureKind::kWindowTooLarge);
  EXPECT_EQ(JpegError::KindOf(IJL_FILE_CREATE_FAILED, false), FailureKind::kFileNotWritten);
  EXPECT_EQ(JpegError::KindOf(IJL_WRITE_FAILED, false), FailureKind::kFileNotWritten);
}

#include "jpeg/jpeg_writer.h"

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <vector>

#include "image/dib_section.h"
#include "platform/ijl/ijl.h"
#include "platform/runtime/app.h"
#include "platform/runtime/checked.h"
#include "platform/runtime/errors.h"
#include "platform/runtime/win_error.h"
#include "platform/win/unique.h"

namespace mIntelJPEGLibrary {
namespace {

[[noreturn]] void RaiseJpeg(const wchar_t* text, int status, bool initialising = false) {
  throw JpegError(rt::Error(kErrJpeg, rt::App::EXEName() + L".mIntelJPEGLibrary", text + std::to_wstring(status)),
                  status, initialising);
}

// The encoder's property record, from ijlInit to ijlFree.
class Encoder {
 public:
  Encoder() {
    int status = ijlInit(&properties_);
    if (status != IJL_OK) RaiseJpeg(L"Failed to initialise the IJL library: ", status, true);
  }
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;
  ~Encoder() { ijlFree(&properties_); }

  // Encodes the whole image into the file; raises the writer's error with the library's status.
  void Write(cDIBSection& image, const std::wstring& file, HANDLE open, long quality, FileSteps& steps) {
    properties_.DIBWidth = image.Width();
    properties_.DIBHeight = -image.Height();  // the library's sign for bottom-up rows
    properties_.DIBBytes = static_cast<const uint8_t*>(image.DIBSectionBitsPtr());
    properties_.DIBPadBytes = rt::Sub32(image.BytesPerScanLine(), rt::Mul32(3, image.Width()));
    properties_.JPGFile = file.c_str();
    properties_.JPGFileHandle = open == INVALID_HANDLE_VALUE ? nullptr : open;
    properties_.JPGWidth = image.Width();
    properties_.JPGHeight = image.Height();
    properties_.jquality = static_cast<int32_t>(quality);
    int status = steps.Encode(properties_);
    if (status != IJL_OK) RaiseJpeg(L"Failed to save to JPG ", status);
  }

 private:
  JPEG_CORE_PROPERTIES properties_{};
};

// A temporary file beside the target, deleted unless it was published.
class TempFile {
 public:
  // "~orv" + 8 hex digits + ".tmp" is never longer than a screenshot's name, so a folder that can hold
  // the screenshot can hold its temporary file too.
  TempFile(const std::wstring& target, FileSteps& steps) : steps_(steps) {
    size_t slash = target.find_last_of(L"\\/");
    std::wstring folder = slash == std::wstring::npos ? L"." : target.substr(0, slash);
    static unsigned counter = 0;
    const unsigned seed = ::GetCurrentProcessId() * 2654435761u ^ ::GetTickCount();
    for (int attempt = 0; attempt < 64; ++attempt) {
      wchar_t name[32];  // 16 characters and the terminating NUL
      ::swprintf(name, 32, L"~orv%08x.tmp", seed + 0x9E3779B9u * ++counter);
      std::wstring candidate = folder + L"\\" + name;
      if (steps.CreateNew(candidate, file_)) {
        path_ = candidate;
        return;
      }
      const DWORD error = ::GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    // The encoder could not have its output file: report it as the library would.
    RaiseJpeg(L"Failed to save to JPG ", IJL_FILE_CREATE_FAILED);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() { (void)Remove(); }
  const std::wstring& path() const { return path_; }
  win::FileHandle& file() { return file_; }
  void Published() {
    file_.reset();
    path_.clear();
  }
  // The finished file could not be moved into place (`error`, the move's system code): it goes, and
  // where it cannot go either, the error names it, since it holds the picture.
  [[noreturn]] void NotPublished(DWORD error) {
    const std::wstring left = path_;
    if (!Remove()) throw NotMovedIntoPlace(rt::FileError(error), left);
    rt::RaiseFileError(error);
  }

 private:
  // Deletes the file unless it was published or removed already; false when it stays.
  bool Remove() {
    if (path_.empty()) return true;
    if (!steps_.Delete(file_, path_)) return false;
    path_.clear();
    return true;
  }

  FileSteps& steps_;
  std::wstring path_;
  win::FileHandle file_;
};

std::optional<WIN32_FIND_DATAW> FindFile(const std::wstring& path) {
  WIN32_FIND_DATAW found{};
  win::FindHandle search(::FindFirstFileW(path.c_str(), &found));
  if (!search) return std::nullopt;
  return found;
}

// The old file must be deletable before anything is written, as deleting it would have required.
void CheckReplaceable(const std::wstring& path, const WIN32_FIND_DATAW& old) {
  if (old.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) rt::RaiseFileError(ERROR_FILE_NOT_FOUND);
  if (old.dwFileAttributes & FILE_ATTRIBUTE_READONLY) rt::RaiseFileError(ERROR_ACCESS_DENIED);
  win::FileHandle probe(::CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!probe) rt::RaiseLastFileError();
}

// Failures here are not reported: the picture itself is in place.
void RestoreTimesAndAttributes(const std::wstring& path, const WIN32_FIND_DATAW& old) {
  {
    win::FileHandle file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       0, nullptr));
    if (file) ::SetFileTime(file.get(), &old.ftCreationTime, &old.ftLastAccessTime, &old.ftLastWriteTime);
  }
  ::SetFileAttributesW(path.c_str(), old.dwFileAttributes);
}

// Renames an open file (opened with DELETE access). FILE_RENAME_INFO takes an absolute path or one
// relative to the current folder, and fails on an existing file unless ReplaceIfExists: the answers
// MoveFileExW gives for a move within a volume, which is all a rename is. MOVEFILE_WRITE_THROUGH only
// matters for a move done as copy and delete, across volumes, which a rename by handle refuses.
// https://learn.microsoft.com/windows/win32/api/winbase/ns-winbase-file_rename_info
bool RenameOpenFile(HANDLE file, const std::wstring& to, bool replace) {
  const size_t name_bytes = to.size() * sizeof(wchar_t);
  const size_t size = offsetof(FILE_RENAME_INFO, FileName) + name_bytes + sizeof(wchar_t);
  if (size > MAXDWORD) {
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  std::vector<uint64_t> buffer((size + sizeof(uint64_t) - 1) / sizeof(uint64_t));  // aligned for the handle
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name_bytes);
  std::memcpy(info->FileName, to.c_str(), name_bytes + sizeof(wchar_t));
  return ::SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(size)) != FALSE;
}

}  // namespace

bool FileSteps::CreateNew(const std::wstring& path, win::FileHandle& file) {
  file.reset(::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
  return static_cast<bool>(file);
}

int FileSteps::Encode(JPEG_CORE_PROPERTIES& record) { return ijlWrite(&record, IJL_JFILE_WRITEWHOLEIMAGE); }

bool FileSteps::Move(win::FileHandle& file, const std::wstring& from, const std::wstring& to, unsigned long flags) {
  if (file) {
    if (RenameOpenFile(file.get(), to, (flags & MOVEFILE_REPLACE_EXISTING) != 0)) return true;
    const DWORD error = ::GetLastError();
    // A name that is taken is the answer a move by path would give too.
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return false;
    // Anything else (a file system without renames by handle, say) goes by path, closed, as ever.
    file.reset();
  }
  return ::MoveFileExW(from.c_str(), to.c_str(), flags) != FALSE;
}

bool FileSteps::Delete(win::FileHandle& file, const std::wstring& path) {
  file.reset();
  return ::DeleteFileW(path.c_str()) != FALSE;
}

rt::FailureKind JpegError::KindOf(int status, bool initialising) {
  if (initialising || status == IJL_MEMORY_ERROR) return rt::FailureKind::kOutOfMemory;
  if (status == IJL_BAD_DIB || status == IJL_BAD_JPEG_SETTINGS) return rt::FailureKind::kWindowTooLarge;
  return rt::FailureKind::kFileNotWritten;
}

bool WriteJpegFile(cDIBSection& cDib, const std::wstring& sFile, long lQuality) {
  FileSteps steps;
  return WriteJpegFile(cDib, sFile, lQuality, steps);
}

std::wstring WriteNewJpegFile(cDIBSection& cDib, const std::wstring& sFile, const PathChooser& next_path,
                              long lQuality) {
  FileSteps steps;
  return WriteNewJpegFile(cDib, sFile, next_path, lQuality, steps);
}

bool WriteJpegFile(cDIBSection& cDib, const std::wstring& sFile, long lQuality, FileSteps& steps) {
  Encoder encoder;
  std::optional<WIN32_FIND_DATAW> old = FindFile(sFile);
  if (old) CheckReplaceable(sFile, *old);
  TempFile temp(sFile, steps);
  encoder.Write(cDib, temp.path(), temp.file().get(), lQuality, steps);
  if (!steps.Move(temp.file(), temp.path(), sFile, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    temp.NotPublished(::GetLastError());
  temp.Published();
  if (old) RestoreTimesAndAttributes(sFile, *old);
  return true;
}

std::wstring WriteNewJpegFile(cDIBSection& cDib, const std::wstring& sFile, const PathChooser& next_path,
                              long lQuality, FileSteps& steps) try {
  Encoder encoder;
  TempFile temp(sFile, steps);
  encoder.Write(cDib, temp.path(), temp.file().get(), lQuality, steps);
  std::vector<std::wstring> taken;
  std::wstring target = sFile;
  // Without MOVEFILE_REPLACE_EXISTING the move is the atomic "publish if still free".
  while (!steps.Move(temp.file(), temp.path(), target, MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) temp.NotPublished(error);
    taken.push_back(target);
    target = next_path(taken);
  }
  temp.Published();
  return target;
} catch (const rt::Failure&) {
  throw;
} catch (const rt::Error& error) {
  // Whatever the file system answered once the writing had begun: the screenshot is not written.
  throw rt::Failure(error.number() == rt::kErrOutOfMemory ? rt::FailureKind::kOutOfMemory
                                                          : rt::FailureKind::kFileNotWritten,
                    error);
}

}  // namespace mIntelJPEGLibrary

#include "jpeg/jpeg_writer.h"

#include <windows.h>

#include <optional>

#include "image/dib_section.h"
#include "platform/ijl/ijl.h"
#include "platform/runtime/app.h"
#include "platform/runtime/checked.h"
#include "platform/runtime/errors.h"
#include "platform/runtime/win_error.h"
#include "platform/win/unique.h"

namespace mIntelJPEGLibrary {
namespace {

Fault g_fault = Fault::kNone;

// Whether the injected fault is this one; it fires once.
bool Injected(Fault fault) {
  if (g_fault != fault) return false;
  g_fault = Fault::kNone;
  return true;
}

[[noreturn]] void RaiseJpeg(const wchar_t* text, int status) {
  rt::Raise(kErrJpeg, rt::App::EXEName() + L".mIntelJPEGLibrary", text + std::to_wstring(status));
}

// The encoder's property record, from ijlInit to ijlFree.
class Encoder {
 public:
  Encoder() {
    int status = ijlInit(&properties_);
    if (status != IJL_OK) RaiseJpeg(L"Failed to initialise the IJL library: ", status);
  }
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;
  ~Encoder() { ijlFree(&properties_); }

  // Encodes the whole image into the file; raises the writer's error with the library's status.
  void Write(cDIBSection& image, const std::wstring& file, long quality) {
    properties_.DIBWidth = image.Width();
    properties_.DIBHeight = -image.Height();  // the library's sign for bottom-up rows
    properties_.DIBBytes = static_cast<const uint8_t*>(image.DIBSectionBitsPtr());
    properties_.DIBPadBytes = rt::Sub32(image.BytesPerScanLine(), rt::Mul32(3, image.Width()));
    properties_.JPGFile = file.c_str();
    properties_.JPGWidth = image.Width();
    properties_.JPGHeight = image.Height();
    properties_.jquality = static_cast<int32_t>(quality);
    int status = ijlWrite(&properties_, IJL_JFILE_WRITEWHOLEIMAGE);
    if (status != IJL_OK) {
      ijlFree(&properties_);
      RaiseJpeg(L"Failed to save to JPG ", status);
    }
  }

 private:
  JPEG_CORE_PROPERTIES properties_{};
};

// A temporary file beside the target, deleted unless it was published.
class TempFile {
 public:
  // "~orv" + 8 hex digits + ".tmp" is never longer than a screenshot's name, so a folder that can hold
  // the screenshot can hold its temporary file too.
  explicit TempFile(const std::wstring& target) {
    size_t slash = target.find_last_of(L"\\/");
    std::wstring folder = slash == std::wstring::npos ? L"." : target.substr(0, slash);
    static unsigned counter = 0;
    const unsigned seed = ::GetCurrentProcessId() * 2654435761u ^ ::GetTickCount();
    for (int attempt = 0; attempt < 64 && !Injected(Fault::kTemporaryFile); ++attempt) {
      wchar_t name[16];
      ::swprintf(name, 16, L"~orv%08x.tmp", seed + 0x9E3779B9u * ++counter);
      std::wstring candidate = folder + L"\\" + name;
      HANDLE file = ::CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        ::CloseHandle(file);
        path_ = candidate;
        return;
      }
      if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    // The encoder could not have its output file: report it as the library would.
    RaiseJpeg(L"Failed to save to JPG ", IJL_FILE_CREATE_FAILED);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (!path_.empty()) ::DeleteFileW(path_.c_str());
  }
  const std::wstring& path() const { return path_; }
  void Published() { path_.clear(); }

 private:
  std::wstring path_;
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

}  // namespace

void InjectFault(Fault fault) { g_fault = fault; }

bool WriteJpegFile(cDIBSection& cDib, const std::wstring& sFile, long lQuality) {
  Encoder encoder;
  std::optional<WIN32_FIND_DATAW> old = FindFile(sFile);
  if (old) CheckReplaceable(sFile, *old);
  TempFile temp(sFile);
  encoder.Write(cDib, temp.path(), lQuality);
  if (Injected(Fault::kPublish)) rt::RaiseFileError(ERROR_SHARING_VIOLATION);
  if (!::MoveFileExW(temp.path().c_str(), sFile.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    rt::RaiseLastFileError();
  temp.Published();
  if (old) RestoreTimesAndAttributes(sFile, *old);
  return true;
}

std::wstring WriteNewJpegFile(cDIBSection& cDib, const std::wstring& sFile, const PathChooser& next_path,
                              long lQuality) {
  Encoder encoder;
  TempFile temp(sFile);
  encoder.Write(cDib, temp.path(), lQuality);
  std::vector<std::wstring> taken;
  std::wstring target = sFile;
  if (Injected(Fault::kPublish)) rt::RaiseFileError(ERROR_SHARING_VIOLATION);
  // Without MOVEFILE_REPLACE_EXISTING the move is the atomic "publish if still free".
  while (!::MoveFileExW(temp.path().c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
    DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) rt::RaiseFileError(error);
    taken.push_back(target);
    target = next_path(taken);
  }
  temp.Published();
  return target;
}

}  // namespace mIntelJPEGLibrary

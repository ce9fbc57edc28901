#pragma once
// Writes a cDIBSection to a JPEG file.
//
// The file is encoded into a temporary file in the target's folder and moved into place only when it
// is complete, so a failure never costs the file that was there before. The temporary file stays open
// from its creation to its publication: the encoder writes through that handle and the file is renamed
// through it, with no open by path in between.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/runtime/failure.h"
#include "platform/win/unique.h"

class cDIBSection;
struct JPEG_CORE_PROPERTIES;

namespace mIntelJPEGLibrary {

inline constexpr long kErrJpeg = 26001;

// The writer's error 26001, with the library's status and whether the library could not even start.
// Its kind: the library out of memory, or unable to start at all, is kOutOfMemory; a picture it cannot
// take (too large) kWindowTooLarge; anything else, once the writing had begun, kFileNotWritten.
class JpegError : public rt::Failure {
 public:
  JpegError(const rt::Error& error, int status, bool initialising)
      : rt::Failure(KindOf(status, initialising), error), status_(status), initialising_(initialising) {}
  static rt::FailureKind KindOf(int status, bool initialising);
  int status() const { return status_; }
  bool initialising() const { return initialising_; }

 private:
  int status_;
  bool initialising_;
};

// A finished file that could not be moved into place under its name, and whose temporary file could
// not be removed either (a folder that lets programs add files but not rename or delete them): the
// picture is complete in `leftover()`. The error is the move's file error; its kind kFileNotMoved.
class NotMovedIntoPlace : public rt::Failure {
 public:
  NotMovedIntoPlace(const rt::Error& error, std::wstring leftover)
      : rt::Failure(rt::Failure(rt::FailureKind::kFileNotMoved, error).LeftIn(std::move(leftover))) {}
};

// The platform steps of a write, one call each. The writer uses them as they are; a caller may pass
// its own, to see the writer answer a step that fails as the platform can fail it.
class FileSteps {
 public:
  virtual ~FileSteps() = default;
  // Creates the file, empty, unless a file of that name exists, into `file`, open for writing and for
  // being renamed or deleted: false with the system's last error.
  virtual bool CreateNew(const std::wstring& path, win::FileHandle& file);
  // Encodes the record's image into its file (ijlWrite; JPGFileHandle is the file while it is open):
  // the library's status.
  virtual int Encode(JPEG_CORE_PROPERTIES& record);
  // Moves a finished file into place as MoveFileExW does with these flags, through `file` while it is
  // open (the step may close it and go by path): false with the system's last error.
  virtual bool Move(win::FileHandle& file, const std::wstring& from, const std::wstring& to, unsigned long flags);
  // Removes the temporary file that was not published, closing `file` first: false with the system's
  // last error.
  virtual bool Delete(win::FileHandle& file, const std::wstring& path);
};

// Writes the image to sFile at lQuality (0..100), replacing an existing file and giving the new one the
// old file's attributes and creation, last-access and last-write times. True when written; failures
// raise error 26001 (or the runtime's file error when the old file cannot be replaced; NotMovedIntoPlace
// when the finished file could neither be moved into place nor removed).
bool WriteJpegFile(cDIBSection& cDib, const std::wstring& sFile, long lQuality);

// Chooses the next path to try, given the paths that were taken by someone else meanwhile.
using PathChooser = std::function<std::wstring(const std::vector<std::wstring>& taken_meanwhile)>;

// Writes the image as a new file, never replacing one: it is published under sFile if that name is
// still free once the file is complete, otherwise under the first free path the chooser offers.
// Returns the path written. Failures raise as rt::Failure of their kind: the library's as JpegError,
// a finished file left as NotMovedIntoPlace, the chooser's as it raises them, and the file system's
// as kFileNotWritten (the runtime's out-of-memory error as kOutOfMemory).
std::wstring WriteNewJpegFile(cDIBSection& cDib, const std::wstring& sFile, const PathChooser& next_path,
                              long lQuality);

// The same two, with their platform steps given.
bool WriteJpegFile(cDIBSection& cDib, const std::wstring& sFile, long lQuality, FileSteps& steps);
std::wstring WriteNewJpegFile(cDIBSection& cDib, const std::wstring& sFile, const PathChooser& next_path,
                              long lQuality, FileSteps& steps);

}  // namespace mIntelJPEGLibrary

#pragma once
// Writes a cDIBSection to a JPEG file.
//
// The file is encoded into a temporary file in the target's folder and moved into place only when it
// is complete, so a failure never costs the file that was there before.

#include <functional>
#include <string>
#include <vector>

class cDIBSection;

namespace mIntelJPEGLibrary {

inline constexpr long kErrJpeg = 26001;

// Writes the image to sFile at lQuality (0..100), replacing an existing file and giving the new one the
// old file's attributes and creation, last-access and last-write times. True when written; failures
// raise error 26001 (or the runtime's file error when the old file cannot be replaced).
bool WriteJpegFile(cDIBSection& cDib, const std::wstring& sFile, long lQuality);

// Chooses the next path to try, given the paths that were taken by someone else meanwhile.
using PathChooser = std::function<std::wstring(const std::vector<std::wstring>& taken_meanwhile)>;

// Writes the image as a new file, never replacing one: it is published under sFile if that name is
// still free once the file is complete, otherwise under the first free path the chooser offers.
// Returns the path written; failures raise as WriteJpegFile's do.
std::wstring WriteNewJpegFile(cDIBSection& cDib, const std::wstring& sFile, const PathChooser& next_path,
                              long lQuality);

// For fault-injection tests: the next write fails at the chosen step as the platform would fail it.
enum class Fault {
  kNone,
  kTemporaryFile,  // the temporary file cannot be created (as with a full or read-only folder)
  kPublish,        // moving the finished file into place is refused (as with a lock on the old file)
};
void InjectFault(Fault fault);

}  // namespace mIntelJPEGLibrary

#pragma once
// How a run can fail, as the user needs to know it: each layer raises its failures with their kind,
// where it knows what went wrong, and the run reports them as they come. Free of Windows, like errors.h.

#include <string>
#include <utility>

#include "platform/runtime/errors.h"

namespace rt {

// The process's exit codes, for whoever starts it (the installer's tests, a script, the shortcut's
// caller): defined here only.
namespace exit_code {
inline constexpr int kDone = 0;    // mailed or cancelled, or a second press answered
inline constexpr int kFailed = 1;  // and the user was told
inline constexpr int kGaveUp = 2;  // the user gave up waiting for the mail program
}  // namespace exit_code

enum class FailureKind {
  kMailProgramMissing,      // no desktop mail program, no default one, no handler of mail links
  kMailProgramDidNotStart,  // the desktop mail program is installed but did not come up
  kMailProgramRefused,      // the default mail program would not show the mail
  kMailProgramCrashed,      // the default mail program's library crashed while it was given the mail
  kMailProgramUnreachable,  // it runs as another user or with other rights
  kMailProgramBusy,         // busy, or closed while it was being handed the mail
  kMailItemRefused,         // it would not make a new mail
  kMailNotFilledIn,         // it made the mail but would not take the file: no mail was opened
  kRecipientRefused,        // it took the file but not the recipient: no mail was opened
  kSubjectRefused,          // it took the file and the recipient but not the subject: no mail was opened
  kMailNotShown,            // it filled the mail in but could not show it
  kMailLinkNotOpened,       // the handler of mail links could not be started; the picture is on the clipboard
  kMailLinkNotOpenedNoClipboard,  // the same, and the clipboard would not take the picture either
  kGaveUp,                  // the user gave up waiting for the mail program: nothing more is said
  kNotCaptured,             // the screen's pixels could not be copied
  kFileNotWritten,          // the screenshot could not be written into the folder
  kFileNotMoved,            // written, but neither moved into place nor removed: the leftover holds it
  kWindowTooLarge,          // the window is too large for a picture
  kOutOfMemory,
  kNamesTaken,              // every screenshot name is taken
  kOther,
};

// A failure that ends the run: its kind, the error as raised (number, source and description stay
// the system's or the mail program's), and what the report names: the screenshot where it was saved,
// the default mail program, a file the picture was left in, a note.
class Failure : public Error {
 public:
  Failure(FailureKind kind, const Error& error, std::wstring saved = {}, std::wstring program = {})
      : Error(error), kind_(kind), saved_(std::move(saved)), program_(std::move(program)) {}
  FailureKind kind() const { return kind_; }
  const std::wstring& saved() const { return saved_; }
  // The default mail program's name, where it refused or crashed.
  const std::wstring& program() const { return program_; }
  // The file the picture was left in, under another name than a screenshot's (kFileNotMoved).
  const std::wstring& leftover() const { return leftover_; }
  // What the report adds after what happened (a recipient left out of the mail); empty: nothing.
  const std::wstring& note() const { return note_; }

  // The same failure, once the screenshot is known to be saved there.
  Failure SavedAs(std::wstring path) const {
    Failure failure = *this;
    failure.saved_ = std::move(path);
    return failure;
  }
  // The same failure, with the picture left in that file.
  Failure LeftIn(std::wstring path) const {
    Failure failure = *this;
    failure.leftover_ = std::move(path);
    return failure;
  }
  // The same failure, with a note for its report.
  Failure Noted(std::wstring note) const {
    Failure failure = *this;
    failure.note_ = std::move(note);
    return failure;
  }

 private:
  FailureKind kind_;
  std::wstring saved_;
  std::wstring program_;
  std::wstring leftover_;
  std::wstring note_;
};

}  // namespace rt

#pragma once
// How a run ends: one outcome, and for a failure its kind, which decides what the user is told.

#include <string>

#include "platform/runtime/errors.h"

namespace modMain {

// What went wrong, as the user needs to know it.
enum class FailureKind {
  kMailProgramMissing,     // no desktop mail program, no default one, no handler of mail links
  kMailProgramDidNotStart,  // the desktop mail program is installed but did not come up
  kMailProgramRefused,     // the default mail program would not show the mail
  kMailProgramCrashed,     // the default mail program's library crashed while it was given the mail
  kMailProgramUnreachable,  // it runs as another user or with other rights
  kMailProgramBusy,        // busy, or closed while it was being handed the mail
  kMailItemRefused,        // it would not make a new mail
  kMailNotFilledIn,        // it made the mail but would not take the file: no mail was opened
  kRecipientRefused,       // it took the file but not the recipient: no mail was opened
  kSubjectRefused,         // it took the file and the recipient but not the subject: no mail was opened
  kMailNotShown,           // it filled the mail in but could not show it
  kMailLinkNotOpened,      // the handler of mail links could not be started; the picture is on the clipboard
  kMailLinkNotOpenedNoClipboard,  // the same, and the clipboard would not take the picture either
  kFileNotWritten,         // the screenshot could not be written into the folder
  kFileNotMoved,           // written, but neither moved into place nor removed: the leftover holds it
  kWindowTooLarge,         // the window is too large for a picture
  kOutOfMemory,
  kNamesTaken,             // every screenshot name is taken
  kOther,
};

// A failure that ends the run: its kind, the error as raised, and the screenshot when it was saved.
class RunFailure : public rt::Error {
 public:
  RunFailure(FailureKind kind, const rt::Error& error, std::wstring saved = {}, std::wstring program = {})
      : rt::Error(error), kind_(kind), saved_(std::move(saved)), program_(std::move(program)) {}
  FailureKind kind() const { return kind_; }
  const std::wstring& saved() const { return saved_; }
  // The default mail program's name, where it refused.
  const std::wstring& program() const { return program_; }
  // The file the picture was left in, under another name than a screenshot's (kFileNotMoved).
  const std::wstring& leftover() const { return leftover_; }
  // The same failure, once the screenshot is known to be saved there.
  RunFailure SavedAs(const std::wstring& path) const {
    RunFailure failure(kind_, *this, path, program_);
    failure.leftover_ = leftover_;
    failure.note_ = note_;
    return failure;
  }
  // The same failure, with the picture left in that file.
  RunFailure LeftIn(const std::wstring& path) const {
    RunFailure left = *this;
    left.leftover_ = path;
    return left;
  }
  // What the report adds after what happened (a recipient left out of the mail); empty: nothing.
  const std::wstring& note() const { return note_; }
  void SetNote(std::wstring note) { note_ = std::move(note); }

 private:
  FailureKind kind_;
  std::wstring saved_;
  std::wstring program_;
  std::wstring leftover_;
  std::wstring note_;
};

struct Outcome {
  enum class Kind {
    kDone,       // mailed, or a second press that brought another run's box forward or told of it
    kCancelled,  // the user said no to the question
    kFailed,     // and the user was told
    kGaveUp,     // the user gave up waiting for the mail program
  };
  Kind kind = Kind::kDone;
  std::wstring saved;  // the screenshot, where one was saved
};

// The process's exit code: 0 done or cancelled, 1 failed, 2 given up.
int ExitCode(const Outcome& outcome);

}  // namespace modMain

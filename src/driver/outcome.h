#pragma once
// How a run ends: one outcome, and for a failure its kind, which decides what the user is told.

#include <string>

#include "platform/runtime/failure.h"

namespace modMain {

using FailureKind = rt::FailureKind;
using RunFailure = rt::Failure;

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

// The process's exit code (rt::exit_code).
int ExitCode(const Outcome& outcome);

}  // namespace modMain

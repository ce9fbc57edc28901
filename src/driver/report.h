#pragma once
// What the user is told when an error ends a run.

#include <string>

#include "platform/runtime/errors.h"

namespace modMain {

// An error that ended the run after the screenshot was saved: the error as raised, and the file.
class ErrorAfterSave : public rt::Error {
 public:
  ErrorAfterSave(const rt::Error& error, std::wstring saved) : rt::Error(error), saved_(std::move(saved)) {}
  const std::wstring& saved() const { return saved_; }

 private:
  std::wstring saved_;
};

// The run failed, and the user has been told already: it ends as a failed run without a report.
struct AlreadyTold {};

// What happened, in a user's words.
std::wstring PlainExplanation(const rt::Error& error);

// The report: what happened, then whether the screenshot was saved and where (saved empty: it was
// not), then the error's number and description as the runtime shows them.
std::wstring ReportText(const rt::Error& error, const std::wstring& saved);

}  // namespace modMain

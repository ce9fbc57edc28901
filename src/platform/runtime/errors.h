#pragma once
// The program's raised errors: a number, a source and a description, carried as one exception type.
// This header is free of Windows so that the pixel code can raise errors in native builds too.

#include <exception>
#include <string>

namespace rt {

// Error numbers raised by the runtime itself. They follow the numbering that scripts written for the
// classic Windows automation runtimes expect, so a report reads the way such users know it:
inline constexpr long kErrOverflow = 6;           // 16- or 32-bit signed integer arithmetic overflowed
inline constexpr long kErrOutOfMemory = 7;        // an allocation failed
inline constexpr long kErrSubscriptRange = 9;     // an index outside a pixel view or array
inline constexpr long kErrFloatingPoint = 11;     // invalid operation, division by zero or overflow in
                                                  // floating-point arithmetic
inline constexpr long kErrFileNotFound = 53;      // a file operation found nothing to work on
inline constexpr long kErrPermissionDenied = 70;  // a file operation was refused (locked, read-only)
inline constexpr long kErrPathFileAccess = 75;    // any other failure of a file operation
inline constexpr long kErrObjectNotSet = 91;      // an object was needed and there was none
inline constexpr long kErrInternal = 51;          // an unexpected failure inside the program

class Error : public std::exception {
 public:
  Error(long number, std::wstring source, std::wstring description);
  long number() const noexcept { return number_; }
  const std::wstring& source() const noexcept { return source_; }
  const std::wstring& description() const noexcept { return description_; }
  // UTF-8 rendering of "number: description", for logs and test output.
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  long number_;
  std::wstring source_;
  std::wstring description_;
  std::string what_;
};

// Source of the runtime's own errors: the executable's base name (a native build names itself).
std::wstring RuntimeErrorSource();

[[noreturn]] void Raise(long number, std::wstring source, std::wstring description);
[[noreturn]] void RaiseOverflow();
[[noreturn]] void RaiseSubscriptRange();
[[noreturn]] void RaiseFloatingPoint();
// The runtime's out-of-memory error, to raise or to report.
Error OutOfMemoryError();

}  // namespace rt

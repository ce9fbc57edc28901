#pragma once
// The error a piece of code raises, for tests that look at its number, source and description.

#include "platform/runtime/errors.h"

namespace testing_support {

// What `code` raised, or an error numbered 0 ("nothing raised") when it returned normally.
template <typename Code>
rt::Error Raised(Code&& code) {
  try {
    code();
  } catch (const rt::Error& error) {
    return error;
  }
  return rt::Error(0, L"", L"nothing raised");
}

}  // namespace testing_support

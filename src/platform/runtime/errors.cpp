#include "platform/runtime/errors.h"

#include <cstdint>

namespace rt {
namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string Describe(long number, const std::wstring& description) {
  std::string out = std::to_string(number) + ": ";
  for (size_t i = 0; i < description.size(); ++i) {
    char32_t c = static_cast<char32_t>(description[i]);
    // wchar_t is UTF-16 on Windows and UTF-32 on Linux; only the former has surrogate pairs.
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0xD800 && c < 0xDC00 && i + 1 < description.size()) {
        char32_t low = static_cast<char32_t>(description[i + 1]);
        if (low >= 0xDC00 && low < 0xE000) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
    }
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace

Error::Error(long number, std::wstring source, std::wstring description)
    : number_(number),
      source_(std::move(source)),
      description_(std::move(description)),
      what_(Describe(number_, description_)) {}

void Raise(long number, std::wstring source, std::wstring description) {
  throw Error(number, std::move(source), std::move(description));
}

void RaiseOverflow() { Raise(kErrOverflow, RuntimeErrorSource(), L"Overflow"); }
void RaiseSubscriptRange() { Raise(kErrSubscriptRange, RuntimeErrorSource(), L"Subscript out of range"); }
void RaiseFloatingPoint() { Raise(kErrFloatingPoint, RuntimeErrorSource(), L"Floating-point error"); }
Error OutOfMemoryError() { return Error(kErrOutOfMemory, RuntimeErrorSource(), L"Out of memory"); }

}  // namespace rt

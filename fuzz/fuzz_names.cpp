// Name and subject builder fuzzer: padding, the next free name with an arbitrary set of taken names,
// and subjects from arbitrary title buffers.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "driver/screenshot_names.h"
#include "driver/subject.h"
#include "platform/runtime/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  int16_t number, width;
  std::memcpy(&number, data, 2);
  std::memcpy(&width, data + 2, 2);
  {
    // Padding never raises, whatever the width.
    std::wstring padded = modMain::PadWithZeros(number, width);
    std::wstring digits = std::to_wstring(number);
    if (padded.size() < digits.size() || padded.compare(padded.size() - digits.size(), digits.size(), digits) != 0)
      __builtin_trap();
    if (width > 0 && static_cast<int>(padded.size()) < width) __builtin_trap();
  }

  // Names taken: a run of the first n, plus scattered ones from the input bits.
  // Mostly a few taken names; with the top bit, nearly all of them, up to the counter's limit.
  const int first_taken = data[4] | (data[5] & 0x80 ? 0x7F00 : 0);
  const uint8_t* bits = data + 6;
  const size_t bit_count = (size - 6) * 8;
  int asked = 0;
  try {
    std::wstring name = modMain::NextScreenshotName(L"C:\\f", [&](const std::wstring& path) {
      ++asked;
      if (path.rfind(L"C:\\f\\Screenshot", 0) != 0) __builtin_trap();
      if (asked <= first_taken) return true;
      size_t bit = static_cast<size_t>(asked - first_taken);
      return bit < bit_count && (bits[bit / 8] >> (bit % 8)) & 1;
    });
    if (name != L"Screenshot" + modMain::PadWithZeros(static_cast<int16_t>(asked), 3) + L".jpg") __builtin_trap();
  } catch (const rt::Error& e) {
    if (e.number() != rt::kErrOverflow || asked != 32767) __builtin_trap();  // only a full counter overflows
  }

  // A title buffer of the input's characters, with or without a NUL.
  std::vector<wchar_t> title((size - 6) / 2 + 1);
  for (size_t i = 0; i + 1 < title.size(); ++i) title[i] = static_cast<wchar_t>(data[6 + 2 * i] | data[7 + 2 * i] << 8);
  const int copied = data[4] & 1 ? static_cast<int>(title.size()) : 0;
  std::wstring subject = modMain::SubjectFromTitle(title.data(), title.size() - (data[5] & 0x40 ? 1 : 0), copied);
  if (subject.rfind(L"Screen Capture", 0) != 0) __builtin_trap();
  if (copied == 0 && subject != L"Screen Capture") __builtin_trap();
  if (subject.size() > 16 + title.size()) __builtin_trap();
  return 0;
}

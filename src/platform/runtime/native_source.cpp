// Native builds of the pixel code (sanitizers, fuzzing, benchmarks) have no executable name to ask.
#include "platform/runtime/errors.h"

namespace rt {
std::wstring RuntimeErrorSource() { return L"orvane-native"; }
}  // namespace rt

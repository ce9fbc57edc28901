#include "platform/runtime/cpu.h"

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace rt {
namespace {

#if defined(__x86_64__) || defined(__i386__)

struct Registers {
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

Registers Cpuid(uint32_t leaf, uint32_t subleaf) {
  Registers r;
  __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
  return r;
}

// XCR0: which register states the operating system saves on a thread switch.
uint64_t EnabledStates() {
  uint32_t low = 0, high = 0;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (static_cast<uint64_t>(high) << 32) | low;
}

// Intel's Software Developer's Manual, vol. 1, 14.3 and 15.2 ("Detection of ... support"): the
// instructions are usable only when cpuid reports them and XCR0 shows the operating system saving
// their registers (XMM and YMM for AVX2; also the opmask and both halves of ZMM for AVX-512).
SimdLevel Detect() {
  const Registers basic = Cpuid(0, 0);
  if (basic.eax < 7) return SimdLevel::kSse2;
  const Registers features = Cpuid(1, 0);
  const bool osxsave = (features.ecx >> 27) & 1, avx = (features.ecx >> 28) & 1;
  if (!osxsave || !avx) return SimdLevel::kSse2;
  const uint64_t states = EnabledStates();
  if ((states & 0x6) != 0x6) return SimdLevel::kSse2;
  const Registers extended = Cpuid(7, 0);
  const bool avx2 = (extended.ebx >> 5) & 1;
  const bool avx512f = (extended.ebx >> 16) & 1, avx512bw = (extended.ebx >> 30) & 1;
  if (!avx2) return SimdLevel::kSse2;
  if (avx512f && avx512bw && (states & 0xE6) == 0xE6) return SimdLevel::kAvx512;
  return SimdLevel::kAvx2;
}

#else

SimdLevel Detect() { return SimdLevel::kSse2; }

#endif

}  // namespace

SimdLevel BestSimdLevel() {
  static const SimdLevel level = Detect();
  return level;
}

const char* SimdLevelName(SimdLevel level) {
  switch (level) {
    case SimdLevel::kAvx512:
      return "AVX-512BW";
    case SimdLevel::kAvx2:
      return "AVX2";
    case SimdLevel::kSse2:
      break;
  }
  return "SSE2";
}

}  // namespace rt

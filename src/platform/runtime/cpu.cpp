#include "platform/runtime/cpu.h"

#include <cstdint>

// The processor's features through the intrinsics the compilers share: __cpuidex (MSVC's, which GCC's
// <cpuid.h> has as well from GCC 11 on; Clang 14's has only __cpuid_count) and _xgetbv. Every compiler
// that builds the program thus gets the wide levels.
#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__) || defined(_M_IX86)
#define ORVANE_CPUID 1
#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif
#if defined(_MSC_VER) || (defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 11)
#define ORVANE_CPUIDEX 1
#endif
#include <immintrin.h>
#endif

namespace rt {
namespace {

#if defined(ORVANE_CPUID)

struct Registers {
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

Registers Cpuid(uint32_t leaf, uint32_t subleaf) {
  Registers r;
#if defined(ORVANE_CPUIDEX)
  int info[4] = {};
  __cpuidex(info, static_cast<int>(leaf), static_cast<int>(subleaf));
  r.eax = static_cast<uint32_t>(info[0]);
  r.ebx = static_cast<uint32_t>(info[1]);
  r.ecx = static_cast<uint32_t>(info[2]);
  r.edx = static_cast<uint32_t>(info[3]);
#else
  __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
#endif
  return r;
}

// XCR0: which register states the operating system saves on a thread switch. GCC and Clang offer
// _xgetbv only to code built for XSAVE; this one function is, and runs only where cpuid reports
// OSXSAVE (the instruction enabled).
#if defined(__GNUC__) || defined(__clang__)
__attribute__((target("xsave")))
#endif
uint64_t EnabledStates() {
  return static_cast<uint64_t>(_xgetbv(0));
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

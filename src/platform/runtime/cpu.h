#pragma once
// The widest vector instructions this processor and the operating system both support.

namespace rt {

// In order of width; each level includes the ones before it.
enum class SimdLevel { kSse2 = 0, kAvx2 = 1, kAvx512 = 2 };

// Read once with cpuid (and xgetbv for the registers the system saves), then remembered.
SimdLevel BestSimdLevel();

// "SSE2", "AVX2", "AVX-512BW".
const char* SimdLevelName(SimdLevel level);

}  // namespace rt

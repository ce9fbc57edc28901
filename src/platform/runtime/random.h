#pragma once
// The program-wide random-number generator.
//
// The generator is PCG32 (XSH-RR output on a 64-bit linear congruential state, O'Neill 2014): small,
// fast, and with no visible patterns in the low bits, unlike the 24-bit generators of the classic
// runtimes. Randomize takes the seed's single-precision bit pattern and spreads it over the whole
// state with SplitMix64, so that nearby seeds (two clock readings a tick apart) give unrelated
// sequences. Rnd returns the top 24 bits of a draw divided by 2^24: every value is an exact
// single-precision number with 0 <= r < 1.

#include <cstdint>

namespace rt {

class Pcg32 {
 public:
  void Seed(uint64_t seed);
  uint32_t Next();
  // A draw 0 <= r < 1 in single precision.
  float NextSingle() { return static_cast<float>(Next() >> 8) * (1.0f / 16777216.0f); }

 private:
  uint64_t state_ = 0x853c49e6748fea9bULL;
  uint64_t increment_ = 0xda3e39cb94b95bdbULL;
};

// The generator shared by the whole program (one thread uses it).
Pcg32& ProgramGenerator();

// Seeds the program-wide generator from a single-precision value.
void Randomize(float seed);
// The next draw of the program-wide generator, 0 <= r < 1.
float Rnd();

}  // namespace rt

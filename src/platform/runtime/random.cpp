#include "platform/runtime/random.h"

#include <cstring>

namespace rt {
namespace {

uint64_t SplitMix64(uint64_t& x) {
  uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

}  // namespace

void Pcg32::Seed(uint64_t seed) {
  uint64_t mix = seed;
  uint64_t initial = SplitMix64(mix);
  increment_ = (SplitMix64(mix) << 1) | 1u;  // the stream selector must be odd
  state_ = 0;
  Next();
  state_ += initial;
  Next();
}

uint32_t Pcg32::Next() {
  uint64_t old = state_;
  state_ = old * 6364136223846793005ULL + increment_;
  uint32_t xorshifted = static_cast<uint32_t>(((old >> 18) ^ old) >> 27);
  uint32_t rot = static_cast<uint32_t>(old >> 59);
  return (xorshifted >> rot) | (xorshifted << ((32 - rot) & 31));
}

Pcg32& ProgramGenerator() {
  static Pcg32 generator;
  return generator;
}

void Randomize(float seed) {
  uint32_t bits;
  std::memcpy(&bits, &seed, sizeof bits);
  ProgramGenerator().Seed(bits);
}

float Rnd() { return ProgramGenerator().NextSingle(); }

}  // namespace rt

#pragma once
#include <cstdint>
#include <string>

#include "model/sim.h"

namespace trevolan {

// Seeds are whole numbers that a double holds exactly, so that a seed written in a
// table, typed into a script or passed through a spreadsheet comes back unchanged.
inline constexpr uint64_t kMaxSeed = (uint64_t{1} << 53) - 1;

// A well-mixed 64-bit function of x (the finaliser of splitmix64): neighbouring
// inputs give unrelated outputs.
constexpr uint64_t SplitMix64(uint64_t x) {
  uint64_t z = x + 0x9e3779b97f4a7c15ull;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

// Restarts the random generator from a sequence determined by n alone. A Sim that is
// never seeded draws the fixed sequence of every program start.
void SeedGenerator(Sim& s, uint64_t n);

// A seed typed as a number of the model file: ConversionError when it is no number,
// RangeError when it is not a whole number in 0..kMaxSeed.
uint64_t SeedFromText(const std::string& text);

}  // namespace trevolan

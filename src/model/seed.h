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

// The step between two states of a block's stream (the golden ratio in 64 bits).
inline constexpr uint64_t kStreamStep = 0x9e3779b97f4a7c15ull;

// Common random numbers: every block draws from a stream of its own, so that a change
// to one block does not move the draws of the others. For a run seeded with N, the
// stream of block ID starts at
//   state = SplitMix64(SplitMix64(N) + ID)
// and each draw takes x = SplitMix64(state), then advances state += kStreamStep; the
// uniform number is (x >> 11) * 2^-53, as the shared generator's. A block also has a
// second stream, numbered ID + 1001 (kBlockSlots), for what it draws every pass whether
// used or not: the Fuzz block's value. Its own stream ID serves the draws made when a
// block acts: the Erlang-2 delay of an Activity, a Belt or a Diverter, the choice of a
// Diverter, and a Fuzz block taken as the time of action of a block that starts (a
// fresh value of the Fuzz, one per start). So the k-th arrival of a queue uses the same
// numbers in every case, however the cases shift the times at which things happen.
constexpr uint64_t BlockStreamStart(uint64_t n, int id) {
  return SplitMix64(SplitMix64(n) + static_cast<uint64_t>(id));
}
constexpr double NextStreamUniform(uint64_t& state) {
  const uint64_t x = SplitMix64(state);
  state += kStreamStep;
  return static_cast<double>(x >> 11) * 0x1.0p-53;
}

// Restarts the random generator from a sequence determined by n alone. A Sim that is
// never seeded draws the fixed sequence of every program start. With crn, every block
// also gets its own stream of common random numbers from n (BlockStreamStart) and
// draws from it alone; without, the streams are dropped and every block draws from the
// one generator again.
void SeedGenerator(Sim& s, uint64_t n, bool crn = false);

// A seed given as a number (the batch runner's seed N, Python's seed(n)): RangeError
// when it is not a whole number in 0..kMaxSeed.
uint64_t SeedFromNumber(double n);

// A seed typed as a number of the model file: ConversionError when it is no number,
// else as SeedFromNumber.
uint64_t SeedFromText(const std::string& text);

}  // namespace trevolan

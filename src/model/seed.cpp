#include "model/seed.h"

#include <cmath>

#include "model/numbers.h"

namespace trevolan {

void SeedGenerator(Sim& s, uint64_t n, bool crn) {
  s.rng.seed(SplitMix64(n));
  if (!crn) {
    s.block_streams.clear();
    s.block_streams.shrink_to_fit();
    return;
  }
  s.block_streams.resize(2 * kBlockSlots);
  for (int id = 0; id < 2 * kBlockSlots; ++id) s.block_streams[static_cast<size_t>(id)] = BlockStreamStart(n, id);
}

uint64_t SeedFromNumber(double n) {
  if (!(n >= 0 && n <= static_cast<double>(kMaxSeed)) || std::floor(n) != n) throw RangeError();
  return static_cast<uint64_t>(n);
}

uint64_t SeedFromText(const std::string& text) {
  const auto v = ParseFileNumber(text);
  if (!v) throw ConversionError(text);
  return SeedFromNumber(*v);
}

}  // namespace trevolan

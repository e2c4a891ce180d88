#include "model/seed.h"

#include <cmath>

#include "model/numbers.h"

namespace trevolan {

void SeedGenerator(Sim& s, uint64_t n) { s.rng.seed(SplitMix64(n)); }

uint64_t SeedFromText(const std::string& text) {
  const auto v = ParseFileNumber(text);
  if (!v) throw ConversionError(text);
  if (!(*v >= 0 && *v <= static_cast<double>(kMaxSeed)) || std::floor(*v) != *v) throw RangeError();
  return static_cast<uint64_t>(*v);
}

}  // namespace trevolan

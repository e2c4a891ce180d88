#include <cmath>

#include "blocks/transfer.h"

namespace trevolan {

// The Belt's contents as the block dialog recomputes them. The transfer helpers of
// blocks/transfer.cpp define the same function; theirs takes precedence at link time,
// so this one only stands in while they are missing and goes once they are there.
[[gnu::weak]] double StoredAbsSum(Sim& s, int64_t id) {
  const TBlock& b = s.block(id);
  if (b.stored.size() < 2) return 0;
  double sum = 0;
  for (const double v : b.stored) sum += std::fabs(v);
  return sum;
}

}  // namespace trevolan

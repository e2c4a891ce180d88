#include "display/colours.h"

#include <algorithm>

#include "model/numbers.h"

namespace trevolan {

int ColourIndexForPercent(int64_t percent) {
  const double k = RoundHalfEven(0.2 * static_cast<double>(percent));
  return static_cast<int>(std::clamp(k, 0.0, 20.0));
}

}  // namespace trevolan

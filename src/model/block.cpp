#include "model/block.h"

#include "model/errors.h"

namespace trevolan {

double& StoredAt(TBlock& b, int64_t i) {
  if (i < 0 || i >= static_cast<int64_t>(b.stored.size())) throw RangeError();
  return b.stored[static_cast<size_t>(i)];
}

double StoredAt(const TBlock& b, int64_t i) {
  if (i < 0 || i >= static_cast<int64_t>(b.stored.size())) throw RangeError();
  return b.stored[static_cast<size_t>(i)];
}

void ResizeStored(TBlock& b, int64_t length) {
  if (length < 0) throw RangeError();
  b.stored.resize(static_cast<size_t>(length), 0.0);
}

}  // namespace trevolan

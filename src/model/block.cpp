#include "model/block.h"

#include "model/errors.h"

namespace trevolan {

void ResizeStored(TBlock& b, int64_t length) {
  if (length < 0) throw RangeError();
  b.stored.resize(static_cast<size_t>(length), 0.0);
}

}  // namespace trevolan

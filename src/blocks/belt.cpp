#include "blocks/compute.h"

namespace trevolan {

// Not computed yet: the Belt keeps its Value.
void ComputeBelt(Sim& /*s*/, int /*id*/) {}

}  // namespace trevolan

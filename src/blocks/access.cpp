#include "blocks/compute.h"

namespace trevolan {

// Not computed yet: the Access block keeps its Value.
void ComputeAccess(Sim& /*s*/, int /*id*/) {}

}  // namespace trevolan

#include "blocks/compute.h"

namespace trevolan {

// Not computed yet: the Activity keeps its Value.
void ComputeActivity(Sim& /*s*/, int /*id*/) {}

}  // namespace trevolan

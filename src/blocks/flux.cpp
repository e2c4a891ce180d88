#include "blocks/compute.h"

namespace trevolan {

// Not computed yet: the Flux keeps its Value.
void ComputeFlux(Sim& /*s*/, int /*id*/) {}

}  // namespace trevolan

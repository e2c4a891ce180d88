#include "blocks/compute.h"

namespace trevolan {

// Not computed yet: these blocks keep their Values.
void ComputeSum(Sim& /*s*/, int /*id*/) {}
void ComputeMultiplier(Sim& /*s*/, int /*id*/) {}
void ComputeDivide(Sim& /*s*/, int /*id*/) {}

}  // namespace trevolan

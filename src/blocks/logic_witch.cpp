#include "blocks/compute.h"

namespace trevolan {

// Not computed yet: these blocks keep their Values.
void ComputeLogic(Sim& /*s*/, int /*id*/) {}
void ComputeWitch(Sim& /*s*/, int /*id*/) {}

}  // namespace trevolan

#include "blocks/compute.h"

namespace trevolan {

// Not computed yet: these blocks keep their Values.
void ComputeTimer(Sim& /*s*/, int /*id*/) {}
void ComputeRelay(Sim& /*s*/, int /*id*/) {}

}  // namespace trevolan

#include "blocks/compute.h"

namespace trevolan {

// Not computed yet: these blocks keep their Values.
void ComputeGenerator(Sim& /*s*/, int /*id*/) {}
void ComputeMemory(Sim& /*s*/, int /*id*/) {}

}  // namespace trevolan

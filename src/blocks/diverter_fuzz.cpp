#include "blocks/compute.h"

namespace trevolan {

// Not computed yet: these blocks keep their Values.
void ComputeDiverter(Sim& /*s*/, int /*id*/) {}
void ComputeFuzz(Sim& /*s*/, int /*id*/) {}

}  // namespace trevolan

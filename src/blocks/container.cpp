#include "blocks/compute.h"
#include "blocks/transfer.h"

namespace trevolan {

// A Container is passive: others take from it and drop into it; its own pass only
// refreshes its state, whether it is on or off.
void ComputeContainer(Sim& s, int id) { UpdateContainerState(s, id); }

}  // namespace trevolan

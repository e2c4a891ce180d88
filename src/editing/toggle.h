#pragma once
#include <cstdint>

#include "model/sim.h"

namespace trevolan {

// A left click on a block: a Witch switch in mode 0 without a selector input steps
// through its inputs 0..4; every other block is switched on or off. The model is
// then computed once and redrawn.
void ToggleBlock(Sim& s, int64_t id);

}  // namespace trevolan

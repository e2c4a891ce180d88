#pragma once
#include "model/sim.h"

namespace trevolan {

// Moves a flow of the continuous side out of (negative) or into (positive) a block:
// an Integrator takes it as a rate into its flux inlet pp, to be integrated at its
// next step; a Container above the reserved IDs takes it at once as an amount, with
// no capacity check. Any other block only lends its Value as a potential.
inline void MoveFlow(Sim& s, int64_t id, double rate) {
  TBlock& t = s.block(id);
  if (t.Type == 'I') {
    t.pp += rate;
  } else if (t.Type == 'C' && id > kReservedIDs) {
    t.Value += rate * s.Delt;
  }
}

}  // namespace trevolan

#pragma once
#include "blocks/compute.h"
#include "model/sim.h"

namespace trevolan {

// Moves a flow of the continuous side out of (negative) or into (positive) a block:
// an Integrator takes it as a rate into its flux inlet pp, to be integrated at its
// next step; a Container above the reserved IDs takes it at once as an amount, with
// no capacity check. Any other block only lends its Value as a potential. A flow
// that makes the inlet or the contents non-finite stops the pass at block `from`.
inline void MoveFlow(Sim& s, int from, int64_t id, double rate) {
  TBlock& t = s.block(id);
  if (t.Type == BlockType::Integrator) {
    t.pp = Finite(t.pp + rate, from, "flow into a linked inlet");
  } else if (t.Type == BlockType::Container && id > kReservedIDs) {
    t.Value = Finite(t.Value + rate * s.Delt, from, "flow into a linked Container");
  }
}

}  // namespace trevolan

#pragma once
#include "model/sim.h"

namespace trevolan::testing {

// A block of the given type, switched on, in mode `state`, inside the compute loop.
inline TBlock& MakeBlock(Sim& s, int id, char type, int state = 0) {
  TBlock& b = s.block(id);
  b.Type = type;
  b.OnOff = 1;
  b.State = state;
  b.Name = std::string(1, type) + std::to_string(id);
  if (id > s.HighestBlock) s.HighestBlock = id;
  return b;
}

// A constant source: a block whose Value other blocks read (a Note, never computed).
inline int Source(Sim& s, int id, double value) {
  TBlock& b = s.block(id);
  b.Type = 'N';
  b.Value = value;
  return id;
}

}  // namespace trevolan::testing

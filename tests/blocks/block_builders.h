#pragma once
#include "blocks/compute.h"
#include "model/sim.h"

// Small builders for the tests of the block families: a block of a type, switched on,
// with a stored list of a given length, inside the loops over the table.
namespace trevolan::testing {

inline TBlock& MakeBlock(Sim& s, int id, char type, int stored_length = 0) {
  TBlock& b = s.block(id);
  b.Type = type;
  b.OnOff = 1;
  b.stored.assign(static_cast<size_t>(stored_length), 0.0);
  if (id > s.HighestBlock) s.HighestBlock = id;
  return b;
}

// A Container holding `value` with capacity `capacity` (its cc).
inline TBlock& MakeContainer(Sim& s, int id, double value, double capacity = 1000) {
  TBlock& c = MakeBlock(s, id, 'C');
  c.Value = value;
  c.cc = capacity;
  return c;
}

// One pass of the run loop's clock without its events: Time advances by Delt, then
// every block is computed once.
inline void Pass(Sim& s) {
  s.Time += s.Delt;
  s.block(2).Value = s.Time;
  ComputeAllBlocks(s);
}

}  // namespace trevolan::testing

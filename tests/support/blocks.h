#pragma once
#include <string>

#include "blocks/compute.h"
#include "model/sim.h"

// Small builders for the tests of the block families: blocks of a type, switched on,
// inside the loops over the table.
namespace trevolan::testing {

// A block with a stored list of the given length, all zeros.
inline TBlock& MakeBlock(Sim& s, int id, char type, int stored_length = 0) {
  TBlock& b = s.block(id);
  b.Type = TypeOfLetter(type);
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

// A block in mode `state`, named after its type and ID.
inline TBlock& MakeModeBlock(Sim& s, int id, char type, int state) {
  TBlock& b = MakeBlock(s, id, type);
  b.State = state;
  b.Name = std::string(1, type) + std::to_string(id);
  return b;
}

// A constant source: a block whose Value other blocks read (a Note, never computed).
inline int Source(Sim& s, int id, double value) {
  TBlock& b = s.block(id);
  b.Type = BlockType::Note;
  b.Value = value;
  return id;
}

}  // namespace trevolan::testing

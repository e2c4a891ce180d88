#pragma once
#include <cstdint>
#include <string>

#include "model/sim.h"

// How a block comes into being: common starting values plus a few per-type defaults
// that make each type do something sensible at once.
namespace trevolan {

// Fills block `id` as a new block of `type` at (x, y). Comment is left alone, and the
// stored list keeps its contents except for the types that set its length. Does not
// change HighestBlock. RangeError for an ID outside 0..1000.
void NewBlock(Sim& s, BlockType type, int64_t id, int32_t x, int32_t y);

// A Create menu item: the new block just above HighestBlock at the last click, and
// its ID; 0 with the message "No room for more Blocks at " when the table is full.
int32_t CreateBlockFromMenu(Sim& s, BlockType type);

// The type typed into a dialog's type field: its first character in upper case.
// RangeError for an empty field.
char TypeFieldLetter(const std::string& text);

}  // namespace trevolan

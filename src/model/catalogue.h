#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "model/block.h"

namespace trevolan {

struct Sim;

// What a new block of a type starts with: the numbers of its fields (the ones the type
// sets, on a switched-on block whose other fields start as TBlock's do; its ID, type
// and place are its own, its name is made from them and its comment stays), the
// length of its stored list (0: the list is left as it is), and what the fields
// cannot say, run last on the new block.
struct BlockDefaults {
  TBlock fields;
  int stored = 0;
  void (*then)(const Sim& s, TBlock& b) = nullptr;
};

// The block dialog's legend of a type: window title, rule text, hint of the Mode field
// (null keeps the common hint) and the captions of the five connection labels A, B, C,
// D, P.
struct BlockLegend {
  const char* title;
  const char* rule;
  const char* mode_hint;
  std::array<const char*, 5> links;
};

// The States a type runs as it is given them: its listed modes, or the states of its
// cycle. Any State when high < low (types whose State is their own business or means
// nothing).
struct StateRange {
  int32_t low = 0, high = -1;
  bool Any() const { return high < low; }
};

// One entry of the type catalogue: what a type is, for the model file, the Create menu,
// new blocks and the block dialog alike. How a type computes and draws is its block
// family's own (blocks/, display/diagram.cpp), each dispatched by the type.
struct BlockTypeInfo {
  BlockType type;
  const char* block;         // what the block is
  const char* menu_caption;  // Create menu item ("&" marks the accelerator); null: no item
  const char* menu_hint;
  bool separator_after;      // the Create menu has a separator after this item
  BlockDefaults defaults;
  BlockLegend legend;
  StateRange states;
};

// Every type in the Create menu's order; O and U (one each, blocks 19 and 20) last,
// without a menu item.
std::span<const BlockTypeInfo> BlockTypes();

// The catalogue entry of a type letter, or null for a letter outside the catalogue.
const BlockTypeInfo* FindBlockType(BlockType type);

// The defaults of a new block of the type; for a letter outside the catalogue, those
// every block starts with.
const BlockDefaults& NewBlockDefaults(BlockType type);

// True for the letters of the catalogue: %, &, @, A..X and Z. '?' marks an empty slot.
bool IsBlockType(BlockType type);
inline bool IsBlockType(char letter) { return IsBlockType(TypeOfLetter(letter)); }

}  // namespace trevolan

#pragma once
#include <span>
#include <string>

#include "model/block.h"

namespace trevolan {

// One entry of the type catalogue: the vocabulary that the model file, the Create
// menu, the block dialog, the drawing and the compute dispatch share.
struct BlockTypeInfo {
  BlockType type;
  const char* block;         // what the block is
  const char* menu_caption;  // Create menu item ("&" marks the accelerator); null: no item
  const char* menu_hint;
  bool separator_after;      // the Create menu has a separator after this item
};

// Every type in the Create menu's order; O and U (one each, blocks 19 and 20) last,
// without a menu item.
std::span<const BlockTypeInfo> BlockTypes();

// The catalogue entry of a type letter, or null for a letter outside the catalogue.
const BlockTypeInfo* FindBlockType(BlockType type);

// True for the letters of the catalogue: %, &, @, A..X and Z. '?' marks an empty slot.
bool IsBlockType(BlockType type);
inline bool IsBlockType(char letter) { return IsBlockType(TypeOfLetter(letter)); }

}  // namespace trevolan

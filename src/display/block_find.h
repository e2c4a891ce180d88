#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "model/sim.h"

namespace trevolan {

// The placed blocks (1..HighestBlock, drawn on the diagram) that a text typed into the
// window's find box names, best first: the block with that ID, then the blocks of
// that name, then those whose name contains the text, letter case aside; each once.
std::vector<int32_t> FindBlocks(const Sim& s, const std::string& text);

}  // namespace trevolan

#pragma once
#include "model/sim.h"

namespace trevolan {

// Makes `to` the model `from` is: every block, every global, flag and file name, the
// tape's channel list and the random generator's position, with the blocks' own
// streams when a seed set them up (a run seeded after the copy starts them afresh).
// The tape's cells are not copied (the copy's tape holds no rows; its next RESET
// clears it), nor are the spreadsheet link and the frontend, which stay `to`'s own.
// This is how one model read once becomes the start of many runs.
void CopyModelState(const Sim& from, Sim& to);

}  // namespace trevolan

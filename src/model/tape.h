#pragma once
#include <string>

#include "model/sim.h"

namespace trevolan {

// The tape records one row per graph step: the time and the Values of up to ten
// channel blocks, listed in the oscilloscope block 19.

// Empties the tape: no rows, every cell 0.
void ResetTape(Sim& s);

// Appends one row; a full tape drops its oldest 2000 rows first and holds the run.
void RecordTape(Sim& s);

// The tape file's text: a header of names, then one line per recorded row.
std::string TapeFileText(const Sim& s);

// Writes the tape to TapeFileName, replacing the file only when all was written.
void SaveTape(Sim& s);

}  // namespace trevolan

#pragma once
#include <string>

#include "model/sim.h"

namespace trevolan {

// The tape as comma-separated values (RFC 4180) for spreadsheets and scripts: a header
// of the names of the time block and the channel blocks, then one line per recorded
// row. Numbers use '.' and the shortest digits that read back to the same double;
// a field holding a comma, a double quote or a line end is quoted. Lines end in CR LF.
std::string TapeCsvText(const Sim& s);

// Writes TapeCsvText to `path`, replacing the file only when all was written.
void SaveTapeCsv(const Sim& s, const std::string& path);

}  // namespace trevolan

#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "model/atomic_file.h"
#include "model/sim.h"

// CSV as RFC 4180 has it, the one writer of every CSV file: the tape (save-tape-csv,
// run --csv) and the study's files. Fields are separated by commas and quoted when
// they hold a comma, a double quote or a line end; lines end in CR LF; numbers use '.'
// and the shortest digits that read back to the same double, with "nan", "inf" and
// "-inf" as pandas, numpy and spreadsheets read them.
namespace trevolan {

// One field, quoted when it needs to be.
std::string CsvField(std::string_view text);
// One line of fields, ended by CR LF.
std::string CsvLine(const std::vector<std::string>& fields);
// A number in the shortest form that reads back to it.
std::string CsvNumber(double x);

// The tape: a header of the names of the time block and the channel blocks, then one
// line per recorded row.
std::string TapeCsvText(const Sim& s);

// Writes TapeCsvText to `path`, replacing the file only when all was written.
void SaveTapeCsv(const Sim& s, const std::string& path);

// Streams every row the tape records into a CSV file while a run goes on, so a run of
// any length is kept whole (the tape itself keeps its last 10,001 rows). The lines are
// those of TapeCsvText. The file replaces FILE at Commit; until then it grows beside it.
class TapeCsvWriter {
 public:
  TapeCsvWriter(const Sim& s, const std::string& path);  // writes the header; IoError
  void WriteRow(const Sim& s);                            // the row at TapeIndex
  void Commit();

 private:
  AtomicFileWriter file_;
  std::string line_;
};

}  // namespace trevolan

#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/atomic_file.h"
#include "model/sim.h"

// CSV as RFC 4180 has it (comma, CRLF, fields quoted when they hold a comma, a quote or
// a line break), with numbers in the general float format of the model file, so that
// pandas and spreadsheets read the files directly and every digit survives.
namespace trevolan::study {

// One field, quoted when it needs to be.
std::string CsvField(std::string_view text);

// One line of fields, ended by CRLF.
std::string CsvLine(const std::vector<std::string>& fields);

// Streams every row the tape records into a CSV file while a run goes on, so a run of
// any length is kept whole (the tape itself keeps its last 10,001 rows). The header
// is the name of block 2 and the names of the channel blocks, as in the tape file.
// The file replaces FILE at Commit; until then it grows beside it.
class TapeCsvWriter {
 public:
  TapeCsvWriter(const Sim& s, const std::string& path);  // writes the header; IoError
  void WriteRow(const Sim& s);                            // the row at TapeIndex
  void Commit();

 private:
  AtomicFileWriter file_;
  std::string line_;
};

}  // namespace trevolan::study

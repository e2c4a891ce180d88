#pragma once
#include <string>
#include <vector>

#include "model/atomic_file.h"
#include "model/sim.h"

namespace trevolan {

// The model file: a header, a reference of the block types, one line per block with
// all its fields, a stored-data line after blocks with two or more stored numbers,
// and "ZZZ". The reader looks only at lines of 50 characters or more that begin
// with '@' and a type letter, so the header and reference may be edited freely.

// Reading position in the model file, alive only during OpenModel.
struct ModelReader {
  std::string data;     // the whole file
  size_t cursor = 0;    // start of the next unread line
  size_t line_start = 0;  // start of the line read last
  bool ModelEnd = false;
  // The problems of lines that were skipped: the first kShownProblems are shown, the
  // rest only counted, all once the reading ends.
  static constexpr size_t kShownProblems = 10;
  std::vector<std::string> problems;
  int64_t more_problems = 0;
  void Problem(std::string text) {
    if (problems.size() < kShownProblems) {
      problems.push_back(std::move(text));
    } else {
      ++more_problems;
    }
  }
  bool AtEnd() const { return cursor >= data.size(); }
};

// Reads DataFileName into the table that the caller prepared, then sets the tape
// channels from block 19. IoError when the file cannot be read or is no model at all;
// RangeError (ending the reading) for an ID or integer field out of range.
void OpenModel(Sim& s);

// The text of a model file, read whole before anything of the model changes. IoError
// when it cannot be read (see ReadWholeFile) or when it is no model at all: neither
// the header nor a single block line, such as a shell script or an image.
std::string ReadModelFile(const std::string& path);

// Whether a text is a model: it begins with the header line, or has at least one line
// that the reader takes for a block, even if its numbers are bad.
bool IsModelText(const std::string& text);

// OpenModel on a file's text.
void ReadModelText(Sim& s, std::string text);

// Reads and interprets the next line of the reader.
void ReadModelLine(Sim& s, ModelReader& r);

// The next token of line from the 1-based position pos, which it advances past the one
// delimiter that ended the token. Characters up to code 32 and commas are delimiters.
std::string_view NextToken(std::string_view line, size_t& pos);

// Writes the whole table to SaveFileName, replacing the file only when all was written.
void SaveModel(Sim& s);

// The block line of block id and, when its stored list has two or more entries, the
// stored-data line, each ended by CR LF.
std::string WriteBlockLine(const Sim& s, int id);

// The whole text SaveModel writes, with `recorded` as the date and time. IoError
// ("I/O error 27: File too large") for a text longer than `limit`, the largest file the
// reader takes, found before the text is whole when the stored lists alone exceed it.
std::string ModelFileText(const Sim& s, const std::string& recorded, size_t limit = kMaxReadSize);

}  // namespace trevolan

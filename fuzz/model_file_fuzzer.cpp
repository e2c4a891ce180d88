// libFuzzer target of the model reader: no input may crash it or make it hang, and a
// model read from any input must write, read back and write again to the same text,
// so that a saved model always opens as the model that was saved.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/model_file.h"

namespace {

using namespace trevolan;

// The table as File, Open prepares it before reading.
Sim& Prepared(Sim& s) {
  ClearBlockTable(s);
  SetSystemDefaults(s);
  LoadTimingGlobals(s);
  s.HighestBlock = 100;
  s.TapeChannels = 0;
  return s;
}

// Reads as the program does: an error ends the reading and keeps what was read.
void Read(Sim& s, std::string text) {
  try {
    ReadModelText(s, std::move(text));
  } catch (const SimError&) {
  }
}

[[noreturn]] void ReportDifference(const std::string& written, const std::string& again) {
  size_t at = 0;
  while (at < written.size() && at < again.size() && written[at] == again[at]) ++at;
  const size_t line_start = written.rfind('\n', at) == std::string::npos ? 0 : written.rfind('\n', at) + 1;
  std::fprintf(stderr, "model written after reading differs when read and written again, at byte %zu:\n%.200s\n%.200s\n",
               at, written.c_str() + line_start, again.c_str() + std::min(line_start, again.size()));
  std::abort();
}

// The models already checked, by hash, in a table made once: libFuzzer runs an input
// again and looks for leaks whenever it allocated more than it freed, which a growing
// set would do for every new model.
class CheckedModels {
 public:
  // False when the text was seen before; the table starts over when three quarters full.
  bool Insert(const std::string& text) {
    const size_t hash = std::hash<std::string>{}(text) | 1;  // 0 marks a free cell
    if (used_ >= kCells / 4 * 3) {
      std::fill(cells_.begin(), cells_.end(), 0);
      used_ = 0;
    }
    for (size_t i = hash & (kCells - 1);; i = (i + 1) & (kCells - 1)) {
      if (cells_[i] == hash) return false;
      if (cells_[i] == 0) {
        cells_[i] = hash;
        ++used_;
        return true;
      }
    }
  }

 private:
  static constexpr size_t kCells = size_t{1} << 20;
  std::vector<size_t> cells_ = std::vector<size_t>(kCells, 0);
  size_t used_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Two tables for the whole run: a fresh one costs as much as all of the reading.
  static Sim* first = new Sim();
  static Sim* second = new Sim();
  std::string text(reinterpret_cast<const char*>(data), size);
  (void)IsModelText(text);
  Read(Prepared(*first), std::move(text));
  const std::string written = ModelFileText(*first, "fuzz");
  // Most mutations change nothing that is read (a header line, a line that is skipped
  // anyway): a model already checked is not checked again.
  static CheckedModels* checked = new CheckedModels();
  if (!checked->Insert(written)) return 0;
  Read(Prepared(*second), written);
  const std::string again = ModelFileText(*second, "fuzz");
  if (written != again) ReportDifference(written, again);
  return 0;
}

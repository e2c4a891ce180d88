// libFuzzer target of the model reader: no input may crash it or make it hang, and a
// model read from any input must write, read back and write again to the same text,
// so that a saved model always opens as the model that was saved. It reads as File,
// Open does, through a frontend that draws as the window does (drawing while the model
// loads, the paint after it), and every input is read twice in a row: the second
// reading follows a model that the first left, with whatever a failed paint left
// behind, and must read the same model.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "display/headless_frontend.h"
#include "model/file_commands.h"
#include "model/model_file.h"

namespace {

using namespace trevolan;

// A table with a frontend that draws, after the window's first paint.
Sim& Drawn() {
  Sim* s = new Sim();
  auto* frontend = new HeadlessFrontend();
  frontend->Attach(*s);
  s->frontend = frontend;
  frontend->FormPaint();
  return *s;
}

// Reads as File, Open does: an error ends the reading and keeps what was read. A
// reading that fails skips the paint of the whole model that ends an open; the window
// paints it once the error is shown, before anything can be saved, and so does this.
void Read(Sim& s, const std::string& text) {
  try {
    OpenModelText(s, text, "fuzz.txt");
  } catch (const SimError&) {
    try {
      s.NotifyFormPaint();
    } catch (const SimError&) {
    }
  }
}

// The text a save writes, under one name: the header names the file saved to, which a
// failed reading leaves as the table had it.
std::string Written(Sim& s) {
  s.SaveFileName = "fuzz.txt";
  return ModelFileText(s, "fuzz");
}

bool IsVisualizer(const Sim& s, int64_t id) {
  return id >= 1 && id <= std::min<int64_t>(s.HighestBlock, kMaxBlockID) && s.block(id).Type == BlockType::Visualizer;
}

// A Visualizer whose input or full scale is a Visualizer (itself too) shows what the paint
// before left, so every paint moves its Value on: the Value a save writes is that of the
// last paint, and a reading of it paints once more. Such Values are not compared.
void KeepFedVisualizers(Sim& to, const Sim& from) {
  for (int64_t id = 1; id <= std::min<int64_t>(to.HighestBlock, kMaxBlockID); ++id) {
    TBlock& b = to.block(id);
    if (IsVisualizer(to, id) && (IsVisualizer(to, b.An) || IsVisualizer(to, b.Pn)) && IsVisualizer(from, id))
      b.Value = from.block(id).Value;
  }
}

[[noreturn]] void ReportDifference(const char* what, const std::string& written, const std::string& again) {
  size_t at = 0;
  while (at < written.size() && at < again.size() && written[at] == again[at]) ++at;
  const size_t line_start = written.rfind('\n', at) == std::string::npos ? 0 : written.rfind('\n', at) + 1;
  std::fprintf(stderr, "%s, at byte %zu:\n%.200s\n%.200s\n", what, at, written.c_str() + line_start, again.c_str() + std::min(line_start, again.size()));
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
  static Sim& first = Drawn();
  static Sim& second = Drawn();
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)IsModelText(text);
  Read(first, text);
  const std::string written = Written(first);
  Read(first, text);
  const std::string twice = Written(first);
  if (written != twice) ReportDifference("the same input read again after itself reads differently", written, twice);
  // Most mutations change nothing that is read (a header line, a line that is skipped
  // anyway): a model already checked is not checked again.
  static CheckedModels* checked = new CheckedModels();
  if (!checked->Insert(written)) return 0;
  Read(second, written);
  KeepFedVisualizers(second, first);
  const std::string again = Written(second);
  if (written != again) ReportDifference("model written after reading differs when read and written again", written, again);
  return 0;
}

// libFuzzer target of the batch runner's script language (the text of `exec`): no
// script may crash the program or make it hang, and no line it writes may carry a
// control character other than the line break, whatever the script echoes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

#include "cli/batch.h"
#include "cli/script.h"

namespace {

using namespace trevolan;

// Commands that reach outside the process (files anywhere on the disk, Calc) are not
// run: a fuzzer running as root must not overwrite what a path names.
bool ReachesOutside(const std::string& command) {
  static const std::set<std::string> outside = {"open",        "start",          "save",          "save-model",
                                                "save-tape",   "save-tape-csv",  "render-diagram", "render-plot",
                                                "link"};
  return outside.count(command) != 0;
}

struct StepBudgetSpent {};

// The batch's own frontend with a budget of simulation steps per input, so that a
// script that runs for hours (finish with FinTim 1e300) ends the input instead.
class BudgetFrontend : public Frontend {
 public:
  explicit BudgetFrontend(Frontend& inner) : inner_(inner) {}
  void ShowMessage(const std::string& text) override { inner_.ShowMessage(text); }
  void ProcessMessages() override {
    if (++steps_ > kMaxSteps) throw StepBudgetSpent{};
    inner_.ProcessMessages();
  }
  void DrawBlock(int id) override { inner_.DrawBlock(id); }
  void DrawAllBlocks() override { inner_.DrawAllBlocks(); }
  void RedrawDiagram() override { inner_.RedrawDiagram(); }
  void GrPlotPnlPrep() override { inner_.GrPlotPnlPrep(); }
  void DrawTimePlot() override { inner_.DrawTimePlot(); }
  void ShowStatus() override { inner_.ShowStatus(); }
  void FormPaint() override { inner_.FormPaint(); }
  void RunCaptionChanged(const std::string& caption) override { inner_.RunCaptionChanged(caption); }

 private:
  static constexpr int kMaxSteps = 2000;
  Frontend& inner_;
  int steps_ = 0;
};

void CheckEchoedText(const std::string& out) {
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    if ((c < 0x20 && c != '\n') || c == 0x7f) {
      std::fprintf(stderr, "control character 0x%02x in the output at byte %zu:\n%s\n", c, i, out.c_str());
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::ostringstream out;
  try {
    // A leading byte chooses between the two forms of a script: -c with ';' and -f.
    const bool semicolons = size > 0 && (data[0] & 1);
    const auto commands = cli::ParseScript(text, semicolons);
    cli::Batch batch(out);
    BudgetFrontend budget(batch.frontend());
    batch.sim().frontend = &budget;
    for (const cli::Command& c : commands) {
      if (ReachesOutside(c[0])) continue;
      batch.Execute(c);
    }
  } catch (const cli::UsageError& e) {
    out << "usage: " << cli::EscapeControls(e.what()) << '\n';
  } catch (const StepBudgetSpent&) {
  }
  CheckEchoedText(out.str());
  return 0;
}

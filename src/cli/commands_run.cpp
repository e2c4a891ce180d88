#include "blocks/compute.h"
#include "cli/batch.h"
#include "engine/run_loop.h"
#include "model/numbers.h"

namespace trevolan::cli {

void AddRunCommands(Batch& b) {
  Sim& s = b.sim();
  b.Add("reset", 0, 0, [&s](const Command&) { ResetButton(s); });
  b.Add("run", 0, 0, [&s](const Command&) {
    if (s.HoldFlag) RunButton(s);
  });
  b.Add("step", 0, 0, [&s](const Command&) { StepButton(s); });
  b.Add("finish", 0, 1, [&s](const Command& c) {
    int64_t presses = kDefaultFinishPresses;
    if (c.size() > 1) {
      const double n = NumberArgument(c[1]);
      if (!(n >= 0 && n <= 1e15)) throw RangeError();
      presses = static_cast<int64_t>(n);
    }
    RunToFinish(s, presses);
  });
  b.Add("compute", 0, 0, [&s](const Command&) { ComputeAllBlocks(s); });
}

}  // namespace trevolan::cli

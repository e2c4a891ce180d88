#include "blocks/compute.h"
#include "cli/batch.h"
#include "engine/run_operations.h"
#include "model/numbers.h"
#include "model/seed.h"

namespace trevolan::cli {

namespace {

// Runs one operation of the run for a command: remembered for the caller, and its error
// raised again for the batch runner's "error:" line.
template <typename Operation>
RunOutcome Operate(Batch& b, Operation&& operation) {
  const RunOutcome o = operation();
  b.Ran(o);
  o.RethrowError();
  return o;
}

}  // namespace

void AddRunCommands(Batch& b) {
  Sim& s = b.sim();
  b.Add({"reset", "", "The RESET button: back to the model's initial conditions",
         "Rewinds the clock to Start, puts every block from ID 19 up into its initial state, runs one compute "
         "pass and records tape row 0.",
         "reset"},
        [&b, &s](const Command&) { Operate(b, [&] { return Reset(s); }); });
  b.Add({"run", "", "The RUN button while held: runs until the model holds",
         "The run goes on until a hold step, a positive hold trigger or the finish time holds it; then the "
         "command ends. While the model is not held it does nothing.",
         "run"},
        [&b, &s](const Command&) { Operate(b, [&] { return RunToHold(s); }); });
  b.Add({"step", "", "The STEP button while held: one step of Delt",
         "Exactly one step: the integrators, the clock advanced by Delt, one compute pass, and the graph and hold "
         "events that fall due.",
         "step"},
        [&b, &s](const Command&) { Operate(b, [&] { return Step(s); }); });
  b.Add({"finish", "[N]", "Presses RUN until the run holds at the finish time",
         "RUN is pressed again and again until the run holds with Time + TimeTol >= FinTim, at most N times "
         "(default 1000000), so that hold steps on the way do not end the run. A run that stops short of FinTim "
         "says so on standard error: where it stopped and why.",
         "finish"},
        [&b, &s](const Command& c) {
          int64_t presses = kDefaultFinishPresses;
          if (c.size() > 1) {
            const double n = commands::NumberArgument(c[1]);
            if (!(n >= 0 && n <= 1e15)) throw RangeError();
            presses = static_cast<int64_t>(n);
          }
          const RunOutcome o = Operate(b, [&] { return Finish(s, presses); });
          if (!o.reached()) {
            b.Note("finish: the run stopped at Time " + FormatGeneral(o.time) + " before FinTim " +
                   FormatGeneral(s.FinTim) + ": " + ShortStopReason(s, o));
          }
        });
  b.Add({"compute", "", "One compute pass over every block (ComputeAllBlocks)",
         "Each block from ID 1 to HighestBlock computes once, in ID order, without moving the clock.",
         "compute"},
        [&s](const Command&) { ComputeAllBlocks(s); });
  b.Add({"seed", "N [crn]", "Restarts the random generator from a sequence determined by N",
         "N is a whole number from 0 to 2^53 - 1. Without seed, every start draws the same sequence; with the "
         "same N, a model draws the same numbers again. A study's runs use seeds derived from its --seed, the "
         "case and the replication; the runs file names each run's seed, which seed repeats.\n\n"
         "With crn (common random numbers), every block draws from a stream of its own, derived from N and the "
         "block's ID, so that changing one block leaves the draws of the others as they were; a study's --crn "
         "runs are seeded so. A seed without crn returns to the one sequence shared by all blocks.",
         "seed 7"},
        [&s](const Command& c) {
          const bool crn = c.size() > 2;
          if (crn && c[2] != "crn") throw UsageError("seed takes crn or nothing after N: " + c[2] + " (seed N [crn])");
          SeedGenerator(s, SeedFromText(c[1]), crn);
        });
}

}  // namespace trevolan::cli

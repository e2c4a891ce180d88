#pragma once
#include "model/sim.h"

// The engine: a clock that advances in steps of Delt, driven by the RUN/HOLD, STEP and
// RESET buttons. While running, the loop works inside the button's handler and lets
// the window process its messages once per step.
namespace trevolan {

// Runs steps until HoldFlag is set; returns at once inside another run. A step that
// fails leaves the run held (HoldFlag set, RunBusy clear, caption "RUN") and rethrows,
// with the state as far as the step got.
void RunLoop(Sim& s);
// One step: integrate, advance Time, compute, then the graph, hold, trigger and
// finish events.
void RunStep(Sim& s);
void StartRun(Sim& s);
void HoldRun(Sim& s);
// Rewinds the clock to Start and puts every block from ID 19 up into its initial state.
void ResetRun(Sim& s);

// The buttons of the control bar.
void RunButton(Sim& s);    // RUN while held, HOLD while running
void StepButton(Sim& s);   // one step while held, HOLD while running
void ResetButton(Sim& s);  // only while held

// RUN pressed again and again, at most max_presses times, until the run holds with
// Time + TimeTol >= FinTim: a whole run to the finish through every hold on the way.
inline constexpr int64_t kDefaultFinishPresses = 1000000;
void FinishRun(Sim& s, int64_t max_presses = kDefaultFinishPresses);

// RUN pressed again and again, with a hold put at `to` as STEP puts one after a step,
// until the run holds with Time + TimeTol >= to: the run carried on to a time of the
// caller's choosing through every hold on the way (beyond FinTim, step by step, as RUN
// goes there). The hold grid is put back afterwards. At most max_presses presses.
void AdvanceTo(Sim& s, double to, int64_t max_presses = kDefaultFinishPresses);

}  // namespace trevolan

#pragma once
#include "model/sim.h"

// The engine: a clock that advances in steps of Delt, driven by the RUN/HOLD, STEP and
// RESET buttons. While running, the loop works inside the button's handler, tells the
// observers of its steps (model/step_hook.h) and lets the window process its messages
// once per step. Faces without a window run it through the operations of
// engine/run_operations.h, which say how the run ended.
namespace trevolan {

// Runs steps until HoldFlag is set; returns at once inside another run. A step that
// fails leaves the run held (HoldFlag set, RunBusy clear, caption "RUN") and rethrows,
// with the state as far as the step got. An observer that asks to stop holds the run
// after that step.
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
void ResetButton(Sim& s);  // only while held; then the observers' AfterReset

}  // namespace trevolan

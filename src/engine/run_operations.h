#pragma once
#include <cstdint>
#include <exception>
#include <string>

#include "model/sim.h"

// The run as operations for the faces without a window (the batch runner, Python, a
// study's runs): each presses the buttons of the run loop as a person would and says how
// the run ended, so that every face can tell a run that stopped short of its target.
//
//   const RunOutcome o = RunUntil(s, 50);
//   if (o.stop == RunStop::kError) o.RethrowError();  // the error as the window shows it
//   if (!o.reached()) Say("stopped at Time " + ... + ": " + ShortStopReason(s, o));
//
// The window keeps the buttons themselves (engine/run_loop.h): RUN and HOLD are one
// button there, and its errors go to the application's message box.
namespace trevolan {

enum class RunStop {
  kReached,      // the target: Start, one step on, the next hold, the time asked, FinTim
  kHeld,         // the run holds short of it: the hold trigger held every step until the
                 // presses ran out, or the run was not held to start with (a run under way)
  kPressLimit,   // the presses ran out at holds of the hold grid, or past FinTim
  kError,        // one of the model's errors (SimError) left the run held where it got
  kInterrupted,  // an observer of the steps asked to stop: held after that step, usable
};

struct RunOutcome {
  RunStop stop = RunStop::kReached;
  double time = 0;          // Time where the run stands
  int64_t presses = 0;      // presses of RUN or STEP made
  std::string error;        // kError: the error's text
  std::exception_ptr failure;  // kError: the error itself, for faces that raise it again

  bool reached() const { return stop == RunStop::kReached; }
  // Raises the error again (kError); faces whose users expect the error itself (the
  // batch runner's "error:" line, Python's exception classes) call it.
  void RethrowError() const {
    if (failure) std::rethrow_exception(failure);
  }
};

inline constexpr int64_t kDefaultFinishPresses = 1000000;

// A limit of presses as a program gives it: RangeError when it is negative, as the batch
// runner's finish -1 is.
int64_t PressLimit(int64_t max_presses);

// The RESET button while held (ResetRun, the tape's first row, then AfterReset).
RunOutcome Reset(Sim& s);
// The STEP button while held: one step of Delt. STEP while running holds (kHeld).
RunOutcome Step(Sim& s);
// The RUN button while held: the run goes on to its next hold (hold step, hold trigger,
// finish). A run that is not held is left alone (kHeld).
RunOutcome RunToHold(Sim& s);
// RUN pressed again and again, with a hold put at `t` as STEP puts one after a step,
// until the run holds with Time + TimeTol >= t: the run carried on to a time of the
// caller's choosing through every hold on the way (beyond FinTim, step by step, as RUN
// goes there). The hold grid is put back afterwards. At most max_presses presses.
RunOutcome RunUntil(Sim& s, double t, int64_t max_presses = kDefaultFinishPresses);
// RUN pressed again and again, at most max_presses times, until the run holds with
// Time + TimeTol >= FinTim: a whole run to the finish through every hold on the way.
RunOutcome Finish(Sim& s, int64_t max_presses = kDefaultFinishPresses);

// Why RunUntil or Finish left the run short of its target, in the user's words: "all 10
// presses of RUN were used (the run holds every Holdstep 100)", "... (the hold trigger,
// block 105 queue, holds the run at every step)", "the run was interrupted", the
// error's text.
std::string ShortStopReason(const Sim& s, const RunOutcome& o);
// The holds that make presses of RUN run out where the run stands: "the hold trigger,
// block 105 queue, holds the run at every step", "past FinTim 1000 the run holds at
// every step", "the run holds every Holdstep 100".
std::string HoldCause(const Sim& s);

}  // namespace trevolan

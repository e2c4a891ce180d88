#include "engine/run_operations.h"

#include "engine/run_loop.h"
#include "model/numbers.h"

namespace trevolan {

namespace {

bool Reached(const Sim& s, double target) { return s.Time + s.TimeTol >= target; }

// Whether the hold-trigger block holds the run (its Value above 0); a trigger ID outside
// the table holds nothing here, the run's own step says so with its error.
bool TriggerHolds(const Sim& s) {
  return s.RepCount >= 0 && s.RepCount <= kMaxBlockID && s.block(s.RepCount).Value > 0;
}

// Runs the presses of one operation, which say how they ended; one of the model's
// errors ends it with kError, the run held where the error left it.
template <typename Presses>
RunOutcome Operate(Sim& s, Presses&& presses) {
  RunOutcome o;
  s.step_hook.ForgetStop();
  try {
    o.stop = presses(o.presses);
  } catch (const SimError& e) {
    o.stop = RunStop::kError;
    o.error = e.what();
    o.failure = std::current_exception();
  }
  o.time = s.Time;
  return o;
}

// How presses of RUN that have stopped ended: at the target, stopped by an observer of
// the steps, or short of it with the presses used up.
RunStop Ended(const Sim& s, bool reached) {
  if (reached) return RunStop::kReached;
  if (s.step_hook.stop_asked()) return RunStop::kInterrupted;
  return TriggerHolds(s) ? RunStop::kHeld : RunStop::kPressLimit;
}

// One press of RUN with a hold put at t, as STEP puts one after a step; the hold grid is
// put back after the press, also when it fails.
void PressRunWithHoldAt(Sim& s, double t) {
  struct RestoreHoldnext {
    Sim& s;
    double saved;
    bool moved;
    ~RestoreHoldnext() {
      if (moved) s.Holdnext = saved;
    }
  } restore{s, s.Holdnext, t < s.Holdnext};
  if (restore.moved) s.Holdnext = t;
  StartRun(s);
}

}  // namespace

RunOutcome Reset(Sim& s) {
  return Operate(s, [&](int64_t&) {
    if (!s.HoldFlag) return RunStop::kHeld;
    ResetButton(s);
    return RunStop::kReached;
  });
}

RunOutcome Step(Sim& s) {
  return Operate(s, [&](int64_t& presses) {
    const bool held = s.HoldFlag;
    const int64_t steps = s.StepsTaken;
    ++presses;
    StepButton(s);
    return held && s.StepsTaken > steps ? RunStop::kReached : RunStop::kHeld;
  });
}

RunOutcome RunToHold(Sim& s) {
  return Operate(s, [&](int64_t& presses) {
    if (!s.HoldFlag) return RunStop::kHeld;
    ++presses;
    RunButton(s);
    return s.step_hook.stop_asked() ? RunStop::kInterrupted : RunStop::kReached;
  });
}

RunOutcome RunUntil(Sim& s, double t, int64_t max_presses) {
  return Operate(s, [&](int64_t& presses) {
    while (presses < max_presses && !Reached(s, t)) {
      if (!s.HoldFlag) return RunStop::kHeld;
      ++presses;
      PressRunWithHoldAt(s, t);
      if (s.step_hook.stop_asked()) break;
    }
    return Ended(s, Reached(s, t));
  });
}

int64_t PressLimit(int64_t max_presses) {
  if (max_presses < 0) throw RangeError();
  return max_presses;
}

RunOutcome Finish(Sim& s, int64_t max_presses) {
  const auto done = [&] { return s.HoldFlag && Reached(s, s.FinTim); };
  return Operate(s, [&](int64_t& presses) {
    while (presses < max_presses && !done()) {
      ++presses;
      RunButton(s);  // RUN while running is HOLD: a run found under way is held by the first press
      if (s.step_hook.stop_asked()) break;
    }
    return Ended(s, done());
  });
}

std::string ShortStopReason(const Sim& s, const RunOutcome& o) {
  switch (o.stop) {
    case RunStop::kReached: return "";
    case RunStop::kError: return o.error;
    case RunStop::kInterrupted: return "the run was interrupted";
    case RunStop::kHeld:
      if (!s.HoldFlag) return "the run was not held to start with (a run is under way)";
      break;
    case RunStop::kPressLimit: break;
  }
  return "all " + std::to_string(o.presses) + " presses of RUN were used (" + HoldCause(s) + ")";
}

std::string HoldCause(const Sim& s) {
  if (TriggerHolds(s)) {
    return "the hold trigger, block " + std::to_string(s.RepCount) + " " + s.block(s.RepCount).Name +
           ", holds the run at every step";
  }
  if (Reached(s, s.FinTim)) return "past FinTim " + FormatGeneral(s.FinTim) + " the run holds at every step";
  return "the run holds every Holdstep " + FormatGeneral(s.Holdstep);
}

}  // namespace trevolan

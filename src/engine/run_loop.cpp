#include "engine/run_loop.h"

#include <algorithm>
#include <cmath>

#include "blocks/compute.h"
#include "blocks/transfer.h"
#include "model/numbers.h"
#include "model/tape.h"

namespace trevolan {

namespace {

// Scheduled events fire once Time has reached their target to within TimeTol; a
// comparison with a NaN fires too.
bool Due(const Sim& s, double target) { return !(target - s.TimeTol > s.Time); }

// A Delt below the resolution of the doubles around Time leaves the clock where it is,
// and a run would never reach its next hold; the step stops before it changes anything.
// The same holds when Delt no longer moves the clock at the hold or finish the run is
// heading for: the clock would stall on its way there, after endless steps.
void CheckClockMoves(const Sim& s) {
  const double next = std::min(s.Holdnext, s.FinTim);
  const bool stalled = s.Time + s.Delt == s.Time;
  if (!stalled && !(next > s.Time && next + s.Delt == next)) return;
  throw SimError("Time step too small for the current time: Delt = " + FormatGeneral(s.Delt) +
                 " no longer moves the clock at Time = " + FormatGeneral(stalled ? s.Time : next));
}

void HoldAndPaint(Sim& s) {
  StoreTimingGlobals(s);
  HoldRun(s);
  s.NotifyFormPaint();
}

void GraphStep(Sim& s) {
  s.GrNext = FiniteClock(s.GrNext + s.GrDel, "next graph time GrNext");
  StoreTimingGlobals(s);
  RecordTape(s);
  if (s.AnimFlag) s.NotifyDrawAllBlocks();
  s.NotifyShowStatus();
  s.NotifyDrawTimePlot();
}

// At FinTim: hold, or with repetition on count the run and start the next one at once.
void FinishEvent(Sim& s) {
  StoreTimingGlobals(s);
  TBlock& rep = s.block(kRepCountBlock);
  if (rep.OnOff == 0) {
    HoldRun(s);
  } else {
    rep.Value += 1;
    if (s.V(rep.Cn) + rep.cc > rep.Value) {
      ResetTape(s);
      ResetRun(s);
    } else {
      HoldRun(s);
    }
  }
  s.NotifyFormPaint();
}

// One step; with a list, the integration pass takes the Integrators noted in it.
void StepWith(Sim& s, const IntegratorList* integrators) {
  CheckClockMoves(s);
  const double time = FiniteClock(s.Time + s.Delt, "Time");  // before the step changes anything
  IntegrateAll(s, integrators);
  s.Time = time;
  s.block(kTimeBlock).Value = s.Time;
  ComputeAllBlocks(s);
  ++s.StepsTaken;
  if (Due(s, s.GrNext)) GraphStep(s);
  if (Due(s, s.Holdnext)) {
    s.Holdnext = FiniteClock(s.Holdnext + s.Holdstep, "next hold time Holdnext");
    HoldAndPaint(s);
  }
  if (s.V(s.RepCount) > 0 || s.HoldFlag) HoldAndPaint(s);
  if (Due(s, s.FinTim)) FinishEvent(s);
}

}  // namespace

void RunStep(Sim& s) { StepWith(s, nullptr); }

void RunLoop(Sim& s) {
  if (s.RunBusy) return;
  s.step_hook.ForgetStop();
  // Noted anew for every run, so that nothing edited while the run held is missed.
  IntegratorList integrators;
  NoteIntegrators(s, integrators);
  s.PlanQuietDrawing();
  struct ForgetQuietDrawing {
    Sim& s;
    ~ForgetQuietDrawing() { s.QuietDrawing = false; }
  } forget{s};
  try {
    while (!s.HoldFlag) {
      s.RunBusy = true;
      StepWith(s, &integrators);
      if (s.step_hook.AfterStep(s)) HoldRun(s);  // an observer stops the run: held and usable
      s.NotifyProcessMessages();
      if (s.frontend && s.frontend->MayHaveEdited()) {
        NoteIntegrators(s, integrators);
        s.PlanQuietDrawing();
      }
    }
  } catch (...) {
    s.HoldFlag = true;
    s.RunBusy = false;
    s.SetRunCaption("RUN");
    throw;
  }
  s.RunBusy = false;
}

void StartRun(Sim& s) {
  s.HoldFlag = false;
  s.SetRunCaption("HOLD");
  RunLoop(s);
}

void HoldRun(Sim& s) {
  s.HoldFlag = true;
  s.SetRunCaption("RUN");
}

namespace {

// Containers and Integrators first, so that the second pass reads their start values.
void ResetStores(Sim& s, int64_t id) {
  TBlock& b = s.block(id);
  if (b.Type != BlockType::Container && b.Type != BlockType::Integrator) return;
  b.Value = Finite(s.V(b.Dn) + b.dd, id, "start Value Vd + dd");
  b.pp = 0;
  if (b.Type == BlockType::Container) UpdateContainerState(s, id);
}

void ResetMemory(Sim& s, int64_t id) {
  TBlock& b = s.block(id);
  if (b.Bn == 2) b.bb = s.Start;
  const int64_t n = StoredHigh(b) / 2;
  b.Value = b.aa;
  b.dd = s.Start;
  const double c = std::fabs(b.cc);
  for (int64_t k = 2; k <= n; ++k) {
    StoredAt(b, k) = b.aa;
    StoredAt(b, n + k) =
        Finite((b.bb - c) + c * static_cast<double>(k - 2) / static_cast<double>(n - 1), id, "stored time");
  }
}

void ResetBlockState(Sim& s, int64_t id) {
  TBlock& b = s.block(id);
  switch (b.Type) {
    case BlockType::Activity:
      b.State = 1;
      b.Value = s.Start;
      StoredAt(b, 1) = 0;
      StoredAt(b, 2) = 0;
      break;
    case BlockType::Belt:
      b.State = 1;
      b.Value = s.Start;
      for (int64_t k = 1; k <= StoredHigh(b); ++k) StoredAt(b, k) = 0;
      b.cc = 0;
      break;
    case BlockType::Diverter:
      b.State = 1;
      b.Value = s.Start;
      StoredAt(b, 1) = 0;
      break;
    case BlockType::Hysteresis: b.pp = 0; break;
    case BlockType::Inductor: b.Value = Finite(s.V(b.Dn) + b.dd, id, "start Value Vd + dd"); break;
    case BlockType::Memory: ResetMemory(s, id); break;
    case BlockType::Timer:
      b.pp = Finite(s.V(b.Dn) + b.dd, id, "start time Vd + dd");
      if (b.State == 3) {
        b.OnOff = 0;
        b.Value = 0;
      }
      break;
    case BlockType::User:
      b.Value = Finite(s.V(b.Dn) + b.dd, id, "start Value Vd + dd");
      b.cc = 0;
      break;
    default: break;
  }
}

}  // namespace

void ResetRun(Sim& s) {
  s.Time = s.Start;
  s.GrNext = FiniteClock(s.Start + s.GrDel, "next graph time GrNext");
  s.Holdnext = FiniteClock(s.Start + s.Holdstep, "next hold time Holdnext");
  StoreTimingGlobals(s);
  for (int64_t id = 19; id <= s.HighestBlock; ++id) ResetStores(s, id);
  for (int64_t id = 19; id <= s.HighestBlock; ++id) ResetBlockState(s, id);
  ComputeAllBlocks(s);
  s.NotifyRedrawDiagram();
  s.NotifyDrawTimePlot();
}

void RunButton(Sim& s) {
  if (s.HoldFlag) {
    StartRun(s);
  } else {
    s.NotifyFormPaint();
    HoldRun(s);
  }
}

void StepButton(Sim& s) {
  if (!s.HoldFlag) {
    s.NotifyFormPaint();
    HoldRun(s);
    return;
  }
  // One step is a run whose hold falls due right after it; the hold grid itself is
  // put back afterwards, also when the step fails.
  struct RestoreHoldnext {
    Sim& s;
    double saved;
    ~RestoreHoldnext() { s.Holdnext = saved; }
  } restore{s, s.Holdnext};
  s.Holdnext = s.Time + s.Delt;
  StartRun(s);
}

void ResetButton(Sim& s) {
  if (!s.HoldFlag) return;
  ResetRun(s);
  ResetTape(s);
  RecordTape(s);
  s.NotifyGrPlotPnlPrep();
  s.SetRunCaption("RUN");
  s.NotifyFormPaint();
  s.step_hook.AfterReset(s);
}

}  // namespace trevolan

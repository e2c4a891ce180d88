#include "blocks/compute.h"
#include "blocks/transfer.h"
#include "model/numbers.h"

namespace trevolan {

namespace {

// The timer's two-level output as 0 or 1: Value rounded, halves to even, clamped.
int OutputLevel(double value) { return RoundHalfEven(value) >= 1 ? 1 : 0; }

void SetOutput(Sim& s, TBlock& t, int level) {
  t.Value = level;
  s.block(t.Pn).OnOff = level;
}

void Repetitive(Sim& s, TBlock& t, int out, bool due, bool trig) {
  // Both tests read the output as it was, so at most one fires.
  if (out == 0 && (due || trig)) {
    t.pp = Finite(ReleaseTime(s, t.ID, s.V(t.Bn) + t.bb), t.ID, "release time");
    SetOutput(s, t, 1);
  }
  if (out == 1 && due) {
    t.pp = Finite(ReleaseTime(s, t.ID, s.V(t.Cn) + t.cc), t.ID, "release time");
    SetOutput(s, t, 0);
  }
}

void OneShot(Sim& s, TBlock& t, bool due, bool trig) {
  if (trig) {  // re-triggerable: a trigger during the on-time starts it again
    t.pp = Finite(ReleaseTime(s, t.ID, s.V(t.Bn) + t.bb), t.ID, "release time");
    SetOutput(s, t, 1);
    due = false;
  }
  if (due) SetOutput(s, t, 0);
}

void Bistable(Sim& s, TBlock& t, int out, bool trig) {
  if (trig) SetOutput(s, t, out == 1 ? 0 : 1);
}

// Switching the block on fires one pulse of the on-time; at its end the timer switches
// itself off. Returns whether the pass ends there.
bool ManualOneShot(Sim& s, TBlock& t, int out, bool due) {
  if (out == 1 && due) {
    SetOutput(s, t, 0);
    t.OnOff = 0;
    return true;
  }
  if (out == 0) {
    t.pp = Finite(ReleaseTime(s, t.ID, s.V(t.Bn) + t.bb), t.ID, "release time");
    SetOutput(s, t, 1);
  }
  return false;
}

}  // namespace

void ComputeTimer(Sim& s, int id) {
  TBlock& t = s.block(id);
  // The follower first, even while the timer is off: block Pn is on exactly while the
  // output is not 0. Any Pn is written, the system blocks included.
  s.block(t.Pn).OnOff = t.Value != 0 ? 1 : 0;
  if (t.OnOff <= 0) return;
  const bool due = t.pp - s.TimeTol <= s.Time;
  const double va = s.V(t.An);
  const bool trig = va >= t.aa + 1 - 1e-19;  // a rise by at least 1 since the last pass
  t.aa = va;
  const int out = OutputLevel(t.Value);
  switch (t.State) {
    case 0: Repetitive(s, t, out, due, trig); break;
    case 1: OneShot(s, t, due, trig); break;
    case 2: Bistable(s, t, out, trig); break;
    case 3:
      if (ManualOneShot(s, t, out, due)) return;
      break;
    default: break;
  }
  if (OutputLevel(t.Value) != out && s.AnimFlag) s.NotifyDrawPlainBlock(id);
}

void ComputeRelay(Sim& s, int id) {
  TBlock& r = s.block(id);
  if (r.OnOff <= 0) return;
  const bool on = s.V(r.An) + r.aa > 0;
  r.Value = on ? 1 : 0;
  // The reserved IDs up to 100 are never switched.
  for (const int32_t target : {r.Bn, r.Cn, r.Dn}) {
    if (target > kReservedIDs) s.block(target).OnOff = on ? 1 : 0;
  }
  if (r.Pn > kReservedIDs) s.block(r.Pn).OnOff = on ? 0 : 1;
}

}  // namespace trevolan

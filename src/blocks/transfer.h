#pragma once
#include "blocks/compute.h"
#include "model/sim.h"

// How discrete blocks move amounts between storage blocks (Containers and
// Integrators), and the time helpers with random delays.
namespace trevolan {

// The amount the source would give for a take request (>= 0: exactly that, < 0: up to
// its magnitude); 0 means not available. `granted` is what an earlier request of the
// same block to the same source was granted: two requests are judged together, so the
// second one is served only from what the first leaves.
double TakeAmount(Sim& s, int64_t source, double request, double granted = 0);
// Takes a granted amount out of the source.
void TakeOut(Sim& s, int64_t source, double amount);
// Whether the target accepts a drop (> 0: that amount; <= 0: a fill of an empty target).
bool CanDrop(Sim& s, int64_t target, double amount);
// Drops into the target without any test.
void DropInto(Sim& s, int64_t target, double amount);
// Two drops of one block, judged and made together: into one and the same target (not
// block 0) they must fit at once, and two fill drops fill it once. Into two targets
// they are CanDrop and DropInto on each, in this order.
bool CanDropBoth(Sim& s, int64_t t1, double a1, int64_t t2, double a2);
void DropIntoBoth(Sim& s, int64_t t1, double a1, int64_t t2, double a2);
// A Container above the reserved IDs: State 1 empty, 2 partly filled, 3 full.
void UpdateContainerState(Sim& s, int64_t id);
// Time + delay; a negative delay is random, Erlang-2 with mean |delay|.
double ReleaseTime(Sim& s, double delay);
// An Erlang-2 variate with mean 1.
double Erlang2Unit(Sim& s);
// Sum of |stored[i]| over the whole list; 0 for fewer than two entries.
double StoredAbsSum(Sim& s, int64_t id);
// Linear interpolation through two points; the mean of y1 and y2 when x1 = x2.
double Interpolate(double x, double x1, double y1, double x2, double y2);

// The cycle the Activity and the Diverter share: while switched off the pending
// release slides with the clock; a ready block (State 0 or 1) tries to take; a busy
// or blocked one (2 or 3) releases once its time has come, in the same pass, so a
// zero delay completes at once; a change of state is redrawn when animating.
template <class Take, class Release>
void ComputeTakeHoldRelease(Sim& s, int id, Take take, Release release) {
  TBlock& b = s.block(id);
  if (b.OnOff <= 0) {
    b.Value = Finite(b.Value + s.Delt, id);
    return;
  }
  const int32_t old_state = b.State;
  if (b.State == 0 || b.State == 1) take(s, b);
  if (s.Time + s.TimeTol >= b.Value && (b.State == 2 || b.State == 3)) release(s, b);
  if (b.State != old_state && s.AnimFlag) s.NotifyDrawBlock(id);
}

}  // namespace trevolan

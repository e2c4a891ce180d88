#pragma once
#include <algorithm>
#include <cmath>

#include "blocks/compute.h"
#include "model/sim.h"

// How discrete blocks move amounts between storage blocks (Containers and
// Integrators), and the time helpers with random delays.
namespace trevolan {

// The helpers below run several times per discrete block and step, so they are
// inline: a handful of comparisons each.

namespace transfer_detail {

// Below this a store counts as empty for an "up to" take.
inline constexpr double kEmpty = 1e-19;

inline bool IsStore(const TBlock& b) { return b.Type == BlockType::Container || b.Type == BlockType::Integrator; }

// The capacity a positive drop is measured against: a Container's Vc + cc, an
// Integrator's bound bb.
inline double Capacity(const Sim& s, const TBlock& b) {
  return b.Type == BlockType::Container ? s.V(b.Cn) + b.cc : b.bb;
}

}  // namespace transfer_detail

// A Container above the reserved IDs: State 1 empty, 2 partly filled, 3 full.
[[gnu::always_inline]] inline void UpdateContainerState(Sim& s, int64_t id) {
  if (id <= kReservedIDs) return;
  TBlock& b = s.block(id);
  if (b.Type != BlockType::Container) return;
  const double max = s.V(b.Cn) + b.cc;
  // In this order, a later rule overriding an earlier one: an empty container of
  // capacity 0 reads as full. Selects rather than jumps: whether a container is
  // empty, partly filled or full changes too often for a branch to guess.
  int32_t state = b.State;
  state = b.Value <= 0 ? 1 : state;
  state = (b.Value > 0 && b.Value < max) ? 2 : state;
  state = b.Value >= max ? 3 : state;
  b.State = state;
  if (s.AnimFlag) s.NotifyDrawPlainBlock(static_cast<int>(id));
}

// The amount the source would give for a take request (>= 0: exactly that, < 0: up to
// its magnitude); 0 means not available. `granted` is what an earlier request of the
// same block to the same source was granted: two requests are judged together, so the
// second one is served only from what the first leaves.
[[gnu::always_inline]] inline double TakeAmount(Sim& s, int64_t source, double request, double granted = 0) {
  using namespace transfer_detail;
  const TBlock& b = s.block(source);
  if (source == 0) return std::fabs(request);  // the world outside gives anything
  if (source <= kReservedIDs || b.OnOff <= 0 || !IsStore(b)) return 0;
  const double held = b.Value - granted;
  if (request < 0) return held > kEmpty ? std::min(held, -request) : 0;
  return held >= request ? request : 0;
}

// Takes a granted amount out of the source.
[[gnu::always_inline]] inline void TakeOut(Sim& s, int64_t source, double amount) {
  TBlock& b = s.block(source);
  if (source == 0) return;
  b.Value -= amount;
  if (b.Type == BlockType::Container) UpdateContainerState(s, source);
}

// Whether the target accepts a drop (> 0: that amount; <= 0: a fill of an empty target).
[[gnu::always_inline]] inline bool CanDrop(Sim& s, int64_t target, double amount) {
  using namespace transfer_detail;
  const TBlock& b = s.block(target);
  if (target == 0) return true;
  if (target <= kReservedIDs || b.OnOff <= 0) return false;
  if (amount <= 0) return b.Value <= 0;  // a fill drop needs an empty target of any type
  if (!IsStore(b)) return false;
  return b.Value + amount <= Capacity(s, b);
}

// Drops into the target without any test.
[[gnu::always_inline]] inline void DropInto(Sim& s, int64_t target, double amount) {
  using namespace transfer_detail;
  TBlock& b = s.block(target);
  if (target == 0 || !IsStore(b)) return;
  b.Value = Finite(b.Value + (amount <= 0 ? Capacity(s, b) : amount), target, "contents after a drop");
  if (b.Type == BlockType::Container) UpdateContainerState(s, target);
}
// Two drops of one block, judged and made together: into one and the same target (not
// block 0) they must fit at once, and two fill drops fill it once. Into two targets
// they are CanDrop and DropInto on each, in this order.
bool CanDropBoth(Sim& s, int64_t t1, double a1, int64_t t2, double a2);
void DropIntoBoth(Sim& s, int64_t t1, double a1, int64_t t2, double a2);
// An Erlang-2 variate with mean 1, drawn for block id.
double Erlang2Unit(Sim& s, int id);
// The value of block id as the time of action of a block that starts now: its Value,
// but with common random numbers a fresh value of an on Fuzz block, drawn from the
// Fuzz's own stream, so that every start takes the next number of that stream.
double ActionValue(Sim& s, int64_t id);
// Time + delay; a negative delay is random, Erlang-2 with mean |delay|, drawn for block id.
inline double ReleaseTime(Sim& s, int id, double delay) {
  if (delay >= 0) return s.Time + delay;
  return s.Time + std::fabs(delay) * Erlang2Unit(s, id);
}
// Sum of |stored[i]| over the whole list; 0 for fewer than two entries.
double StoredAbsSum(Sim& s, int64_t id);
// Linear interpolation through two points; the mean of y1 and y2 when x1 = x2.
double Interpolate(double x, double x1, double y1, double x2, double y2);

// The cycle the Activity and the Diverter share: while switched off the pending
// release slides with the clock; a ready block (State 0 or 1) tries to take; a busy
// or blocked one (2 or 3) releases once its time has come, in the same pass, so a
// zero delay completes at once; a change of state is redrawn when animating. Take and
// Release are function objects, so that they are inlined into the block's procedure.
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
  if (b.State != old_state && s.AnimFlag) s.NotifyDrawPlainBlock(id);
}

}  // namespace trevolan

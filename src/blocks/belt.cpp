#include <algorithm>

#include "blocks/compute.h"
#include "blocks/transfer.h"

namespace trevolan {

namespace {

constexpr double kEmptyBelt = 1e-19;

// The load of the last segment goes into the target without asking it: a belt does
// not wait for a full or switched-off target. A fill drop (bb = 0) still fills only an
// empty target; into any other the load is lost, as whatever does not fit is lost.
void DumpLastSegment(Sim& s, TBlock& b, int64_t n) {
  double& last = StoredAt(b, n);
  if (b.Bn <= 0 || last <= 0) return;  // with no target the load falls off the end
  const double amount = b.bb < 0 ? std::min(-b.bb, last) : b.bb;
  if (amount > 0 || s.V(b.Bn) <= 0) DropInto(s, b.Bn, amount);
  last = 0;
}

void ShiftSegments(TBlock& b, int64_t n) {
  for (int64_t k = n; k >= 2; --k) StoredAt(b, k) = StoredAt(b, k - 1);
}

// Segment 1 takes what the source grants, possibly nothing. Block 0, the world
// outside, feeds a belt like any other block it gives to; a negative link feeds none.
void LoadFirstSegment(Sim& s, TBlock& b) {
  StoredAt(b, 1) = 0;
  if (b.An < 0) return;
  const double g = TakeAmount(s, b.An, b.aa);
  TakeOut(s, b.An, g);
  StoredAt(b, 1) = g;
}

}  // namespace

void ComputeBelt(Sim& s, int id) {
  TBlock& b = s.block(id);
  if (b.OnOff <= 0) {
    b.Value = Finite(b.Value + s.Delt, id);  // the next move slides with the clock
    return;
  }
  if (s.Time + s.TimeTol < b.Value) return;
  // The segments are stored 1..n; a list without segment 1 stops here, before the
  // belt has changed anything.
  const int64_t n = StoredHigh(b);
  if (n < 1) throw RangeError();
  b.Value = Finite(ReleaseTime(s, id, ActionValue(s, b.Pn) + b.pp), id);
  const int32_t old_state = b.State;
  DumpLastSegment(s, b, n);
  ShiftSegments(b, n);
  LoadFirstSegment(s, b);
  b.cc = Finite(StoredAbsSum(s, id), id, "total load cc");
  b.State = b.cc <= kEmptyBelt ? 1 : 2;
  if (b.State != old_state && s.AnimFlag) s.NotifyDrawPlainBlock(id);
}

}  // namespace trevolan

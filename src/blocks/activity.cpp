#include <algorithm>

#include "blocks/compute.h"
#include "blocks/transfer.h"

namespace trevolan {

namespace {

// The amount a drop field asks for: itself, or, when negative, what was taken on that
// side, at most its magnitude.
double DropAmount(double field, double taken) { return field < 0 ? std::min(-field, taken) : field; }

// The two transfer slots (stored 1 and 2) must exist before anything is taken or
// delivered, so that a short list stops the block without losing material.
void CheckTransferSlots(TBlock& b) { StoredAt(b, 2); }

void StartActivity(Sim& s, TBlock& b) {
  // Both requests are judged together before either is taken: of one and the same
  // source, B gets only what A leaves.
  const double a = TakeAmount(s, b.An, b.aa);
  const double bq = TakeAmount(s, b.Bn, b.bb, b.Bn == b.An ? a : 0);
  if (!(a > 0 && bq > 0)) return;  // not ready: try again next pass
  CheckTransferSlots(b);
  TakeOut(s, b.An, a);
  TakeOut(s, b.Bn, bq);
  StoredAt(b, 1) = a;
  StoredAt(b, 2) = bq;
  b.State = 2;
  b.Value = Finite(ReleaseTime(s, b.ID, ActionValue(s, b.Pn) + b.pp), b.ID);  // Vp read after the takes
}

void ReleaseActivity(Sim& s, TBlock& b) {
  CheckTransferSlots(b);
  const double c = DropAmount(b.cc, StoredAt(b, 1));
  const double d = DropAmount(b.dd, StoredAt(b, 2));
  if (CanDropBoth(s, b.Cn, c, b.Dn, d)) {
    DropIntoBoth(s, b.Cn, c, b.Dn, d);
    StoredAt(b, 1) = 0;
    StoredAt(b, 2) = 0;
    b.State = 1;
  } else {
    b.State = 3;  // blocked: the release is retried every pass
  }
}

}  // namespace

void ComputeActivity(Sim& s, int id) {
  ComputeTakeHoldRelease(
      s, id, [](Sim& sim, TBlock& b) { StartActivity(sim, b); }, [](Sim& sim, TBlock& b) { ReleaseActivity(sim, b); });
}

}  // namespace trevolan

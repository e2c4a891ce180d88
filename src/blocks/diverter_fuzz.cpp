#include <algorithm>
#include <cmath>

#include "blocks/compute.h"
#include "blocks/transfer.h"

namespace trevolan {

namespace {

// The held load lives in stored 1; it must exist before a take or a delivery, so that
// a short list stops the block without losing material.
void CheckLoadSlot(TBlock& b) { StoredAt(b, 1); }

double Capped(double field, double available) { return field < 0 ? std::min(-field, available) : field; }

void TakeLoad(Sim& s, TBlock& b) {
  const double g = TakeAmount(s, b.An, b.aa);
  if (!(g > 0)) return;
  CheckLoadSlot(b);
  TakeOut(s, b.An, g);
  StoredAt(b, 1) = g;
  b.State = 2;
  b.Value = Finite(ReleaseTime(s, b.ID, ActionValue(s, b.Pn) + b.pp), b.ID);
}

void Delivered(TBlock& b) {
  StoredAt(b, 1) = 0;
  b.State = 1;
}

// The whole load goes to D with probability r, else to C. Both targets must accept,
// although only one receives; a refusal blocks without drawing a number.
void DivertAtRandom(Sim& s, TBlock& b, double r) {
  const double load = StoredAt(b, 1);
  const double c = Capped(b.cc, load);
  const double d = Capped(b.dd, load);
  if (!(CanDrop(s, b.Dn, d) && CanDrop(s, b.Cn, c))) {
    b.State = 3;
    return;
  }
  // U < r: exactly r = 0 never diverts and r = 1 always does.
  if (s.Uniform(b.ID) < r) {
    DropInto(s, b.Dn, d);
  } else {
    DropInto(s, b.Cn, c);
  }
  Delivered(b);
}

// One side of a split: the amount of a negative drop field, capped at the share.
struct SplitDrop {
  int64_t target;
  double amount;
};

// A capped share of nothing (the whole load goes the other way) is no drop at all; as
// an amount of 0 it would be a fill drop that makes the target's whole capacity out of
// nothing, or blocks the diverter for good once that target holds anything. It goes
// to block 0, which accepts anything and keeps nothing.
SplitDrop SplitSide(int64_t target, double field, double share) {
  const double amount = Capped(field, share);
  return {field < 0 && amount <= 0 ? 0 : target, amount};
}

// The fraction r of the load goes to D and the rest to C; the fractions only cap
// negative drop fields. Both drops are judged together, so that two of them into one
// and the same target make no material.
void Split(Sim& s, TBlock& b, double r) {
  const double load = StoredAt(b, 1);
  const SplitDrop d = SplitSide(b.Dn, b.dd, r * load);
  const SplitDrop c = SplitSide(b.Cn, b.cc, (1 - r) * load);
  if (!CanDropBoth(s, d.target, d.amount, c.target, c.amount)) {
    b.State = 3;
    return;
  }
  DropIntoBoth(s, d.target, d.amount, c.target, c.amount);
  Delivered(b);
}

void ReleaseLoad(Sim& s, TBlock& b) {
  CheckLoadSlot(b);
  const double q = s.V(b.Bn) + b.bb;
  const double r = std::max(0.0, std::min(1.0, std::fabs(q)));
  if (q >= 0) {
    DivertAtRandom(s, b, r);
  } else {
    Split(s, b, r);
  }
}

}  // namespace

void ComputeDiverter(Sim& s, int id) {
  ComputeTakeHoldRelease(
      s, id, [](Sim& sim, TBlock& b) { TakeLoad(sim, b); }, [](Sim& sim, TBlock& b) { ReleaseLoad(sim, b); });
}

namespace {

constexpr double kLogGuard = 1e-19;

// Normal with mean 0 and deviation 1 for block id, by the polar method. A point at the
// very centre (w = 0) is drawn again like one outside the circle: its logarithm has no
// value.
double StandardNormal(Sim& s, int id) {
  double u = 0, v = 0, w = 0;
  do {
    u = 2 * s.Uniform(id) - 1;
    v = 2 * s.Uniform(id) - 1;
    w = u * u + v * v;
  } while (w >= 1 || w == 0);
  return u * std::sqrt(-2 * std::log(w) / w);
}

double FuzzDraw(Sim& s, int id, int mode, double size, double offset) {
  switch (mode) {
    case 1: return offset + size * StandardNormal(s, id);
    case 2: return offset - size * std::log(s.Uniform(id) + kLogGuard);
    default: {  // 3: Erlang-3, three fresh draws
      const double l1 = std::log(s.Uniform(id) + kLogGuard);
      const double l2 = std::log(s.Uniform(id) + kLogGuard);
      const double l3 = std::log(s.Uniform(id) + kLogGuard);
      return offset - size * (l1 + l2 + l3) / 3;
    }
  }
}

}  // namespace

namespace {

// A value of Fuzz block id with its inputs as they are now, drawn from `stream`.
double FuzzValue(Sim& s, int id, int stream) {
  const TBlock& b = s.block(id);
  const double size = s.V(b.An) + b.aa;
  const double offset = s.V(b.Bn) + b.bb;
  const int mode = std::max(0, std::min(3, b.State));
  if (mode == 0) return Finite(offset + size * (s.Uniform(stream) - 0.5), id);  // never bounded
  const double lo = s.V(b.Cn) + b.cc;
  const double hi = s.V(b.Dn) + b.dd;
  const double m = FuzzDraw(s, stream, mode, size, offset);
  return Finite(std::max(lo, std::min(hi, m)), id);  // lo wins when the bounds cross
}

}  // namespace

void ComputeFuzz(Sim& s, int id) {
  TBlock& b = s.block(id);
  if (b.OnOff <= 0) return;
  b.State = std::max(0, std::min(3, b.State));
  b.Value = FuzzValue(s, id, id + kBlockSlots);
}

double ActionValue(Sim& s, int64_t id) {
  if (s.block_streams.empty() || id < 1 || id > kMaxBlockID) return s.V(id);
  const TBlock& b = s.block(id);
  if (b.Type != BlockType::Fuzz || b.OnOff <= 0) return b.Value;
  return FuzzValue(s, static_cast<int>(id), static_cast<int>(id));
}

}  // namespace trevolan

#include "blocks/transfer.h"

#include <algorithm>
#include <cmath>

namespace trevolan {

namespace {

// Below this a store counts as empty for an "up to" take.
constexpr double kEmpty = 1e-19;

bool IsStore(const TBlock& b) { return b.Type == 'C' || b.Type == 'I'; }

// The capacity a positive drop is measured against: a Container's Vc + cc, an
// Integrator's bound bb.
double Capacity(const Sim& s, const TBlock& b) { return b.Type == 'C' ? s.V(b.Cn) + b.cc : b.bb; }

}  // namespace

double TakeAmount(Sim& s, int64_t source, double request, double granted) {
  const TBlock& b = s.block(source);
  if (source == 0) return std::fabs(request);  // the world outside gives anything
  if (source <= kReservedIDs || b.OnOff <= 0 || !IsStore(b)) return 0;
  const double held = b.Value - granted;
  if (request < 0) return held > kEmpty ? std::min(held, -request) : 0;
  return held >= request ? request : 0;
}

void TakeOut(Sim& s, int64_t source, double amount) {
  TBlock& b = s.block(source);
  if (source == 0) return;
  b.Value -= amount;
  if (b.Type == 'C') UpdateContainerState(s, source);
}

bool CanDrop(Sim& s, int64_t target, double amount) {
  const TBlock& b = s.block(target);
  if (target == 0) return true;
  if (target <= kReservedIDs || b.OnOff <= 0) return false;
  if (amount <= 0) return b.Value <= 0;  // a fill drop needs an empty target of any type
  if (!IsStore(b)) return false;
  return b.Value + amount <= Capacity(s, b);
}

void DropInto(Sim& s, int64_t target, double amount) {
  TBlock& b = s.block(target);
  if (target == 0 || !IsStore(b)) return;
  b.Value = Finite(b.Value + (amount <= 0 ? Capacity(s, b) : amount), target, "contents after a drop");
  if (b.Type == 'C') UpdateContainerState(s, target);
}

namespace {

bool SameTarget(int64_t t1, int64_t t2) { return t1 == t2 && t1 != 0; }

}  // namespace

bool CanDropBoth(Sim& s, int64_t t1, double a1, int64_t t2, double a2) {
  if (!SameTarget(t1, t2)) return CanDrop(s, t1, a1) && CanDrop(s, t2, a2);
  if (a1 <= 0 && a2 <= 0) return CanDrop(s, t1, 0);  // filled once
  if (a1 > 0 && a2 > 0) return CanDrop(s, t1, a1 + a2);
  // A fill and a positive drop: the target must be empty and keep room for the drop
  // on top of the fill, which only a store whose contents are below -drop has.
  const TBlock& b = s.block(t1);
  const double drop = std::max(a1, a2);
  return CanDrop(s, t1, 0) && IsStore(b) && b.Value + drop <= 0;
}

void DropIntoBoth(Sim& s, int64_t t1, double a1, int64_t t2, double a2) {
  DropInto(s, t1, a1);
  if (SameTarget(t1, t2) && a1 <= 0 && a2 <= 0) return;  // two fills fill it once
  DropInto(s, t2, a2);
}

double ReleaseTime(Sim& s, double delay) {
  if (delay >= 0) return s.Time + delay;
  return s.Time + std::fabs(delay) * Erlang2Unit(s);
}

namespace {

// A uniform number inside (0, 1): a draw of exactly 0 is drawn again, so that its
// logarithm is finite.
double OpenUniform(Sim& s) {
  double u = s.Uniform();
  while (u == 0) u = s.Uniform();
  return u;
}

}  // namespace

double Erlang2Unit(Sim& s) {
  const double u1 = OpenUniform(s);
  const double u2 = OpenUniform(s);
  return -(std::log(u1) + std::log(u2)) / 2;
}

double StoredAbsSum(Sim& s, int64_t id) {
  const TBlock& b = s.block(id);
  if (b.stored.size() < 2) return 0;
  double sum = 0;
  for (double v : b.stored) sum += std::fabs(v);
  return sum;
}

double Interpolate(double x, double x1, double y1, double x2, double y2) {
  if (x2 == x1) return (y1 + y2) / 2;
  return y1 + (x - x1) * (y2 - y1) / (x2 - x1);
}

}  // namespace trevolan

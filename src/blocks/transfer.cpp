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

double TakeAmount(Sim& s, int64_t source, double request) {
  const TBlock& b = s.block(source);
  if (source == 0) return std::fabs(request);  // the world outside gives anything
  if (source <= kReservedIDs || b.OnOff <= 0 || !IsStore(b)) return 0;
  if (request < 0) return b.Value > kEmpty ? std::min(b.Value, -request) : 0;
  return b.Value >= request ? request : 0;
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
  b.Value += amount <= 0 ? Capacity(s, b) : amount;
  if (b.Type == 'C') UpdateContainerState(s, target);
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

#include "blocks/transfer.h"

#include <algorithm>
#include <cmath>

namespace trevolan {

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
  return CanDrop(s, t1, 0) && transfer_detail::IsStore(b) && b.Value + drop <= 0;
}

void DropIntoBoth(Sim& s, int64_t t1, double a1, int64_t t2, double a2) {
  DropInto(s, t1, a1);
  if (SameTarget(t1, t2) && a1 <= 0 && a2 <= 0) return;  // two fills fill it once
  DropInto(s, t2, a2);
}

namespace {

// A uniform number inside (0, 1) for block id: a draw of exactly 0 is drawn again, so
// that its logarithm is finite.
double OpenUniform(Sim& s, int id) {
  double u = s.Uniform(id);
  while (u == 0) u = s.Uniform(id);
  return u;
}

}  // namespace

double Erlang2Unit(Sim& s, int id) {
  const double u1 = OpenUniform(s, id);
  const double u2 = OpenUniform(s, id);
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

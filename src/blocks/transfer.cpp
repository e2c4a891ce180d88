#include "blocks/transfer.h"

#include <algorithm>
#include <cmath>

namespace trevolan {

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

#include <algorithm>
#include <cmath>

#include "blocks/compute.h"
#include "blocks/transfer.h"

namespace trevolan {

namespace {

// A table of n points in a stored list of 2n + 1 elements: values at 1..n, their
// arguments (or bases) at n + 1..2n; element 0 is not part of it.
struct PointTable {
  const TBlock& b;
  int64_t n;
  double value(int64_t k) const { return StoredAt(b, k); }
  double arg(int64_t k) const { return StoredAt(b, n + k); }
};

// The smallest index i in 2..n with x <= arg(i), or 0 when there is none (x is NaN or
// the arguments do not ascend).
int64_t FirstAtOrAbove(const PointTable& t, double x) {
  for (int64_t i = 2; i <= t.n; ++i) {
    if (x <= t.arg(i)) return i;
  }
  return 0;
}

// The function of a table at x, constant beyond its first and last points.
double Lookup(const PointTable& t, double x) {
  if (x <= t.arg(1)) return t.value(1);
  if (x >= t.arg(t.n)) return t.value(t.n);
  const int64_t i = FirstAtOrAbove(t, x);
  if (i == 0) return x;  // only a NaN gets here; it stays NaN
  // At an argument itself the point's own value, exactly.
  if (x == t.arg(i)) return t.value(i);
  return Interpolate(x, t.arg(i - 1), t.value(i - 1), t.arg(i), t.value(i));
}

}  // namespace

void ComputeGenerator(Sim& s, int id) {
  TBlock& g = s.block(id);
  if (g.OnOff <= 0) return;
  // Any block may hold the table; IDs below 21 mean 21, above HighestBlock the highest.
  const int64_t table_id = std::max<int64_t>(21, std::min<int64_t>(s.HighestBlock, g.Pn));
  const TBlock& table = s.block(table_id);
  const int64_t h = StoredHigh(table);
  const int64_t n = h / 2;
  if (n < 2 || h % 2 != 0) {
    g.Value = 0;  // no usable table: an odd number of elements, at least 5, is needed
    return;
  }
  const double x = (s.V(g.An) + g.aa - s.V(g.Bn) - g.bb) * (s.V(g.Cn) + g.cc);
  g.Value = Finite(g.pp * Lookup(PointTable{table, n}, x), id);
}

namespace {

// Drops the oldest sample and puts (a, b) in as the newest.
void TakeSample(TBlock& m, int64_t n, double a, double b) {
  for (int64_t k = 1; k <= n - 1; ++k) {
    StoredAt(m, k) = StoredAt(m, k + 1);
    StoredAt(m, n + k) = StoredAt(m, n + k + 1);
  }
  StoredAt(m, n) = a;
  StoredAt(m, 2 * n) = b;
}

}  // namespace

void ComputeMemory(Sim& s, int id) {
  TBlock& m = s.block(id);
  if (m.OnOff <= 0) {
    m.dd = Finite(m.dd + s.Delt, id, "next sample time dd");  // the next sample slides with the clock
    return;
  }
  if (m.stored.size() < 2) throw RangeError();  // no history to look up
  const bool due = s.Time + s.TimeTol >= m.dd;
  const double a = s.V(m.An);
  const double b = s.V(m.Bn);
  const double target = b - std::fabs(s.V(m.Cn) + m.cc);
  const int64_t n = StoredHigh(m) / 2;
  if (due) {
    m.dd = Finite(ReleaseTime(s, id, s.V(m.Pn) + m.pp), id, "next sample time dd");
    TakeSample(m, n, a, b);
  }
  const PointTable hist{m, n};
  if (target <= hist.arg(1)) {
    m.Value = Finite(hist.value(1), id);
  } else if (target >= hist.arg(n)) {
    // Beyond the newest sample: between it and the present inputs, in every mode.
    m.Value = Finite(Interpolate(target, hist.arg(n), hist.value(n), b, a), id);
  } else if (const int64_t i = FirstAtOrAbove(hist, target); i != 0) {
    if (m.State == 0) {
      // Sample and hold; a target on a sample's basis, to within TimeTol, is that
      // sample, as at the newest one, so that a delay of a whole number of sample
      // times is exact rather than one sample late.
      const bool on_sample = hist.arg(i) - target <= s.TimeTol;
      m.Value = Finite(hist.value(on_sample ? i : i - 1), id);
    } else if (m.State == 1) {
      m.Value = Finite(Interpolate(target, hist.arg(i - 1), hist.value(i - 1), hist.arg(i), hist.value(i)), id);
    }
  }
}

}  // namespace trevolan

#include "study/statistics.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace trevolan::study {

namespace {

// P(|T| <= t) for Student's t with df degrees of freedom, by the finite series of
// Abramowitz and Stegun 26.7.3 and 26.7.4 in theta = atan(t / sqrt(df)): only atan,
// sin and cos, no special functions.
double CentralProbability(double t, int64_t df) {
  const double theta = std::atan(t / std::sqrt(static_cast<double>(df)));
  const double s = std::sin(theta), c = std::cos(theta), c2 = c * c;
  if (df % 2 == 0) {
    double term = 1, sum = 1;
    for (int64_t k = 2; k <= df - 2; k += 2) {
      term *= c2 * static_cast<double>(k - 1) / static_cast<double>(k);
      sum += term;
    }
    return s * sum;
  }
  double sum = 0;
  if (df > 1) {
    double term = c;
    sum = c;
    for (int64_t k = 3; k <= df - 2; k += 2) {
      term *= c2 * static_cast<double>(k - 1) / static_cast<double>(k);
      sum += term;
    }
  }
  return 2 / std::numbers::pi * (theta + s * sum);
}

}  // namespace

double StudentT(int64_t df, double level) {
  // The cases of a study mostly share their number of runs: the last answer is kept,
  // since one costs a series of df / 2 terms for each of some fifty halvings.
  thread_local int64_t last_df = 0;
  thread_local double last_level = 0, last_t = 0;
  if (df == last_df && level == last_level) return last_t;
  double lo = 0, hi = 1;
  while (CentralProbability(hi, df) < level) hi *= 2;
  for (int i = 0; i < 200 && hi - lo > 1e-13 * hi; ++i) {
    const double mid = (lo + hi) / 2;
    (CentralProbability(mid, df) < level ? lo : hi) = mid;
  }
  last_df = df;
  last_level = level;
  return last_t = (lo + hi) / 2;
}

void RunningSummary::Add(double x) {
  ++n_;
  const double d = x - mean_;
  mean_ += d / static_cast<double>(n_);
  m2_ += d * (x - mean_);
}

SampleSummary RunningSummary::Result(double level) const {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  SampleSummary r{n_, n_ == 0 ? kNaN : mean_, kNaN, kNaN};
  if (n_ < 2) return r;
  r.sd = std::sqrt(m2_ / static_cast<double>(n_ - 1));
  r.ci = StudentT(n_ - 1, level) * r.sd / std::sqrt(static_cast<double>(n_));
  return r;
}

SampleSummary Summarize(const std::vector<double>& sample, double level) {
  RunningSummary s;
  for (const double x : sample) s.Add(x);
  return s.Result(level);
}

}  // namespace trevolan::study

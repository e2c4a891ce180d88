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

double StudentT95(int64_t df) {
  double lo = 0, hi = 1;
  while (CentralProbability(hi, df) < 0.95) hi *= 2;
  for (int i = 0; i < 200 && hi - lo > 1e-13 * hi; ++i) {
    const double mid = (lo + hi) / 2;
    (CentralProbability(mid, df) < 0.95 ? lo : hi) = mid;
  }
  return (lo + hi) / 2;
}

SampleSummary Summarize(const std::vector<double>& sample) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  SampleSummary r;
  double m2 = 0;
  for (const double x : sample) {
    ++r.n;
    const double d = x - r.mean;
    r.mean += d / static_cast<double>(r.n);
    m2 += d * (x - r.mean);
  }
  if (r.n == 0) r.mean = kNaN;
  if (r.n < 2) {
    r.sd = r.ci95 = kNaN;
    return r;
  }
  r.sd = std::sqrt(m2 / static_cast<double>(r.n - 1));
  r.ci95 = StudentT95(r.n - 1) * r.sd / std::sqrt(static_cast<double>(r.n));
  return r;
}

}  // namespace trevolan::study

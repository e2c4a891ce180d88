#pragma once
#include <cstdint>
#include <vector>

namespace trevolan::study {

// The two-sided quantile of Student's t distribution with df degrees of freedom
// (df >= 1) at the confidence level (0 < level < 1): the t for which
// P(|T| <= t) = level. Exact to about 1e-12.
double StudentT(int64_t df, double level);
inline double StudentT95(int64_t df) { return StudentT(df, 0.95); }

// What a case's runs say about one measure.
struct SampleSummary {
  int64_t n = 0;
  double mean = 0;
  double sd = 0;  // sample standard deviation (n - 1 in the denominator); NaN when n < 2
  double ci = 0;  // half-width of the confidence interval of the mean at the level asked; NaN when n < 2
};

// Mean and deviation gathered one value at a time (Welford's sums, so a large common
// offset loses no digits and nothing but three numbers is kept).
class RunningSummary {
 public:
  void Add(double x);
  int64_t n() const { return n_; }
  // An empty sample gives n 0 and NaN elsewhere.
  SampleSummary Result(double level) const;

 private:
  int64_t n_ = 0;
  double mean_ = 0, m2_ = 0;
};

SampleSummary Summarize(const std::vector<double>& sample, double level = 0.95);

}  // namespace trevolan::study

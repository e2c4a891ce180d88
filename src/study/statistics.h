#pragma once
#include <cstdint>
#include <vector>

namespace trevolan::study {

// The two-sided 95% quantile of Student's t distribution with df degrees of freedom
// (df >= 1): the t for which P(|T| <= t) = 0.95. Exact to about 1e-12.
double StudentT95(int64_t df);

// What a case's runs say about one measure.
struct SampleSummary {
  int64_t n = 0;
  double mean = 0;
  double sd = 0;    // sample standard deviation (n - 1 in the denominator); NaN when n < 2
  double ci95 = 0;  // half-width of the 95% confidence interval of the mean; NaN when n < 2
};

// Mean, deviation and confidence interval of a sample (Welford's sums, so a large
// common offset loses no digits). An empty sample gives n 0 and NaN elsewhere.
SampleSummary Summarize(const std::vector<double>& sample);

}  // namespace trevolan::study

#pragma once
#include <cstdint>
#include <span>
#include <vector>

// One long run's interval: its series after the warm-up cut into K non-overlapping
// batches of equal length, the samples left over after the last whole batch dropped.
// Batches long against the series' memory have nearly independent means, so the
// t-interval of the K means stands for the run's mean; the lag-1 correlation of the
// means tells when they are not long enough.
//
//   std::vector<double> means = BatchMeans(series, 20);  // 20 means, or none for fewer than 20 samples
//   double r1 = Lag1Correlation(means);
namespace trevolan::study {

inline constexpr int64_t kFewestBatches = 10, kMostBatches = 30;
inline constexpr int64_t kFewestBatchSamples = 10;  // fewer and a batch mean is mostly noise of its own
inline constexpr double kLag1Warning = 0.2;         // above it the batches are too short to be independent

std::vector<double> BatchMeans(std::span<const double> series, int64_t batches);

// sum (x_i - m)(x_{i+1} - m) / sum (x_i - m)^2 over the means; NaN for fewer than three
// means or means all alike.
double Lag1Correlation(std::span<const double> means);

}  // namespace trevolan::study

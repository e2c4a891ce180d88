#pragma once
#include <cstddef>
#include <span>

// Where a run's start-up ends, judged from its own samples: MSER-5 (the marginal
// standard error rule on batches of five). The samples are cut into batches of five,
// those left over after the last whole batch dropped; dropping the first d batches
// leaves B - d batch means whose marginal standard error is
//   sum over the kept batches of (Z_j - mean of the kept)^2 / (B - d)^2,
// and the d that makes it least, searched from 0 to B / 2 (ties to the smaller d),
// is the truncation. A start-up bias inflates the spread of the kept means, a short
// remainder the factor 1 / (B - d): the least of the two balances them.
//
//   size_t drop = MserTruncation(samples);   // a multiple of 5: samples[drop] is the first kept
namespace trevolan::study {

inline constexpr size_t kMserBatch = 5;

// The number of leading samples to drop (d whole batches); 0 for fewer than two batches.
size_t MserTruncation(std::span<const double> samples, size_t batch = kMserBatch);

}  // namespace trevolan::study

#include "study/mser.h"

#include <vector>

namespace trevolan::study {

size_t MserTruncation(std::span<const double> samples, size_t batch) {
  const size_t batches = batch == 0 ? 0 : samples.size() / batch;
  if (batches < 2) return 0;
  std::vector<double> means(batches);
  for (size_t j = 0; j < batches; ++j) {
    double sum = 0;
    for (size_t i = 0; i < batch; ++i) sum += samples[j * batch + i];
    means[j] = sum / static_cast<double>(batch);
  }
  // The kept means' squared deviations for every d, gathered from the end (Welford's
  // sums, so a large level of the series loses no digits).
  std::vector<double> spread(batches);
  double mean = 0, m2 = 0;
  for (size_t j = batches; j-- > 0;) {
    const double n = static_cast<double>(batches - j);
    const double delta = means[j] - mean;
    mean += delta / n;
    m2 += delta * (means[j] - mean);
    spread[j] = m2;
  }
  size_t best = 0;
  double least = 0;
  for (size_t d = 0; d <= batches / 2; ++d) {
    const double kept = static_cast<double>(batches - d);
    const double mser = spread[d] / (kept * kept);
    if (d == 0 || mser < least) {
      least = mser;
      best = d;
    }
  }
  return best * batch;
}

}  // namespace trevolan::study

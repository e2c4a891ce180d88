#include "study/batch_means.h"

#include <cmath>
#include <limits>

namespace trevolan::study {

std::vector<double> BatchMeans(std::span<const double> series, int64_t batches) {
  if (batches < 1) return {};
  const size_t size = series.size() / static_cast<size_t>(batches);
  if (size == 0) return {};
  std::vector<double> means;
  for (size_t j = 0; j < static_cast<size_t>(batches); ++j) {
    double sum = 0;
    for (size_t i = 0; i < size; ++i) sum += series[j * size + i];
    means.push_back(sum / static_cast<double>(size));
  }
  return means;
}

double Lag1Correlation(std::span<const double> means) {
  const double none = std::numeric_limits<double>::quiet_NaN();
  if (means.size() < 3) return none;
  double mean = 0;
  for (double x : means) mean += x;
  mean /= static_cast<double>(means.size());
  double lagged = 0, squares = 0;
  for (size_t i = 0; i < means.size(); ++i) {
    squares += (means[i] - mean) * (means[i] - mean);
    if (i + 1 < means.size()) lagged += (means[i] - mean) * (means[i + 1] - mean);
  }
  return squares > 0 ? lagged / squares : none;
}

}  // namespace trevolan::study

#include "study/selection.h"

#include <algorithm>
#include <cmath>

namespace trevolan::study {

namespace {

constexpr double kMostRuns = 1e12;  // as many as a count option takes

}  // namespace

Selection::Selection(int64_t cases, int64_t first_stage, double indifference, double probability, bool largest,
                     std::optional<int64_t> limit)
    : cases_(static_cast<size_t>(cases)),
      first_stage_(first_stage),
      indifference_(indifference),
      h2_(BandConstant(cases, first_stage, probability)),
      sign_(largest ? 1.0 : -1.0),
      given_limit_(limit),
      limit_(first_stage) {}

double Selection::BandConstant(int64_t cases, int64_t first_stage, double probability) {
  const double alpha = 1 - probability, k = static_cast<double>(cases), n0 = static_cast<double>(first_stage);
  const double eta = 0.5 * (std::pow(2 * alpha / (k - 1), -2 / (n0 - 1)) - 1);
  return 2 * eta * (n0 - 1);
}

void Selection::Add(int64_t case_number, int64_t replication, std::optional<double> value) {
  Case& c = cases_[static_cast<size_t>(case_number - 1)];
  if (!c.in) return;
  if (!value || !std::isfinite(*value)) {
    c.failed = true;
    return;
  }
  const double x = sign_ * *value;
  c.sum += x;
  if (replication <= first_stage_) {
    c.first.resize(static_cast<size_t>(first_stage_));
    c.first[static_cast<size_t>(replication - 1)] = x;
  }
}

// S^2 of every pair over the first stage, and the procedure's own bound: past
// h^2 S^2 / D^2 runs a pair's band is closed, so every case but those of equal means
// has left by the largest of them; that bound is the limit unless one is given.
void Selection::LearnVariances() {
  const size_t k = cases_.size();
  variances_.assign(k * k, 0.0);
  double most = static_cast<double>(first_stage_);
  for (size_t i = 0; i < k; ++i) {
    for (size_t l = i + 1; l < k; ++l) {
      if (cases_[i].failed || cases_[l].failed) continue;
      const std::vector<double>& a = cases_[i].first;
      const std::vector<double>& b = cases_[l].first;
      double mean = 0;
      for (size_t j = 0; j < a.size(); ++j) mean += a[j] - b[j];
      mean /= static_cast<double>(a.size());
      double squares = 0;
      for (size_t j = 0; j < a.size(); ++j) squares += (a[j] - b[j] - mean) * (a[j] - b[j] - mean);
      const double s2 = squares / static_cast<double>(a.size() - 1);
      variances_[i * k + l] = variances_[l * k + i] = s2;
      most = std::max(most, std::floor(std::min(kMostRuns, h2_ * s2 / (indifference_ * indifference_))) + 1);
    }
    std::vector<double>().swap(cases_[i].first);  // not needed any more
  }
  // Past the bound only cases of equal means are left (identical runs under common random
  // numbers), which a given limit runs to its end before it settles them.
  limit_ = given_limit_ ? *given_limit_ : static_cast<int64_t>(std::min(most, kMostRuns));
}

void Selection::Leave(int64_t case_number, int64_t runs) {
  Case& c = cases_[static_cast<size_t>(case_number - 1)];
  c.in = false;
  c.left_after = runs;
}

std::vector<int64_t> Selection::Screen(int64_t replications) {
  if (decided_) return {};
  if (replications == first_stage_) LearnVariances();
  std::vector<int64_t> in;
  for (size_t i = 0; i < cases_.size(); ++i) {
    const auto number = static_cast<int64_t>(i + 1);
    if (!cases_[i].in) continue;
    if (cases_[i].failed) {
      Leave(number, replications);
      failed_cases_.push_back(number);
    } else {
      in.push_back(number);
    }
  }
  // Case i leaves when its mean is below that of another case l still in by more than
  // their band W_il(r) = max(0, D / (2r) (h^2 S_il^2 / D^2 - r)).
  const auto r = static_cast<double>(replications);
  const double d = indifference_;
  std::vector<int64_t> kept;
  for (const int64_t i : in) {
    const double mean_i = cases_[static_cast<size_t>(i - 1)].sum / r;
    const bool beaten = std::any_of(in.begin(), in.end(), [&](int64_t l) {
      if (l == i) return false;
      const double band = std::max(0.0, d / (2 * r) * (h2_ * Variance(static_cast<size_t>(i - 1), static_cast<size_t>(l - 1)) / (d * d) - r));
      return mean_i < cases_[static_cast<size_t>(l - 1)].sum / r - band;
    });
    if (!beaten) kept.push_back(i);
  }
  for (const int64_t i : in) {
    if (std::find(kept.begin(), kept.end(), i) == kept.end()) Leave(i, replications);
  }
  if (kept.size() <= 1 || replications >= limit_) Decide(kept, replications);
  return decided_ ? (chosen_ > 0 ? std::vector<int64_t>{chosen_} : std::vector<int64_t>{}) : kept;
}

// The case of the best mean among those left (the first of equals), the others leaving.
void Selection::Decide(const std::vector<int64_t>& in, int64_t replications) {
  decided_ = true;
  for (const int64_t i : in) {
    if (chosen_ == 0 || cases_[static_cast<size_t>(i - 1)].sum > cases_[static_cast<size_t>(chosen_ - 1)].sum) {
      chosen_ = i;
    }
  }
  for (const int64_t i : in) {
    if (i != chosen_) Leave(i, replications);
  }
}

std::optional<int64_t> Selection::eliminated_after(int64_t case_number) const {
  return cases_[static_cast<size_t>(case_number - 1)].left_after;
}

}  // namespace trevolan::study

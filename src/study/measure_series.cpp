#include "study/measure_series.h"

#include <algorithm>
#include <cmath>

#include "model/errors.h"
#include "model/numbers.h"
#include "study/batch_means.h"
#include "study/mser.h"
#include "study/study.h"

namespace trevolan::study {

void MeasureSeries::Begin(double start, double grdel, double timetol) {
  start_ = start;
  grdel_ = grdel;
  timetol_ = timetol;
  samples_.clear();
  times_.clear();
  segments_.clear();
}

void MeasureSeries::Add(double time, double value, double delt, bool after_step) {
  // The k-th sample is due at Start + k GrDel, reckoned from Start each time so that
  // no rounding piles up over a long run.
  if (grdel_ > 0 && time + timetol_ >= start_ + static_cast<double>(samples_.size()) * grdel_) {
    samples_.push_back(value);
    times_.push_back(time);
    segments_.emplace_back();
  }
  if (segments_.empty()) return;
  Segment& s = segments_.back();
  if (after_step) {  // a step's value stands for the Delt that ends at it, as the mean takes it
    s.sum += value * delt;
    s.weight += delt;
  }
  s.min = s.min ? std::min(*s.min, value) : value;
  s.max = s.max ? std::max(*s.max, value) : value;
}

size_t MeasureSeries::FirstFrom(double warmup) const {
  size_t i = 0;
  while (i < times_.size() && times_[i] + timetol_ < warmup) ++i;
  return i;
}

MeasureSeries::Taken MeasureSeries::From(size_t i) const {
  Taken t;
  double sum = 0, weight = 0;
  for (size_t j = i; j < segments_.size(); ++j) {
    const Segment& s = segments_[j];
    sum += s.sum;
    weight += s.weight;
    if (s.min) t.min = t.min ? std::min(*t.min, *s.min) : *s.min;
    if (s.max) t.max = t.max ? std::max(*t.max, *s.max) : *s.max;
  }
  if (weight > 0) t.mean = sum / weight;
  return t;
}

void SeriesTally::Add(const std::optional<double>& warmup, const std::vector<double>& batch_means,
                      RunningSummary& measure) {
  if (warmup) {
    warmup_sum_ += *warmup;
    ++warmups_;
    warmup_max_ = warmup_max_ ? std::max(*warmup_max_, *warmup) : *warmup;
  }
  if (batch_means.empty()) return;
  for (double x : batch_means) measure.Add(x);
  const double lag1 = Lag1Correlation(batch_means);
  lag1_ = std::isnan(lag1) ? std::nullopt : std::optional<double>(lag1);
}

SeriesTally::Result SeriesTally::result() const {
  Result r{std::nullopt, warmup_max_, lag1_};
  if (warmups_ > 0) r.warmup_mean = warmup_sum_ / static_cast<double>(warmups_);
  return r;
}

// ---- A run's series concluded ----

void ConcludeSeries(const StudyPlan& plan, const std::vector<MeasureSeries>& series, RunResult& r) {
  // Taken whole or not at all: a run that fails keeps no values.
  std::vector<std::optional<double>> values = r.values, warmups(plan.measures.size());
  std::vector<std::vector<double>> batch_means(plan.measures.size());
  for (size_t m = 0; m < plan.measures.size(); ++m) {
    const Measure& measure = plan.measures[m];
    const MeasureSeries& s = series[m];
    const bool warms = measure.statistic == Statistic::kMean || measure.statistic == Statistic::kMin ||
                       measure.statistic == Statistic::kMax;
    size_t from = s.FirstFrom(plan.warmup);
    if (plan.warmup_auto && warms && !s.samples().empty()) {
      from = MserTruncation(s.samples());
      warmups[m] = s.due(from);
      const MeasureSeries::Taken taken = s.From(from);
      values[m] = measure.statistic == Statistic::kMean  ? taken.mean
                    : measure.statistic == Statistic::kMin ? taken.min
                                                           : taken.max;
    }
    if (!plan.batches) continue;
    const std::span<const double> kept = s.samples().subspan(std::min(from, s.samples().size()));
    if (static_cast<int64_t>(kept.size()) < *plan.batches * kFewestBatchSamples) {
      throw SimError("--batches " + std::to_string(*plan.batches) + ": " + measure.name + " has " +
                     std::to_string(kept.size()) + " samples after the warm-up, fewer than " +
                     std::to_string(kFewestBatchSamples) + " a batch");
    }
    batch_means[m] = BatchMeans(kept, *plan.batches);
  }
  r.values = std::move(values);
  if (plan.warmup_auto) r.warmups = std::move(warmups);
  if (plan.batches) r.batch_means = std::move(batch_means);
}

// ---- The options checked before the first run ----

namespace {

// The fewest samples each GrDel that any case's run takes after its warm-up: from the
// latest Start to the earliest FinTim at the longest GrDel, less the most that MSER-5
// may drop (half the batches) or the fixed warm-up.
int64_t FewestKeptSamples(const StudyPlan& plan, const Sim& after_sets) {
  double start = after_sets.Start, finish = after_sets.FinTim, grdel = after_sets.GrDel;
  for (const Variation& v : plan.variations) {
    for (const std::string& value : v.values) {
      const double x = ParseFileNumber(value).value_or(0);
      if (v.target == "Start") start = std::max(start, x);
      if (v.target == "FinTim") finish = std::min(finish, x);
      if (v.target == "GrDel") grdel = std::max(grdel, x);
    }
  }
  if (!(grdel > 0) || !(finish > start)) return 0;
  const double tol = after_sets.TimeTol;
  const auto samples = static_cast<int64_t>(std::floor((finish - start + tol) / grdel)) + 1;
  if (plan.warmup_auto) return samples - static_cast<int64_t>(kMserBatch) * (samples / static_cast<int64_t>(kMserBatch) / 2);
  if (!(plan.warmup > start)) return samples;
  return samples - static_cast<int64_t>(std::ceil((plan.warmup - tol - start) / grdel));
}

}  // namespace

void Study::CheckSeriesOptions(const Sim& after_sets) const {
  if (!plan_.batches) return;
  const std::string option = "--batches " + std::to_string(*plan_.batches);
  if (plan_.replications != 1) {
    throw StudyUsageError(option + ": batch means split one long run: give --replications 1, not " +
                          std::to_string(plan_.replications));
  }
  if (plan_.precision) throw StudyUsageError(option + ": one long run a case; --precision adds runs");
  if (plan_.crn) throw StudyUsageError(option + ": one long run a case; --crn pairs replications");
  for (const Measure& m : plan_.measures) {
    if (m.statistic != Statistic::kMean) {
      throw StudyUsageError(option + ": batch means estimate a time average; --measure " + m.name +
                            " is no mean: measure");
    }
  }
  const int64_t kept = FewestKeptSamples(plan_, after_sets);
  if (kept < *plan_.batches * kFewestBatchSamples) {
    throw StudyUsageError(option + ": a run keeps " + std::to_string(std::max<int64_t>(kept, 0)) +
                          " samples (one each GrDel) after the warm-up" +
                          (plan_.warmup_auto ? " at the latest MSER-5 point" : "") + ", fewer than " +
                          std::to_string(kFewestBatchSamples) +
                          " a batch: give fewer batches, a longer run (FinTim) or a shorter GrDel");
  }
}

}  // namespace trevolan::study

#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "study/statistics.h"

// A measure's target sampled once each GrDel from Start on (Start included) through a
// whole run, the tape's limit aside, with what the steps between two samples say: their
// sum weighted by Delt, their least and their most. Once the run has ended, the measure
// can then be taken from any sample on, as a fixed warm-up at that sample's time would
// have taken it: from the MSER-5 point of --warmup auto; and the samples after the
// warm-up are the series that --batches cuts into batch means.
//
//   series.Begin(start, grdel, timetol);            // after RESET
//   series.Add(time, value, delt, after_step);      // after RESET and after every step
//   size_t from = MserTruncation(series.samples());
//   std::optional<double> mean = series.From(from).mean;
namespace trevolan::study {

class MeasureSeries {
 public:
  void Begin(double start, double grdel, double timetol);
  // A sample of the run: the one after RESET (after_step false), or after a step.
  void Add(double time, double value, double delt, bool after_step);

  std::span<const double> samples() const { return samples_; }
  // The time sample i was due, Start + i GrDel: a warm-up of that time keeps it and no
  // sample before it.
  double due(size_t i) const { return start_ + static_cast<double>(i) * grdel_; }
  // The first sample a warm-up keeps: Time + TimeTol >= warmup; size() when none.
  size_t FirstFrom(double warmup) const;

  // The measures over the run's samples from sample i on (i < size of samples()):
  // those of a warm-up at its time.
  struct Taken {
    std::optional<double> mean, min, max;
  };
  Taken From(size_t i) const;

 private:
  struct Segment {  // the run's samples from one sample of the series up to the next
    double sum = 0, weight = 0;
    std::optional<double> min, max;
  };
  double start_ = 0, grdel_ = 0, timetol_ = 0;
  std::vector<double> samples_, times_;
  std::vector<Segment> segments_;
};

// What --warmup auto and --batches say of a case's runs, measure by measure.
class SeriesTally {
 public:
  // A run's truncation time (none without --warmup auto) and batch means (none without
  // --batches); the batch means are the case's sample in `measure`.
  void Add(const std::optional<double>& warmup, const std::vector<double>& batch_means, RunningSummary& measure);
  struct Result {
    std::optional<double> warmup_mean, warmup_max, lag1;
  };
  Result result() const;

 private:
  // Summed, not by Welford's update, so that truncations on the GrDel grid average to
  // round times (150, not 150.00000000000003).
  double warmup_sum_ = 0;
  int64_t warmups_ = 0;
  std::optional<double> warmup_max_, lag1_;
};

}  // namespace trevolan::study

#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/sim.h"

// Samples of chosen targets as a run goes, kept apart from the model's own tape (which
// holds ten channels and its last 10,001 rows): any number of targets, every sample.
//
//   SampleRecorder r(s, {"102.Value", "Delt"}, 0.1);  // the first sample now
//   StepSubscription recording(s, r);                 // a sample each 0.1 of Time
//   ... run ...
//   r.cells(): rows of Time and the targets
//
// A recording belongs to one run: RESET starts it afresh with the run's first state,
// and one made before the model's first RESET (`run_begun` false) waits for it (or for
// the first step of a run that goes on without one).
namespace trevolan::commands {

class SampleRecorder : public StepObserver {
 public:
  // UsageError for a target that is no number, and for an interval `every` that is not
  // above 0, or too short for the clock to tell its sample times apart at the run's
  // times (below the spacing of doubles at Start, Time or FinTim).
  SampleRecorder(Sim& s, const std::vector<std::string>& targets, double every, bool run_begun = true);

  // The run starts again: the samples so far are dropped, the first is this state.
  void AfterReset(const Sim& s) override;
  // A sample when Time has reached the next sample time (to within TimeTol), as the
  // tape's rows fall due at GrNext: the samples of a run at GrDel are the tape's rows.
  Reply AfterStep(const Sim& s) override {
    if (next_ - s.TimeTol > s.Time) return Reply::kGoOn;
    if (waiting_) {
      StartAt(s);
    } else {
      Sample(s);
      NextAfter(s);
    }
    return Reply::kGoOn;
  }

  size_t columns() const { return reads_.size() + 1; }  // Time, then the targets
  int64_t rows() const { return static_cast<int64_t>(cells_.size() / columns()); }
  const std::vector<double>& cells() const { return cells_; }
  std::vector<double> TakeCells() { return std::move(cells_); }

 private:
  void Sample(const Sim& s);
  // The recording's first sample, at the run's time now.
  void StartAt(const Sim& s);
  void ReserveToFinTim(const Sim& s);
  // The first sample time after Time: Start + k * every, counted in k rather than summed,
  // so that it moves on however large the times and however small the interval; a
  // recording begun mid-run keeps to the same times as one begun at Start.
  void NextAfter(const Sim& s);

  // A number that lies in the Sim (a block's Value or field, a global) is read through
  // its address; anything else through the target's reader.
  struct Read {
    const double* direct = nullptr;
    std::function<double()> call;
  };
  std::vector<Read> reads_;
  double every_, start_ = 0, next_ = 0;
  bool waiting_ = false;  // for the run to begin: the first sample is its first state
  double k_ = 0;  // the number of the next sample: next_ = start_ + k_ * every_ (start_ the run's Start)
  std::vector<double> cells_;
};

}  // namespace trevolan::commands

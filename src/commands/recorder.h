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
namespace trevolan::commands {

class SampleRecorder : public StepObserver {
 public:
  // UsageError for a target that is no number; every <= 0 or not finite: RangeError.
  SampleRecorder(Sim& s, const std::vector<std::string>& targets, double every);

  // A sample when Time has reached the next sample time (to within TimeTol), as the
  // tape's rows fall due at GrNext: the samples of a run at GrDel are the tape's rows.
  Reply AfterStep(const Sim& s) override {
    if (next_ - s.TimeTol > s.Time) return Reply::kGoOn;
    Sample(s);
    while (!(next_ - s.TimeTol > s.Time)) next_ += every_;
    return Reply::kGoOn;
  }

  size_t columns() const { return reads_.size() + 1; }  // Time, then the targets
  int64_t rows() const { return static_cast<int64_t>(cells_.size() / columns()); }
  const std::vector<double>& cells() const { return cells_; }
  std::vector<double> TakeCells() { return std::move(cells_); }

 private:
  void Sample(const Sim& s);

  // A number that lies in the Sim (a block's Value or field, a global) is read through
  // its address; anything else through the target's reader.
  struct Read {
    const double* direct = nullptr;
    std::function<double()> call;
  };
  std::vector<Read> reads_;
  double every_, next_;
  std::vector<double> cells_;
};

}  // namespace trevolan::commands

#pragma once
#include <chrono>
#include <exception>
#include <optional>

#include "casters.h"

// progress= and timeout= of simulate() and study(): the Python function that shows how
// far a run or a study got, and the time it may take, watched from the thread that
// runs without the interpreter's lock.
namespace trevolan::python {

class Watch {
 public:
  // `progress`: None, or a function progress(done, total) called about ten times a
  // second; `timeout`: seconds of wall-clock time, none for no limit. A timeout that is
  // no number above 0 is a ValueError.
  Watch(py::object progress, std::optional<double> timeout);
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;

  // Asked often while the work goes on: shows `done` of `total` when a tenth of a second
  // has passed since the last, and says whether to stop (the time is up, or the progress
  // function raised).
  bool Stop(double done, double total);
  // The work ended: the last progress shown, then the progress function's error raised.
  // With the interpreter's lock.
  void End(double done, double total);
  bool timed_out() const { return timed_out_; }
  // "the timeout of 2 s was reached", for the message of a run cut short.
  std::string TimeoutText() const;

 private:
  void Show(double done, double total);

  py::object progress_;
  std::optional<std::chrono::duration<double>> timeout_;
  std::chrono::steady_clock::time_point started_, shown_;
  bool timed_out_ = false;
  std::exception_ptr failure_;  // the progress function's error
};

// A Watch asked after every 64th step of a run: Time of the time it runs to.
class RunWatch : public StepObserver {
 public:
  RunWatch(Watch& watch, double until) : watch_(watch), until_(until) {}
  Reply AfterStep(const Sim& s) override {
    if (++steps_ % 64 != 0) return Reply::kGoOn;
    return watch_.Stop(s.Time, until_) ? Reply::kStop : Reply::kGoOn;
  }

 private:
  Watch& watch_;
  double until_;
  int64_t steps_ = 0;
};

}  // namespace trevolan::python

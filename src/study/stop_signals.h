#pragma once
#include <csignal>

namespace trevolan::study {

// SIGINT and SIGTERM held back for the life of this object and taken when asked, so
// that a study ends politely: no run handed out any more, the runs done kept. Made
// before any thread is started, so that every thread inherits the blocked signals.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Whether one of them has arrived (since the last time it said so, or before).
  bool Arrived();

 private:
  sigset_t stop_{}, previous_{};
  bool arrived_ = false;
};

}  // namespace trevolan::study

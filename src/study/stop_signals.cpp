#include "study/stop_signals.h"

#include <pthread.h>

#include <ctime>

namespace trevolan::study {

StopSignals::StopSignals() {
  sigemptyset(&stop_);
  sigaddset(&stop_, SIGINT);
  sigaddset(&stop_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_, &previous_);
}

StopSignals::~StopSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

bool StopSignals::Arrived() {
  const timespec now{0, 0};
  while (sigtimedwait(&stop_, nullptr, &now) > 0) arrived_ = true;
  return arrived_;
}

}  // namespace trevolan::study

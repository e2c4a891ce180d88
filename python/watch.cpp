#include "watch.h"

#include <cmath>

#include "model/numbers.h"

namespace trevolan::python {

Watch::Watch(py::object progress, std::optional<double> timeout)
    : progress_(std::move(progress)), started_(std::chrono::steady_clock::now()), shown_(started_) {
  if (!progress_.is_none() && !PyCallable_Check(progress_.ptr())) {
    throw py::type_error("progress: expected a function progress(done, total), True or None, got " +
                         ReprOf(progress_));
  }
  if (timeout) {
    if (!(*timeout > 0) || !std::isfinite(*timeout)) {
      throw py::value_error("timeout " + FormatGeneral(*timeout) + ": the seconds allowed must be a number above 0");
    }
    timeout_ = std::chrono::duration<double>(*timeout);
  }
}

bool Watch::Stop(double done, double total) {
  const auto now = std::chrono::steady_clock::now();
  if (timeout_ && now - started_ >= *timeout_) timed_out_ = true;
  if (!progress_.is_none() && !failure_ && now - shown_ >= std::chrono::milliseconds(100)) {
    shown_ = now;
    py::gil_scoped_acquire gil;
    Show(done, total);
  }
  return timed_out_ || failure_;
}

void Watch::End(double done, double total) {
  if (!failure_ && !progress_.is_none()) Show(done, total);
  if (failure_) std::rethrow_exception(failure_);
}

std::string Watch::TimeoutText() const {
  return "the timeout of " + FormatGeneral(timeout_ ? timeout_->count() : 0) + " s was reached";
}

void Watch::Show(double done, double total) {
  try {
    progress_(done, total);
  } catch (...) {
    failure_ = std::current_exception();
  }
}

}  // namespace trevolan::python

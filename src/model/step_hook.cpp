#include "model/step_hook.h"

#include <algorithm>

#include "model/sim.h"

namespace trevolan {

void StepHook::Unsubscribe(StepObserver& o) { std::erase(observers_, &o); }

void StepHook::TellReset(const Sim& s) {
  for (StepObserver* o : observers_) o->AfterReset(s);
}

bool StepHook::TellStep(const Sim& s) {
  // Every observer sees the step, also after one has asked to stop.
  for (StepObserver* o : observers_) {
    if (o->AfterStep(s) == StepObserver::Reply::kStop) stop_asked_ = true;
  }
  return stop_asked_;
}

StepSubscription::StepSubscription(Sim& s, StepObserver& o) : s_(s), o_(o) { s_.step_hook.Subscribe(o_); }
StepSubscription::~StepSubscription() { s_.step_hook.Unsubscribe(o_); }

}  // namespace trevolan

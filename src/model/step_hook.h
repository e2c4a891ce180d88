#pragma once
#include <vector>

// Who watches a run step by step besides the window: a study's measures, Python's
// recorder, the checks that let a user stop a run. They read the model after RESET and
// after every step of the run loop, and may ask the run to stop there; the window's
// message processing is the window's own (Frontend::ProcessMessages).
//
//   class Sampler : public StepObserver {
//     Reply AfterStep(const Sim& s) override { ...; return Reply::kGoOn; }
//   };
//   Sampler sampler;
//   StepSubscription watching(sim, sampler);  // until it goes out of scope
namespace trevolan {

struct Sim;

class StepObserver {
 public:
  enum class Reply { kGoOn, kStop };
  virtual ~StepObserver() = default;
  // After RESET (the button): the model at its start. A repetition's rewind inside a
  // run is no RESET; an observer sees it as the steps it is made of.
  virtual void AfterReset(const Sim& /*s*/) {}
  // After every step of the run loop, its events done, before the window's turn.
  // kStop holds the run after this step; the operation that ran it says it was
  // interrupted (engine/run_operations.h).
  virtual Reply AfterStep(const Sim& s) = 0;
};

// The observers of one Sim, told in the order they subscribed.
class StepHook {
 public:
  void Subscribe(StepObserver& o) { observers_.push_back(&o); }
  void Unsubscribe(StepObserver& o);

  void AfterReset(const Sim& s) {
    if (!observers_.empty()) [[unlikely]] TellReset(s);
  }
  // True when an observer asked the run to stop. With nobody listening, one test of a
  // predictable branch: the run loop asks after every step.
  [[gnu::always_inline]] bool AfterStep(const Sim& s) {
    if (observers_.empty()) [[likely]] return false;
    return TellStep(s);
  }

  // Whether an observer asked to stop since the last run started (ForgetStop).
  bool stop_asked() const { return stop_asked_; }
  void ForgetStop() { stop_asked_ = false; }

 private:
  void TellReset(const Sim& s);
  bool TellStep(const Sim& s);

  std::vector<StepObserver*> observers_;
  bool stop_asked_ = false;
};

// An observer subscribed to a Sim's hook for as long as this lives.
class StepSubscription {
 public:
  StepSubscription(Sim& s, StepObserver& o);
  ~StepSubscription();
  StepSubscription(const StepSubscription&) = delete;
  StepSubscription& operator=(const StepSubscription&) = delete;

 private:
  Sim& s_;
  StepObserver& o_;
};

}  // namespace trevolan

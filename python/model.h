#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "commands/recorder.h"
#include "commands/targets.h"
#include "display/headless_frontend.h"
#include "engine/run_operations.h"
#include "model/sim.h"

// One simulator as Python sees it: the calls of the batch runner's commands on a Sim
// of its own, without the text of a script in between. Nothing here knows Python; the
// bindings (py_model.h) release the interpreter around every call.
namespace trevolan::python {

// The program's own warnings, kept until the bindings hand them to Python; drawing is
// the batch runner's (HeadlessFrontend), so a model computes the same in both.
class CollectingFrontend : public HeadlessFrontend {
 public:
  void ShowMessage(const std::string& text) override { said.push_back(text); }
  std::vector<std::string> said;
};

// Asks about every 50 ms of a run whether it must stop (Ctrl-C in Python): a run that
// must holds at its next step, usable, and its operation says it was interrupted.
class InterruptCheck : public StepObserver {
 public:
  explicit InterruptCheck(std::function<bool()> interrupted) : interrupted_(std::move(interrupted)) {}
  Reply AfterStep(const Sim& s) override;
  bool asked() const { return asked_; }

 private:
  std::function<bool()> interrupted_;
  int64_t steps_ = 0;
  std::chrono::steady_clock::time_point last_check_{};
  bool asked_ = false;
};

// The recorded tape as one block of rows: row-major, `columns` doubles a row (the
// time, then the channels).
struct TapeRows {
  int64_t rows = 0, columns = 0;
  std::vector<double> cells;
};

// A freshly started program without a window. Every call runs under the model's own
// lock, so two threads may share a model (one waits) and threads with a model each run
// in parallel. Errors are the core's SimError family and the batch runner's UsageError.
class Model {
 public:
  Model();
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  // Runs `work` on the simulator under the lock. The warnings it raised are returned
  // in `said` also when it fails (then it rethrows).
  // `interrupted`, when given, is asked now and then during a run whether to stop it;
  // true when it said so and the run was held.
  // A call from inside one of the model's own (its exchange function, in the middle of
  // a step) is a UsageError: the model may only be read then (Inspect).
  template <typename Work>
  bool Do(Work&& work, std::vector<std::string>& said, std::function<bool()> interrupted = nullptr) {
    if (owner_ == std::this_thread::get_id()) {
      throw UsageError("the model is in the middle of a step, in its exchange function: there it can be read "
                       "(model[target]), not changed or run");
    }
    std::lock_guard lock(mutex_);
    const Owning owning(owner_);
    std::exception_ptr failure;
    InterruptCheck check(std::move(interrupted));
    try {
      const StepSubscription checking(*sim_, check);
      work(*sim_);
    } catch (...) {
      failure = std::current_exception();
    }
    said.swap(frontend_.said);
    frontend_.said.clear();
    if (failure) std::rethrow_exception(failure);
    return check.asked();
  }

  // Runs `read` on the simulator under the lock, or at once when this thread holds it
  // already: the model's exchange function reads the model it is part of.
  template <typename Read>
  void Inspect(Read&& read) const {
    if (owner_ == std::this_thread::get_id()) return read(std::as_const(*sim_));
    std::lock_guard lock(mutex_);
    const Owning owning(owner_);
    read(std::as_const(*sim_));
  }

  // Samples of `outputs` every `every` of Time (none: GrDel) from now on, kept apart
  // from the tape; a new recording replaces the last. The outputs are targets or block
  // names, each a column of that name; none: the tape's channels by their blocks' names.
  // Time is the index of every recording, so it is no column of its own; a name given
  // twice would be two columns of one name (UsageError).
  // A recording made before the model's first reset starts with it.
  void Record(Sim& s, const std::optional<std::vector<std::string>>& outputs, std::optional<double> every);
  // The columns and targets of a recording of `outputs`, checked as Record checks them.
  struct Outputs {
    std::vector<std::string> names, targets;
  };
  static Outputs OutputsOf(Sim& s, const std::optional<std::vector<std::string>>& outputs);
  // RESET: the run starts afresh (engine's Reset), and with it the recording.
  RunOutcome ResetRun(Sim& s);
  // Whether a run has begun (a reset since the model was made), for copies and pickles.
  bool begun() const { return begun_; }
  void set_begun(bool begun) { begun_ = begun; }
  void StopRecording() {
    if (recorder_) sim_->step_hook.Unsubscribe(*recorder_);
    recorder_.reset();
    recorded_.clear();
  }
  // The columns of the recording and its samples so far, rows of Time and the columns.
  const std::vector<std::string>& recorded() const { return recorded_; }
  std::vector<double> Samples() const { return recorder_ ? recorder_->cells() : std::vector<double>{}; }

  // The whole state of the model and its run as bytes (exact_state.h), and the state
  // that such bytes hold brought back bit for bit; a recording starts again from it.
  std::string State(const Sim& s) const;
  void Restore(Sim& s, const std::string& state);

  // This model's state made that of `other` (model, run and view), as a copy of it.
  void CopyFrom(const Model& other);

  // The rows 0..TapeIndex of the time and the TapeChannels channels.
  static TapeRows Tape(const Sim& s);
  // Column 0 (the Time block) and the channels: their blocks' names and IDs.
  static std::vector<std::pair<std::string, int32_t>> Channels(const Sim& s);

 private:
  // The thread holding the lock, for the time it holds it.
  struct Owning {
    explicit Owning(std::atomic<std::thread::id>& owner) : owner_(owner) { owner_ = std::this_thread::get_id(); }
    ~Owning() { owner_ = std::thread::id(); }
    Owning(const Owning&) = delete;
    Owning& operator=(const Owning&) = delete;
    std::atomic<std::thread::id>& owner_;
  };

  mutable std::mutex mutex_;
  mutable std::atomic<std::thread::id> owner_{};
  std::unique_ptr<Sim> sim_;
  std::unique_ptr<commands::SampleRecorder> recorder_;
  std::vector<std::string> recorded_;  // the columns of the recording, as named
  bool begun_ = false;                 // a reset since the model was made
  CollectingFrontend frontend_;
};

}  // namespace trevolan::python

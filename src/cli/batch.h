#pragma once
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>

#include "cli/script.h"
#include "model/sim.h"

namespace trevolan::cli {

// What the batch runner tells its user in place of the window: the program's own
// warnings as "message: " lines on the output.
class BatchFrontend : public Frontend {
 public:
  explicit BatchFrontend(std::ostream& out) : out_(out) {}
  void ShowMessage(const std::string& text) override { out_ << "message: " << text << '\n'; }

 private:
  std::ostream& out_;
};

// The batch runner: a freshly started program without a window, driven by commands
// that act as the window's buttons, menus and dialogs do.
class Batch {
 public:
  explicit Batch(std::ostream& out);

  // Runs one command. The core's errors are written as "error: " lines and the state
  // stays as far as the command got; a UsageError (unknown command, wrong number of
  // arguments) propagates to the caller, which ends the script.
  void Execute(const Command& command);

  Sim& sim() { return *sim_; }
  bool had_error() const { return had_error_; }
  std::ostream& out() { return out_; }

  // Presses of RUN made by the last finish command and steps it took.
  int64_t presses() const { return presses_; }

 private:
  struct Handler {
    size_t min_args, max_args;
    std::function<void(const Command&)> run;
  };
  void Register();

  std::ostream& out_;
  BatchFrontend frontend_;
  std::unique_ptr<Sim> sim_;
  std::map<std::string, Handler> handlers_;
  bool had_error_ = false;
  int64_t presses_ = 0;
};

}  // namespace trevolan::cli

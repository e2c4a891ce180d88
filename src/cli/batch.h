#pragma once
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>

#include "cli/dialog_typing.h"
#include "cli/script.h"
#include "display/headless_frontend.h"
#include "model/sim.h"

namespace trevolan::cli {

// What the batch runner tells its user in place of the window: the program's own
// warnings as "message: " lines on the output, and, when asked, a progress line of
// the running clock on a terminal. It draws as the window does (HeadlessFrontend).
class BatchFrontend : public HeadlessFrontend {
 public:
  explicit BatchFrontend(std::ostream& out) : out_(out) {}
  void ShowMessage(const std::string& text) override;
  void ProcessMessages() override;

  // Shows "time reached and share of FinTim" on `progress`, at most a few times a second.
  void ShowProgress(const Sim* sim, std::ostream* progress);
  void EndProgress();

 private:
  std::ostream& out_;
  const Sim* sim_ = nullptr;
  std::ostream* progress_ = nullptr;
  bool progress_shown_ = false;
  unsigned calls_ = 0;
  std::chrono::steady_clock::time_point last_progress_{};
};

// The batch runner: a freshly started program without a window, driven by commands
// that act as the window's buttons, menus and dialogs do.
class Batch {
 public:
  using Handler = std::function<void(const Command&)>;

  explicit Batch(std::ostream& out);

  // Runs one command. The core's errors are written as "error: " lines and the state
  // stays as far as the command got; a UsageError (unknown command, wrong number of
  // arguments) propagates to the caller, which ends the script.
  void Execute(const Command& command);

  // Makes a command known, with the numbers of arguments it takes.
  void Add(const std::string& name, size_t min_args, size_t max_args, Handler run);
  static constexpr size_t kMany = static_cast<size_t>(-1);

  Sim& sim() { return *sim_; }
  BatchFrontend& frontend() { return frontend_; }
  bool had_error() const { return had_error_; }
  std::ostream& out() { return out_; }

 private:
  struct Entry {
    size_t min_args, max_args;
    Handler run;
  };

  std::ostream& out_;
  BatchFrontend frontend_;
  std::unique_ptr<Sim> sim_;
  std::map<std::string, Entry> handlers_;
  bool had_error_ = false;
};

// The commands by area, each in a file of its own.
void AddFileCommands(Batch& b);     // new, open, start, save, save-model, save-tape, set, print
void AddRunCommands(Batch& b);      // reset, run, step, finish, compute
void AddEditCommands(Batch& b);     // click, create, insert, copy, delete, apply, timing, numbers
void AddDisplayCommands(Batch& b);  // render-diagram, render-plot
void AddLinkCommands(Batch& b);     // link

}  // namespace trevolan::cli

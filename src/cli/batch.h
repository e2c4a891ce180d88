#pragma once
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/help.h"
#include "commands/dialog_typing.h"
#include "cli/script.h"
#include "display/headless_frontend.h"
#include "engine/run_operations.h"
#include "model/sim.h"
#include "model/tape_csv.h"

namespace trevolan::cli {

// What the batch runner tells its user in place of the window: the program's own
// warnings as "message: " lines on the output, and, when asked, a progress line of
// the running clock on a terminal. It draws as the window does (HeadlessFrontend).
class BatchFrontend : public HeadlessFrontend {
 public:
  explicit BatchFrontend(std::ostream& out) : out_(out) {}
  void ShowMessage(const std::string& text) override;
  // The first problems as messages; how many more on standard error, a line of its own.
  void ShowProblems(const std::vector<std::string>& first, const std::string& more) override;
  void ProcessMessages() override;
  void TapeRowRecorded() override;

  // Streams every recorded row into `csv` from now on (null: no more).
  void StreamTape(TapeCsvWriter* csv) { tape_csv_ = csv; }

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
  TapeCsvWriter* tape_csv_ = nullptr;
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

  // Makes a command known with its help, whose synopsis sets the numbers of arguments
  // the command takes: adding a command is one call with its help and its handler.
  void Add(CommandHelp help, Handler run);

  // UsageError unless the command is known and has a number of arguments its synopsis
  // allows; Execute checks every command so before it runs it.
  void Check(const Command& command) const;

  // The help of every command, by name.
  std::vector<const CommandHelp*> Commands() const;

  Sim& sim() { return *sim_; }
  BatchFrontend& frontend() { return frontend_; }
  bool had_error() const { return had_error_; }
  std::ostream& out() { return out_; }

  // How the last of the run commands (reset, run, step, finish) ended.
  const RunOutcome& last_run() const { return last_run_; }
  void Ran(const RunOutcome& o) { last_run_ = o; }

  // Notes that are neither output nor errors of the program (a finish that stopped
  // short of FinTim) go to `notes` (standard error), a line each; null: nowhere.
  void SendNotesTo(std::ostream* notes) { notes_ = notes; }
  void Note(const std::string& text);

 private:
  struct Entry {
    CommandHelp help;
    Arity arity;
    Handler run;
  };

  std::ostream& out_;
  BatchFrontend frontend_;
  std::unique_ptr<Sim> sim_;
  std::map<std::string, Entry> handlers_;
  bool had_error_ = false;
  RunOutcome last_run_;
  std::ostream* notes_ = nullptr;
};

// The commands by area, each in a file of its own.
void AddFileCommands(Batch& b);     // new, open, start, save, save-model, save-tape, set, print
void AddRunCommands(Batch& b);      // reset, run, step, finish, compute, seed
void AddEditCommands(Batch& b);     // click, create, insert, copy, delete, apply, timing, numbers
void AddDisplayCommands(Batch& b);  // render-diagram, render-plot
void AddLinkCommands(Batch& b);     // link

// A text as the batch runner echoes it: control characters written as \xHH, so that
// nothing a model or a script holds can drive the user's terminal.
std::string EscapeControls(const std::string& text);

}  // namespace trevolan::cli

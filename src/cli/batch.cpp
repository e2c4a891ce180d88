#include "cli/batch.h"

#include <new>

#include "model/numbers.h"

namespace trevolan::cli {

void BatchFrontend::ShowMessage(const std::string& text) { out_ << "message: " << text << '\n'; }

void BatchFrontend::ShowProgress(const Sim* sim, std::ostream* progress) {
  sim_ = sim;
  progress_ = progress;
  last_progress_ = std::chrono::steady_clock::now();
}

void BatchFrontend::ProcessMessages() {
  // The clock is read only every 4096 steps, so a run without a terminal pays nothing.
  if (!progress_ || (++calls_ & 4095u) != 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_progress_ < std::chrono::milliseconds(250)) return;
  last_progress_ = now;
  const double share = sim_->FinTim != 0 ? 100.0 * sim_->Time / sim_->FinTim : 0.0;
  *progress_ << "\rTime " << FormatGeneral(sim_->Time) << " (" << FormatFixed(share, 1, 5) << "% of FinTim)   "
             << std::flush;
  progress_shown_ = true;
}

void BatchFrontend::EndProgress() {
  if (progress_ && progress_shown_) *progress_ << '\n' << std::flush;
  progress_ = nullptr;
  progress_shown_ = false;
}

Batch::Batch(std::ostream& out) : out_(out), frontend_(out), sim_(std::make_unique<Sim>()) {
  sim_->frontend = &frontend_;
  frontend_.Attach(*sim_);
  // The first paint of the window when it is activated; from then on links are drawn
  // only by full redraws.
  frontend_.FormPaint();
  AddFileCommands(*this);
  AddRunCommands(*this);
  AddEditCommands(*this);
  AddDisplayCommands(*this);
  AddLinkCommands(*this);
}

void Batch::Add(const std::string& name, size_t min_args, size_t max_args, Handler run) {
  handlers_[name] = Entry{min_args, max_args, std::move(run)};
}

void Batch::Execute(const Command& command) {
  if (command.empty()) return;
  const auto it = handlers_.find(command[0]);
  if (it == handlers_.end()) throw UsageError("unknown command: " + command[0]);
  const size_t args = command.size() - 1;
  const Entry& e = it->second;
  if (args < e.min_args || args > e.max_args) throw UsageError("wrong number of arguments: " + command[0]);
  try {
    e.run(command);
  } catch (const SimError& error) {
    had_error_ = true;
    out_ << "error: " << error.what() << '\n';
  } catch (const std::bad_alloc&) {
    had_error_ = true;
    out_ << "error: Out of memory\n";
  }
  out_.flush();
}

}  // namespace trevolan::cli

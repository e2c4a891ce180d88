#include "cli/batch.h"

#include <iostream>
#include <new>
#include <stdexcept>

#include "model/fields.h"
#include "model/numbers.h"

namespace trevolan::cli {

void BatchFrontend::ShowMessage(const std::string& text) { out_ << "message: " << EscapeControls(text) << '\n'; }

void BatchFrontend::ShowProblems(const std::vector<std::string>& first, const std::string& more) {
  for (const std::string& text : first) ShowMessage(text);
  if (more.empty()) return;
  out_.flush();
  std::cerr << EscapeControls(more) << std::endl;
}

void BatchFrontend::TapeRowRecorded() {
  if (tape_csv_ && model()) tape_csv_->WriteRow(*model());
}

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

void Batch::Add(CommandHelp help, Handler run) {
  const Arity arity = ArityOf(help.synopsis);
  const std::string name = help.name;
  const bool added = handlers_.try_emplace(name, Entry{std::move(help), arity, std::move(run)}).second;
  if (!added) throw std::logic_error("a command added twice to the batch runner: " + name);
}

void Batch::Check(const Command& command) const {
  if (command.empty()) return;
  const auto it = handlers_.find(command[0]);
  if (it == handlers_.end()) {
    std::vector<std::string> names;
    for (const auto& [name, entry] : handlers_) names.push_back(name);
    throw UsageError("unknown command: " + command[0] + commands::Suggestion(command[0], names));
  }
  const size_t args = command.size() - 1;
  const Arity& arity = it->second.arity;
  if (args < arity.min || args > arity.max) {
    const CommandHelp& h = it->second.help;
    throw UsageError("wrong number of arguments: " + command[0] +
                     (h.synopsis.empty() ? " (it takes none)" : " (" + h.name + " " + h.synopsis + ")"));
  }
}

std::vector<const CommandHelp*> Batch::Commands() const {
  std::vector<const CommandHelp*> list;
  for (const auto& [name, entry] : handlers_) list.push_back(&entry.help);
  return list;
}

void Batch::Execute(const Command& command) {
  if (command.empty()) return;
  Check(command);
  const Entry& e = handlers_.find(command[0])->second;
  try {
    e.run(command);
  } catch (RangeError& error) {
    had_error_ = true;
    out_ << "error: " << EscapeControls(error.what()) << '\n';
    // Which value went beyond its bounds, on standard error: the error line stays the
    // one every script expects.
    if (error.detail.empty()) error.detail = RangeFaultDetail(sim());
    out_.flush();
    if (!error.detail.empty()) std::cerr << "detail: " << EscapeControls(error.detail) << std::endl;
  } catch (const SimError& error) {
    had_error_ = true;
    out_ << "error: " << EscapeControls(error.what()) << '\n';
  } catch (const std::bad_alloc&) {
    had_error_ = true;
    out_ << "error: Out of memory\n";
  }
  out_.flush();
}

void Batch::Note(const std::string& text) {
  if (notes_) *notes_ << EscapeControls(text) << '\n' << std::flush;
}

std::string EscapeControls(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) {
      out += "\\x";
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace trevolan::cli

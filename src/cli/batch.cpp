#include "cli/batch.h"

#include "cli/targets.h"
#include "model/file_commands.h"
#include "model/numbers.h"

namespace trevolan::cli {

namespace {

constexpr size_t kMany = static_cast<size_t>(-1);

void NotAvailableYet(const Command&) { throw SimError("not available yet"); }

}  // namespace

Batch::Batch(std::ostream& out) : out_(out), frontend_(out), sim_(std::make_unique<Sim>()) {
  sim_->frontend = &frontend_;
  Register();
}

void Batch::Register() {
  Sim& s = *sim_;
  handlers_ = {
      {"new", {0, 0, [&s](const Command&) { FileNew(s); }}},
      {"open", {1, 1, [&s](const Command& c) { FileOpen(s, c[1]); }}},
      {"start", {1, 1, [&s](const Command& c) { StartupLoad(s, c[1]); }}},
      {"save", {1, 1, [&s](const Command& c) { FileSaveAs(s, c[1]); }}},
      {"save-model", {0, 0, [&s](const Command&) { FileSaveModel(s); }}},
      {"save-tape", {1, 1, [&s](const Command& c) { FileSaveTapeAs(s, c[1]); }}},
      {"set", {2, kMany, [&s](const Command& c) {
                 SetTarget(s, c[1], std::vector<std::string>(c.begin() + 2, c.end()));
               }}},
      {"print", {1, kMany, [this, &s](const Command& c) {
                   std::string line;
                   for (size_t i = 1; i < c.size(); ++i) line += (i > 1 ? " " : "") + PrintTarget(s, c[i]);
                   out_ << line << '\n';
                 }}},
      {"reset", {0, 0, NotAvailableYet}},
      {"run", {0, 0, NotAvailableYet}},
      {"step", {0, 0, NotAvailableYet}},
      {"finish", {0, 1, NotAvailableYet}},
      {"compute", {0, 0, NotAvailableYet}},
      {"click", {1, 1, NotAvailableYet}},
      {"create", {1, 3, NotAvailableYet}},
      {"insert", {2, 4, NotAvailableYet}},
      {"copy", {2, 4, NotAvailableYet}},
      {"delete", {1, 1, NotAvailableYet}},
      {"apply", {1, kMany, NotAvailableYet}},
      {"timing", {0, kMany, NotAvailableYet}},
      {"timing-defaults", {0, 0, NotAvailableYet}},
      {"numbers", {0, kMany, NotAvailableYet}},
      {"numbers-defaults", {0, 0, NotAvailableYet}},
      {"link", {1, 1, NotAvailableYet}},
      {"render-diagram", {1, 1, NotAvailableYet}},
      {"render-plot", {1, 1, NotAvailableYet}},
  };
}

void Batch::Execute(const Command& command) {
  if (command.empty()) return;
  const auto it = handlers_.find(command[0]);
  if (it == handlers_.end()) throw UsageError("unknown command: " + command[0]);
  const size_t args = command.size() - 1;
  const Handler& h = it->second;
  if (args < h.min_args || args > h.max_args) throw UsageError("wrong number of arguments: " + command[0]);
  try {
    h.run(command);
  } catch (const SimError& e) {
    had_error_ = true;
    out_ << "error: " << e.what() << '\n';
  }
  out_.flush();
}

}  // namespace trevolan::cli

#include "cli/runner.h"

#include "cli/batch.h"
#include "model/atomic_file.h"
#include "model/numbers.h"

namespace trevolan::cli {

namespace {

// "--name VALUE" or "--name=VALUE"; advances i past what it took.
std::optional<std::string> OptionValue(const std::vector<std::string>& args, size_t& i, const std::string& name) {
  const std::string& a = args[i];
  if (a == name) {
    if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
    return args[++i];
  }
  if (a.rfind(name + "=", 0) == 0) return a.substr(name.size() + 1);
  return std::nullopt;
}

}  // namespace

RunOptions ParseRunOptions(const std::vector<std::string>& args) {
  RunOptions o;
  bool have_model = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (auto v = OptionValue(args, i, "--tape")) {
      o.tape = v;
    } else if (auto v2 = OptionValue(args, i, "--save")) {
      o.save = v2;
    } else if (auto v3 = OptionValue(args, i, "--max-presses")) {
      o.max_presses = v3;
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      throw UsageError("unknown option: " + args[i]);
    } else if (!have_model) {
      o.model = args[i];
      have_model = true;
    } else {
      throw UsageError("run takes one model");
    }
  }
  if (!have_model) throw UsageError("run needs a model");
  return o;
}

int RunModel(const RunOptions& options, std::ostream& out, std::ostream* progress) {
  Batch batch(out);
  const Sim& s = batch.sim();
  batch.Execute({"open", options.model});
  batch.Execute({"reset"});
  const int64_t steps_before = s.StepsTaken;
  Command finish{"finish"};
  if (options.max_presses) finish.push_back(*options.max_presses);
  batch.frontend().ShowProgress(&s, progress);
  batch.Execute(finish);
  batch.frontend().EndProgress();
  if (options.tape) batch.Execute({"save-tape", *options.tape});
  if (options.save) batch.Execute({"save", *options.save});
  out << "finished at Time " << FormatGeneral(s.Time) << " after " << (s.StepsTaken - steps_before)
      << " steps, tape rows " << (s.TapeIndex + 1) << '\n';
  return batch.had_error() ? 1 : 0;
}

std::vector<ScriptSource> ParseExecOptions(const std::vector<std::string>& args) {
  std::vector<ScriptSource> sources;
  for (size_t i = 0; i < args.size(); ++i) {
    if (auto f = OptionValue(args, i, "-f")) {
      sources.push_back({true, *f});
    } else if (auto c = OptionValue(args, i, "-c")) {
      sources.push_back({false, *c});
    } else {
      throw UsageError("unknown option: " + args[i]);
    }
  }
  return sources;
}

int ExecScripts(const std::vector<ScriptSource>& sources, std::ostream& out) {
  Batch batch(out);
  for (const ScriptSource& source : sources) {
    std::string text = source.text;
    if (source.is_file) {
      try {
        text = ReadWholeFile(source.text);
      } catch (const SimError& e) {
        throw UsageError("cannot read script " + source.text + ": " + e.what());
      }
    }
    for (const Command& command : ParseScript(text, !source.is_file)) batch.Execute(command);
  }
  return batch.had_error() ? 1 : 0;
}

}  // namespace trevolan::cli

#include "study/study.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <map>
#include <mutex>
#include <new>
#include <thread>

#include "commands/targets.h"
#include "engine/run_operations.h"
#include "editing/field_edit.h"
#include "commands/options.h"
#include "model/atomic_file.h"
#include "model/fields.h"
#include "model/file_commands.h"
#include "model/numbers.h"
#include "model/seed.h"
#include "model/sim_copy.h"
#include "model/tape_csv.h"

namespace trevolan::study {

namespace {

// NAME=TEXT split at the first '='.
std::pair<std::string, std::string> SplitAtEquals(const std::string& option, const std::string& text) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) throw StudyUsageError(option + " " + text + ": expected TARGET=VALUE");
  return {text.substr(0, eq), text.substr(eq + 1)};
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

double NumberOrUsage(const std::string& option, const std::string& text) {
  const auto v = ParseFileNumber(text);
  if (!v) throw StudyUsageError(option + ": '" + text + "' is not a valid floating point value");
  return *v;
}

int64_t CountOrUsage(const std::string& option, const std::string& text) {
  const auto v = ParseFileNumber(text);
  constexpr double kMaxCount = 1e12;
  if (!v || !(*v >= 1 && *v <= kMaxCount) || std::floor(*v) != *v) {
    throw StudyUsageError(option + ": '" + text + "' is not a whole number from 1 to " + FormatGeneral(kMaxCount));
  }
  return static_cast<int64_t>(*v);
}

// A whole stored list takes its values separated by blanks; every other target one text.
std::vector<std::string> ValuesFor(const std::string& target, const std::string& value) {
  if (target.size() < 7 || target.compare(target.size() - 7, 7, ".stored") != 0) return {value};
  std::vector<std::string> values;
  for (const std::string& part : SplitAt(value, ' ')) {
    if (!part.empty()) values.push_back(part);
  }
  return values;
}

// The target and the typed value of TARGET=VALUE, the text read as the command line
// reads numbers.
std::pair<Target, FieldValue> TypedAssignment(const Sim& s, const std::string& target, const std::string& value) {
  const Target t = commands::ParseTarget(commands::TargetOfName(s, target));
  return {t, commands::ValueOfTexts(t, ValuesFor(target, value))};
}

// The one typed write of every face: a value the model's rules would run as another is
// refused (every value is checked before the first run, so a run never meets one).
void ApplyAssignment(Sim& s, const std::string& target, const std::string& value) {
  auto [t, v] = TypedAssignment(s, target, value);
  SetField(s, t, std::move(v));
}

// A set is applied to the scratch model, so that the checks after it see it as a run
// does; a varied value is only checked.
void CheckAssignment(Sim& scratch, const std::string& option, const std::string& target, const std::string& value,
                     bool apply) {
  try {
    auto [t, v] = TypedAssignment(scratch, target, value);
    if (apply) {
      SetField(scratch, t, std::move(v));
    } else {
      CheckField(scratch, t, v);
    }
  } catch (const UsageError& e) {
    throw StudyUsageError(option + ": " + e.what());
  } catch (const SimError& e) {
    throw StudyUsageError(option + ": " + e.what());
  }
}

// A time step varied: the target's row when it is one.
const GlobalField* TimeStepGlobal(const std::string& target) {
  const GlobalField* g = FindGlobalField(target);
  if (!g) return nullptr;
  TimeSteps probe{1, 2, 3};
  SetTimeStep(probe, *g, -1);
  return probe.Delt < 0 || probe.GrDel < 0 || probe.Holdstep < 0 ? g : nullptr;
}

// Samples the measures after RESET and after every step of one run, and stops the run
// at its next step once the study is asked to stop.
class MeasureRecorder : public StepObserver {
 public:
  MeasureRecorder(const std::vector<Measure>& measures, double warmup, const std::atomic<bool>* stop)
      : measures_(measures), warmup_(warmup), stop_(stop) {}

  // The measures' targets found in the model that is to run.
  void Prepare(Sim& s) {
    reads_.clear();
    for (const Measure& m : measures_) reads_.push_back(commands::NumberTarget(s, commands::TargetOfName(s, m.target)));
  }
  void AfterReset(const Sim& s) override {
    states_.assign(measures_.size(), State{});
    Sample(s, false);
  }
  Reply AfterStep(const Sim& s) override {
    if (stop_ && stop_->load(std::memory_order_relaxed)) return Reply::kStop;
    Sample(s, true);
    return Reply::kGoOn;
  }

  std::vector<std::optional<double>> Results() const {
    std::vector<std::optional<double>> out;
    for (const State& st : states_) out.push_back(st.value);
    for (size_t m = 0; m < measures_.size(); ++m) {
      if (measures_[m].statistic == Statistic::kMean && states_[m].weight > 0) {
        out[m] = states_[m].sum / states_[m].weight;
      }
    }
    return out;
  }

 private:
  struct State {
    std::optional<double> value;
    double sum = 0, weight = 0;
  };

  void Sample(const Sim& s, bool after_step) {
    const double t = s.Time + s.TimeTol;
    const bool warm = t >= warmup_;
    for (size_t m = 0; m < measures_.size(); ++m) {
      State& st = states_[m];
      const std::function<double()>& read = reads_[m];
      switch (measures_[m].statistic) {
        case Statistic::kFinal: st.value = read(); break;
        case Statistic::kAt:
          if (!st.value && t >= measures_[m].at) st.value = read();
          break;
        case Statistic::kMin:
          if (warm) st.value = st.value ? std::min(*st.value, read()) : read();
          break;
        case Statistic::kMax:
          if (warm) st.value = st.value ? std::max(*st.value, read()) : read();
          break;
        case Statistic::kMean:
          if (warm && after_step) {
            st.sum += read() * s.Delt;
            st.weight += s.Delt;
          }
          break;
      }
    }
  }

  const std::vector<Measure>& measures_;
  double warmup_;
  const std::atomic<bool>* stop_;
  std::vector<std::function<double()>> reads_;
  std::vector<State> states_;
};

// The run's tape, as save-tape-csv writes it; a file that cannot be written fails the run.
void WriteRunTape(const Sim& s, const std::string& path) {
  try {
    SaveTapeCsv(s, path);
  } catch (const SimError& e) {
    throw SimError(std::string("--tapes: ") + e.what());
  }
}

}  // namespace

std::string TapeFileName(RunKey key) {
  return "case-" + std::to_string(key.case_number) + "-rep-" + std::to_string(key.replication) + ".csv";
}

Assignment ParseAssignment(const std::string& option, const std::string& text) {
  auto [target, value] = SplitAtEquals(option, text);
  return {target, value};
}

Variation ParseVariation(const std::string& text) {
  const std::string option = "--vary " + text;
  auto [target, list] = SplitAtEquals("--vary", text);
  Variation v{target, {}};
  const auto range = SplitAt(list, ':');
  if (range.size() == 3 && list.find(',') == std::string::npos) {
    const double from = NumberOrUsage(option, range[0]);
    const double to = NumberOrUsage(option, range[1]);
    if (!std::isfinite(from) || !std::isfinite(to)) throw StudyUsageError(option + ": the range's ends must be finite");
    const int64_t count = CountOrUsage(option, range[2]);
    if (count > 1000000) throw StudyUsageError(option + ": more than 1000000 values");
    for (int64_t i = 0; i < count; ++i) {
      const double x = i == count - 1 && count > 1
                           ? to
                           : from + (to - from) * static_cast<double>(i) / static_cast<double>(count - 1 ? count - 1 : 1);
      v.values.push_back(FormatGeneral(x));
    }
    return v;
  }
  for (const std::string& item : SplitAt(list, ',')) {
    if (item.empty()) throw StudyUsageError(option + ": empty value in the list");
    v.values.push_back(item);
  }
  return v;
}

Measure ParseMeasure(const std::string& text) {
  const std::string option = "--measure " + text;
  const size_t colon = text.find(':');
  if (colon == std::string::npos) throw StudyUsageError(option + ": expected STAT:TARGET");
  const std::string stat = text.substr(0, colon);
  Measure m{text, Statistic::kFinal, 0, text.substr(colon + 1)};
  static const std::map<std::string, Statistic> stats = {{"final", Statistic::kFinal}, {"mean", Statistic::kMean},
                                                         {"min", Statistic::kMin},     {"max", Statistic::kMax},
                                                         {"at", Statistic::kAt}};
  const auto it = stats.find(stat);
  if (it == stats.end()) throw StudyUsageError(option + ": unknown statistic " + stat + " (final, mean, min, max, at)");
  m.statistic = it->second;
  if (m.statistic == Statistic::kAt) {
    const size_t second = m.target.find(':');
    if (second == std::string::npos) throw StudyUsageError(option + ": expected at:T:TARGET");
    m.at = NumberOrUsage(option, m.target.substr(0, second));
    if (!std::isfinite(m.at)) throw StudyUsageError(option + ": the time must be finite");
    m.target = m.target.substr(second + 1);
  }
  if (m.target.empty()) throw StudyUsageError(option + ": no target");
  return m;
}

void SetStudyOption(StudyPlan& plan, const std::string& name, const std::string& value) {
  const std::string option = name + " " + value;
  const auto finite = [&](double v) {
    if (!std::isfinite(v)) throw StudyUsageError(option + ": not a finite number");
    return v;
  };
  if (name == "--set") {
    plan.sets.push_back(ParseAssignment("--set", value));
  } else if (name == "--vary") {
    plan.variations.push_back(ParseVariation(value));
  } else if (name == "--replications") {
    plan.replications = CountOrUsage(option, value);
  } else if (name == "--seed") {
    try {
      plan.seed = SeedFromText(value);
    } catch (const SimError&) {
      throw StudyUsageError(option + ": not a whole number in 0.." + std::to_string(kMaxSeed));
    }
  } else if (name == "--measure") {
    plan.measures.push_back(ParseMeasure(value));
  } else if (name == "--warmup") {
    plan.warmup = finite(NumberOrUsage(option, value));
  } else if (name == "--out") {
    plan.out = value;
  } else if (name == "--summary") {
    plan.summary = value;
  } else if (name == "--jobs") {
    const int64_t jobs = CountOrUsage(option, value);
    if (jobs > 4096) throw StudyUsageError(option + ": more than 4096 threads");
    plan.jobs = static_cast<int>(jobs);
  } else if (name == "--crn" || name == "--resume") {
    if (!value.empty()) throw StudyUsageError(name + " takes no value");
    (name == "--crn" ? plan.crn : plan.resume) = true;
  } else if (name == "--baseline") {
    plan.baseline = CountOrUsage(option, value);
  } else if (name == "--precision") {
    const double rel = NumberOrUsage(option, value);
    if (!(rel > 0 && rel < 1e300)) throw StudyUsageError(option + ": must be a number above 0");
    plan.precision = rel;
  } else if (name == "--max-replications") {
    plan.max_replications = CountOrUsage(option, value);
  } else if (name == "--confidence") {
    const double c = NumberOrUsage(option, value);
    if (!(c > 0 && c < 1)) throw StudyUsageError(option + ": must lie between 0 and 1, e.g. 0.95");
    plan.confidence = c;
  } else if (name == "--tapes") {
    plan.tapes = value;
  } else {
    throw StudyUsageError("unknown option: " + name);
  }
  static const char* const kNotDefining[] = {"--out", "--summary", "--jobs", "--tapes", "--resume"};
  if (std::find(std::begin(kNotDefining), std::end(kNotDefining), name) == std::end(kNotDefining)) {
    plan.defining.push_back(value.empty() ? name : name + "=" + value);
  }
}

StudyPlan ParseStudyOptions(const std::vector<std::string>& args) {
  commands::ParsedOptions parsed;
  try {
    parsed = commands::ParseOptions(args, kStudySynopsis);
  } catch (const UsageError& e) {
    throw StudyUsageError(e.what());
  }
  StudyPlan plan;
  plan.command = {"study"};
  plan.command.insert(plan.command.end(), args.begin(), args.end());
  for (const auto& [name, value] : parsed.options) SetStudyOption(plan, name, value);
  if (parsed.positional.size() > 1) throw StudyUsageError("study takes one model");
  if (parsed.positional.empty()) throw StudyUsageError("study needs a model");
  plan.model = parsed.positional[0];
  return plan;
}

namespace {

// Passes the program's own warnings of the model reader on.
class MessageForwarder : public Frontend {
 public:
  explicit MessageForwarder(std::function<void(const std::string&)> to) : to_(std::move(to)) {}
  void ShowMessage(const std::string& text) override {
    if (to_) to_(text);
  }

 private:
  std::function<void(const std::string&)> to_;
};

}  // namespace

Study::Study(StudyPlan plan, std::function<void(const std::string&)> messages)
    : plan_(std::move(plan)), model_(std::make_unique<Sim>()) {
  MessageForwarder forward(std::move(messages));
  model_->frontend = &forward;
  try {
    FileOpen(*model_, plan_.model);
  } catch (...) {
    model_->frontend = nullptr;
    throw;
  }
  model_->frontend = nullptr;
  CheckOptions();
}

Study::Study(StudyPlan plan, const Sim& model) : plan_(std::move(plan)), model_(std::make_unique<Sim>()) {
  CopyModelState(model, *model_);
  CheckOptions();
}

void Study::CheckOptions() {
  if (plan_.replications < 1) throw StudyUsageError("--replications: must be at least 1");
  for (const Variation& v : plan_.variations) {
    if (v.values.empty()) throw StudyUsageError("--vary " + v.target + ": empty list");
    if (case_count_ > (int64_t{1} << 40) / static_cast<int64_t>(v.values.size())) {
      throw StudyUsageError("--vary " + v.target + ": too many cases");
    }
    case_count_ *= static_cast<int64_t>(v.values.size());
  }
  if (case_count_ > (int64_t{1} << 40) / plan_.replications) throw StudyUsageError("--replications: too many runs");
  CheckCombinations();
  // A target on an empty slot would read 0 or write a block that computes nothing:
  // most likely a mistyped ID.
  const auto check_block = [this](const std::string& option, const std::string& target) {
    const auto id = commands::TargetBlock(target);
    if (id && *id >= 0 && *id <= kMaxBlockID && model_->block(*id).Type == BlockType::Empty) {
      throw StudyUsageError(option + ": block " + std::to_string(*id) + " is empty in " +
                            (plan_.model.empty() ? std::string("the model") : plan_.model));
    }
  };
  for (const Assignment& a : plan_.sets) check_block("--set " + a.target + "=" + a.value, a.target);
  for (const Variation& v : plan_.variations) check_block("--vary " + v.target, v.target);
  for (const Measure& m : plan_.measures) check_block("--measure " + m.name, m.target);
  auto scratch = std::make_unique<Sim>();
  CopyModelState(*model_, *scratch);
  for (const Assignment& a : plan_.sets) CheckAssignment(*scratch, "--set " + a.target + "=" + a.value, a.target, a.value, true);
  for (const Measure& m : plan_.measures) {
    try {
      commands::NumberTarget(*scratch, commands::TargetOfName(*scratch, m.target));
    } catch (const UsageError& e) {
      throw StudyUsageError("--measure " + m.name + ": " + e.what());
    } catch (const SimError& e) {
      throw StudyUsageError("--measure " + m.name + ": " + e.what());
    }
  }
  for (const Variation& v : plan_.variations) {
    for (const std::string& value : v.values) {
      CheckAssignment(*scratch, "--vary " + v.target + "=" + value, v.target, value, false);
    }
  }
  CheckTimingCombinations(*scratch);
  CheckTimes(*scratch);
  // The files are written as the runs go and after the last: a path that cannot take
  // them is told now, before any run, not after all of them.
  const std::optional<std::string> first_tape =
      plan_.tapes ? std::optional(*plan_.tapes + "/" + TapeFileName({1, 1})) : std::nullopt;
  for (const auto& [option, path, checked] : {std::tuple{"--out", plan_.out, plan_.out},
                                              std::tuple{"--summary", plan_.summary, plan_.summary},
                                              std::tuple{"--tapes", plan_.tapes, first_tape}}) {
    if (!checked) continue;
    try {
      CheckWritablePath(*checked);
    } catch (const IoError& e) {
      throw IoError(std::string(option) + " " + *path + ": " + e.what());
    }
  }
}

// Time steps varied together: each value may be kept alone and still be changed in the
// case that pairs it with another's value (Delt 2 with GrDel 1). The cases' time steps
// are walked as the runs apply them, in the order of the --vary options; a study with
// more such combinations than a million is checked value by value only.
void Study::CheckTimingCombinations(Sim& after_sets) const {
  std::vector<const Variation*> steps;
  int64_t combinations = 1;
  for (const Variation& v : plan_.variations) {
    if (!TimeStepGlobal(v.target)) continue;
    steps.push_back(&v);
    combinations *= static_cast<int64_t>(v.values.size());
    if (combinations > 1000000) return;
  }
  if (steps.size() < 2) return;
  for (int64_t c = 0; c < combinations; ++c) {
    GlobalValues values;
    std::vector<std::string> texts;
    int64_t rest = c;
    for (const Variation* v : steps) {
      const auto n = static_cast<int64_t>(v->values.size());
      const std::string& value = v->values[static_cast<size_t>(rest % n)];
      texts.push_back(v->target + "=" + value);
      values.emplace_back(TimeStepGlobal(v->target), *ParseFileNumber(value));
      rest /= n;
    }
    size_t at = 0;
    try {
      CheckGlobals(after_sets, values, at);
    } catch (const UsageError& e) {
      std::string with;
      for (size_t i = 0; i < texts.size(); ++i) {
        if (i != at) with += (with.empty() ? "" : ", ") + texts[i];
      }
      throw StudyUsageError("--vary " + texts[at] + ": " + e.what() + " (with " + with + ")");
    }
  }
}

// Options that say nothing alone or contradict each other.
void Study::CheckCombinations() const {
  for (size_t i = 0; i < plan_.variations.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      if (plan_.variations[j].target == plan_.variations[i].target) {
        throw StudyUsageError("--vary " + plan_.variations[i].target + ": the target is varied twice; give one list");
      }
    }
  }
  for (size_t i = 0; i < plan_.measures.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      if (plan_.measures[j].name == plan_.measures[i].name) {
        throw StudyUsageError("--measure " + plan_.measures[i].name + ": the same measure is asked twice");
      }
    }
  }
  if (plan_.baseline && !plan_.crn) throw StudyUsageError("--baseline: pairs runs only with --crn");
  if (plan_.baseline && *plan_.baseline > case_count_) {
    throw StudyUsageError("--baseline " + std::to_string(*plan_.baseline) + ": the study has " +
                          std::to_string(case_count_) + " cases");
  }
  if (plan_.precision && !plan_.max_replications) {
    throw StudyUsageError("--precision: needs --max-replications, the most runs of a case");
  }
  if (plan_.max_replications && !plan_.precision) throw StudyUsageError("--max-replications: only with --precision");
  if (plan_.max_replications && *plan_.max_replications < plan_.replications) {
    throw StudyUsageError("--max-replications " + std::to_string(*plan_.max_replications) +
                          ": below --replications, the first batch");
  }
  if (plan_.resume && !plan_.out) throw StudyUsageError("--resume: needs --out, the runs file to go on with");
}

// A warm-up or a time that no run reaches would give empty or meaningless numbers.
void Study::CheckTimes(const Sim& after_sets) const {
  double finish = after_sets.FinTim;
  for (const Variation& v : plan_.variations) {
    if (v.target != "FinTim") continue;
    finish = std::numeric_limits<double>::infinity();
    for (const std::string& value : v.values) finish = std::min(finish, *ParseFileNumber(value));
  }
  if (plan_.warmup >= finish) {
    throw StudyUsageError("--warmup " + FormatGeneral(plan_.warmup) + ": not below FinTim (" + FormatGeneral(finish) +
                          "): no run would be measured");
  }
  for (const Measure& m : plan_.measures) {
    if (m.statistic == Statistic::kAt && m.at > finish) {
      throw StudyUsageError("--measure " + m.name + ": beyond FinTim (" + FormatGeneral(finish) + ")");
    }
  }
}

Study::~Study() = default;

std::vector<std::string> Study::CaseValues(int64_t case_number) const {
  std::vector<std::string> values(plan_.variations.size());
  int64_t rest = case_number - 1;
  for (size_t i = plan_.variations.size(); i-- > 0;) {
    const auto n = static_cast<int64_t>(plan_.variations[i].values.size());
    values[i] = plan_.variations[i].values[static_cast<size_t>(rest % n)];
    rest /= n;
  }
  return values;
}

uint64_t Study::RunSeed(int64_t case_number, int64_t replication) const {
  if (plan_.crn) case_number = 1;
  const uint64_t h = SplitMix64(SplitMix64(SplitMix64(plan_.seed) + static_cast<uint64_t>(case_number)) +
                                static_cast<uint64_t>(replication));
  return h & kMaxSeed;
}

RunResult Study::Run(RunKey key, int64_t index, Sim& scratch, const std::atomic<bool>* stop) const {
  RunResult r;
  r.index = index;
  r.case_number = key.case_number;
  r.replication = key.replication;
  r.seed = RunSeed(r.case_number, r.replication);
  r.values.assign(plan_.measures.size(), std::nullopt);
  MeasureRecorder recorder(plan_.measures, plan_.warmup, stop);
  try {
    CopyModelState(*model_, scratch);
    for (const Assignment& a : plan_.sets) ApplyAssignment(scratch, a.target, a.value);
    const auto values = CaseValues(r.case_number);
    for (size_t i = 0; i < values.size(); ++i) ApplyAssignment(scratch, plan_.variations[i].target, values[i]);
    SeedGenerator(scratch, r.seed, plan_.crn);
    recorder.Prepare(scratch);
    const StepSubscription measuring(scratch, recorder);
    Reset(scratch).RethrowError();
    const RunOutcome run = Finish(scratch);
    if (run.stop == RunStop::kInterrupted) {
      r.interrupted = true;
      return r;
    }
    run.RethrowError();
    if (!run.reached()) {
      throw SimError("the run did not reach FinTim: it stopped at Time " + FormatGeneral(run.time) + ", " +
                     ShortStopReason(scratch, run));
    }
    r.values = recorder.Results();
    if (plan_.tapes) WriteRunTape(scratch, *plan_.tapes + "/" + TapeFileName(key));
  } catch (const SimError& e) {
    r.error = e.what();
  } catch (const UsageError& e) {
    r.error = e.what();
  } catch (const std::bad_alloc&) {
    r.error = "Out of memory";
  }
  return r;
}

}  // namespace trevolan::study

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
#include "model/atomic_file.h"
#include "model/fields.h"
#include "model/file_commands.h"
#include "model/numbers.h"
#include "model/seed.h"
#include "model/sim_copy.h"
#include "model/tape_csv.h"
#include "study/sha256.h"
#include "study/study_outputs.h"

namespace trevolan::study {

namespace {

// A whole stored list takes its values separated by blanks; every other target one text.
std::vector<std::string> ValuesFor(const std::string& target, const std::string& value) {
  if (target.size() < 7 || target.compare(target.size() - 7, 7, ".stored") != 0) return {value};
  std::vector<std::string> values;
  for (size_t at = 0; at < value.size();) {
    const size_t end = std::min(value.find(' ', at), value.size());
    if (end > at) values.push_back(value.substr(at, end - at));
    at = end + 1;
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

// The study's own rule beside the fields' rules: a target that RESET or the run sets
// anew keeps no value given before the run, and its cases would differ by name only.
void CheckStudyTarget(const Target& t) {
  if (t.global && t.global->run_sets) {
    throw UsageError(t.Name() + " is set anew by RESET and the run: it is no target of a study");
  }
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
    CheckStudyTarget(t);
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
  // `series`: every measure's samples are kept through the run (--warmup auto, --batches).
  MeasureRecorder(const std::vector<Measure>& measures, double warmup, bool series, const std::atomic<bool>* stop)
      : measures_(measures), warmup_(warmup), stop_(stop), series_(series ? measures.size() : 0) {}

  // The measures' targets found in the model that is to run.
  void Prepare(Sim& s) {
    states_.assign(measures_.size(), State{});  // a run whose RESET did nothing still samples safely
    reads_.clear();
    for (const Measure& m : measures_) reads_.push_back(commands::NumberTarget(s, commands::TargetOfName(s, m.target)));
  }
  void AfterReset(const Sim& s) override {
    states_.assign(measures_.size(), State{});
    for (MeasureSeries& series : series_) series.Begin(s.Start, s.GrDel, s.TimeTol);
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
  const std::vector<MeasureSeries>& series() const { return series_; }

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
      if (!series_.empty()) series_[m].Add(s.Time, read(), s.Delt, after_step);
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
  std::vector<MeasureSeries> series_;
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
    model_sha256_ = Sha256Hex(FileOpenText(*model_, plan_.model));
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
  // A precision judged on a first batch of two or three runs stops on luck (an interval
  // of three runs is as often too narrow as right): the first batch is ten runs, or the
  // most a case may have, unless --replications says otherwise.
  const bool batch_given = std::any_of(plan_.defining.begin(), plan_.defining.end(), [](const std::string& o) {
    return o.rfind("--replications=", 0) == 0;
  });
  if ((plan_.precision || plan_.select) && !batch_given) {
    plan_.replications = std::min(kFirstBatch, plan_.max_replications.value_or(kFirstBatch));
  }
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
  CheckSelection();
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
  CheckVariedOnce(*scratch);
  CheckTimingCombinations(*scratch);
  CheckTimes(*scratch);
  CheckSeriesOptions(*scratch);
  CheckOutputs(plan_);
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

// One target in two --vary options, by its ID or by its block's name: the later list
// would overrule the earlier one in every case.
void Study::CheckVariedOnce(const Sim& model) const {
  std::vector<std::string> named;
  for (const Variation& v : plan_.variations) {
    const std::string target = commands::ParseTarget(commands::TargetOfName(model, v.target)).Name();
    const auto earlier = std::find(named.begin(), named.end(), target);
    if (earlier != named.end()) {
      const std::string& as = plan_.variations[static_cast<size_t>(earlier - named.begin())].target;
      throw StudyUsageError("--vary " + v.target + ": the target is varied twice" +
                            (as == v.target ? std::string() : " (as " + as + ")") + "; give one list");
    }
    named.push_back(target);
  }
}

// Options that say nothing alone or contradict each other.
void Study::CheckCombinations() const {
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
  if (plan_.max_replications && !plan_.precision && !plan_.select) {
    throw StudyUsageError("--max-replications: only with --precision or --select");
  }
  if (plan_.max_replications && *plan_.max_replications < plan_.replications) {
    throw StudyUsageError("--max-replications " + std::to_string(*plan_.max_replications) +
                          ": below --replications, the first batch");
  }
  if (plan_.resume && !plan_.out) throw StudyUsageError("--resume: needs --out, the runs file to go on with");
  if (plan_.plot && (plan_.variations.empty() || plan_.measures.empty())) {
    throw StudyUsageError("--plot " + *plan_.plot + ": draws each --measure against the first --vary target; give both");
  }
}

// A selection needs the measure it chooses on, the difference worth telling apart and
// cases to choose from; it decides on its own when to stop.
void Study::CheckSelection() {
  if (!plan_.select) {
    if (plan_.indifference) throw StudyUsageError("--indifference: only with --select");
    if (plan_.probability) throw StudyUsageError("--probability: only with --select");
    return;
  }
  const std::string option = "--select " + *plan_.select;
  const size_t colon = plan_.select->find(':');
  const std::string goal = plan_.select->substr(0, colon);
  if (colon == std::string::npos || (goal != "best" && goal != "worst")) {
    throw StudyUsageError(option + ": expected best:MEASURE (the largest mean) or worst:MEASURE (the smallest)");
  }
  selects_largest_ = goal == "best";
  const std::string measure = plan_.select->substr(colon + 1);
  const auto named = std::find_if(plan_.measures.begin(), plan_.measures.end(),
                                  [&measure](const Measure& m) { return m.name == measure; });
  if (named == plan_.measures.end()) {
    throw StudyUsageError(option + ": " + measure + " is not measured; add --measure " + measure);
  }
  selected_measure_ = static_cast<size_t>(named - plan_.measures.begin());
  if (!plan_.indifference) throw StudyUsageError(option + ": needs --indifference D, the difference worth telling apart");
  constexpr int64_t kMostCases = 1000;  // the procedure keeps a variance for every pair
  if (case_count_ < 2 || case_count_ > kMostCases) {
    throw StudyUsageError(option + ": the study has " + std::to_string(case_count_) +
                          " cases; a selection is made among 2 to " + std::to_string(kMostCases));
  }
  if (plan_.precision) throw StudyUsageError(option + ": the selection decides when to stop; not with --precision");
  const double p = plan_.probability.value_or(0.95);
  if (!(p > 1.0 / static_cast<double>(case_count_))) {
    throw StudyUsageError("--probability " + FormatGeneral(p) + ": not above 1/" + std::to_string(case_count_) +
                          ", what choosing one of the cases at random gives");
  }
  if (plan_.replications < 2) {
    throw StudyUsageError("--replications " + std::to_string(plan_.replications) +
                          ": the first stage of --select needs at least 2 runs of each case");
  }
}

// A warm-up or a time that no run reaches would give empty or meaningless numbers.
void Study::CheckTimes(const Sim& after_sets) const {
  // The earliest end and the latest start of any case, and the option that gave each.
  double finish = after_sets.FinTim, start = after_sets.Start;
  std::string finish_option = "the model's", start_option = "the model's";
  for (const Assignment& a : plan_.sets) {
    if (a.target == "FinTim") finish_option = "--set " + a.target + "=" + a.value;
    if (a.target == "Start") start_option = "--set " + a.target + "=" + a.value;
  }
  for (const Variation& v : plan_.variations) {
    if (v.target != "FinTim" && v.target != "Start") continue;
    const bool end = v.target == "FinTim";
    double& bound = end ? finish : start;
    bound = end ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity();
    for (const std::string& value : v.values) {
      const double x = *ParseFileNumber(value);
      if (end ? x < bound : x > bound) (end ? finish_option : start_option) = "--vary " + v.target + "=" + value;
      bound = end ? std::min(bound, x) : std::max(bound, x);
    }
  }
  if (!(finish > start)) {
    throw StudyUsageError(finish_option + ": FinTim " + FormatGeneral(finish) + " is not above Start " +
                          FormatGeneral(start) + " (" + start_option + "): no run would take a step");
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

int64_t Study::StageOf(int64_t replication) const {
  if (plan_.precision) return (replication - 1) / plan_.replications;
  if (plan_.select) return std::max<int64_t>(0, replication - plan_.replications);
  return 0;
}

uint64_t Study::RunSeed(int64_t case_number, int64_t replication) const {
  if (plan_.crn) case_number = 1;
  const uint64_t h = SplitMix64(SplitMix64(SplitMix64(plan_.seed) + static_cast<uint64_t>(case_number)) +
                                static_cast<uint64_t>(replication));
  return h & kMaxSeed;
}

void Study::LinkRunWorkbook(Sim& scratch) const {
  scratch.workbook = workbooks_ ? workbooks_() : nullptr;
  scratch.SpreadsheetLinked = scratch.workbook != nullptr;
  if (!scratch.workbook && scratch.block(kUserBlock).OnOff != 0) {
    throw SimError("XL not Running: the user block (block " + std::to_string(kUserBlock) +
                   ") is switched on and the run has no spreadsheet or exchange function to link");
  }
}

RunResult Study::Run(RunKey key, int64_t index, Sim& scratch, const std::atomic<bool>* stop) const {
  RunResult r;
  r.index = index;
  r.case_number = key.case_number;
  r.replication = key.replication;
  r.seed = RunSeed(r.case_number, r.replication);
  r.values.assign(plan_.measures.size(), std::nullopt);
  MeasureRecorder recorder(plan_.measures, plan_.warmup, plan_.warmup_auto || plan_.batches, stop);
  try {
    CopyModelState(*model_, scratch);
    for (const Assignment& a : plan_.sets) ApplyAssignment(scratch, a.target, a.value);
    const auto values = CaseValues(r.case_number);
    for (size_t i = 0; i < values.size(); ++i) ApplyAssignment(scratch, plan_.variations[i].target, values[i]);
    LinkRunWorkbook(scratch);  // after the sets: a case may switch the user block off
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
    if (!recorder.series().empty()) ConcludeSeries(plan_, recorder.series(), r);
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

#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/sim.h"
#include "study/statistics.h"

// A study: one model read once, run many times, each run a copy of it with its own
// changes and its own random numbers, and statistics of chosen values over the runs.
//
//   StudyPlan plan = ParseStudyOptions({"model.txt", "--vary", "101.aa=1,2", "--measure", "final:101.Value"});
//   (or a StudyPlan filled by SetStudyOption)
//   Study study(plan);                        // reads the model, checks every option
//   std::vector<RunResult> runs = RunOnThreads(study, 4, nullptr);
//   std::vector<CaseSummary> cases = SummarizeCases(study, runs);
//
// Every run r of case c is the same whichever worker runs it and in whatever order:
// it starts from a copy of the model read once, applies the fixed sets and the case's
// values, seeds the random generator from (seed, c, r) alone, presses RESET and runs
// to FinTim as the batch runner's `finish` does. So the files of a study do not depend
// on how many threads or machines ran it.
namespace trevolan::study {

// An option that cannot be used as given; what() names the option, e.g.
// "--vary 101.aa=1,x: 'x' is not a valid floating point value". No run has started.
class StudyUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// TARGET=VALUE: a `print`/`set` target of the batch runner and the text written to it.
// A timing global (Start, Time, FinTim, Delt, GrDel, GrNext, Holdstep, Holdnext,
// RepCount) is applied as the timing dialog's Apply does: time steps repaired, system
// blocks updated, one compute pass.
struct Assignment {
  std::string target;
  std::string value;
};

// TARGET and the values it takes, one case each.
struct Variation {
  std::string target;
  std::vector<std::string> values;  // as written into the target and into the CSV files
};

enum class Statistic { kFinal, kMean, kMin, kMax, kAt };

// A number taken from every run. Each is sampled after RESET and after every step:
// final is the last sample; at:T the first sample with Time >= T (to within TimeTol;
// none when the run never gets there); min and max run over the samples with
// Time >= warmup; mean is the time average over the steps with Time >= warmup, each
// step's value weighted by Delt (it stands for the step of Delt that ends at it).
struct Measure {
  std::string name;  // as written: "mean:103.Value", "at:50:103.Value"
  Statistic statistic = Statistic::kFinal;
  double at = 0;     // T of at:T
  std::string target;
};

struct StudyPlan {
  std::string model;                   // the model file
  std::vector<Assignment> sets;        // before every run, in order
  std::vector<Variation> variations;   // the cases: their full factorial, the last varying fastest
  int64_t replications = 1;
  uint64_t seed = 1;
  std::vector<Measure> measures;
  double warmup = -std::numeric_limits<double>::infinity();
  std::optional<std::string> out;      // runs CSV
  std::optional<std::string> summary;  // summary CSV
  int jobs = 0;                        // worker threads; 0: one per core
};

// Parsers of the option texts; StudyUsageError naming the option on a bad one.
Assignment ParseAssignment(const std::string& option, const std::string& text);  // T=V
Variation ParseVariation(const std::string& text);  // T=V1,V2,... or T=FROM:TO:COUNT (COUNT >= 1)
Measure ParseMeasure(const std::string& text);      // final:|mean:|min:|max:TARGET, at:T:TARGET

// One option given to a plan by its name (--set, --vary, --replications, --seed,
// --measure, --warmup, --out, --summary, --jobs) and its value as written, checked as
// the command line checks it: StudyUsageError naming the option. Every face builds its
// plan through this, the command line and the Python module alike.
void SetStudyOption(StudyPlan& plan, const std::string& name, const std::string& value);

// The arguments of `trevolan-cli study` after the word study, as the synopsis names
// them; each option also as --name=VALUE.
inline constexpr const char* kStudySynopsis =
    "MODEL [--set T=V]... [--vary T=LIST]... [--replications R] [--seed S] [--measure STAT:TARGET]... "
    "[--warmup T] [--out FILE] [--summary FILE] [--jobs N]";
StudyPlan ParseStudyOptions(const std::vector<std::string>& args);

// The outcome of one run. values[m] is measure m, empty when the run failed or never
// reached an at: time.
struct RunResult {
  int64_t index = 0;        // 0-based position in the study: (case - 1) * replications + replication - 1
  int64_t case_number = 0;  // from 1
  int64_t replication = 0;  // from 1
  uint64_t seed = 0;        // the run's own seed: `seed N` in a script repeats the run
  std::vector<std::optional<double>> values;
  std::string error;        // the error text of a failed run; empty when it ran through
  bool failed() const { return !error.empty(); }
};

// One case over its runs: a summary of every measure over the runs that have it.
struct CaseSummary {
  int64_t case_number = 0;
  std::vector<std::string> case_values;  // one per variation
  int64_t runs = 0, failed = 0;
  std::vector<SampleSummary> measures;
};

// The model read once and the study's cases, ready to run. Thread-safe for Run.
class Study {
 public:
  // Reads the model (the core's errors, e.g. IoError, pass through; the reader's
  // warnings go to `messages` when given) and checks every option against it:
  // StudyUsageError naming the option for an unknown target, a bad value, a measure
  // of a text.
  explicit Study(StudyPlan plan, std::function<void(const std::string&)> messages = nullptr);
  // The same over a model already in memory (plan.model is not read): every run starts
  // from a copy of `model` as it is now.
  Study(StudyPlan plan, const Sim& model);
  ~Study();

  const StudyPlan& plan() const { return plan_; }
  int64_t case_count() const { return case_count_; }
  int64_t run_count() const { return case_count_ * plan_.replications; }
  // The values of case c (from 1), one per variation.
  std::vector<std::string> CaseValues(int64_t case_number) const;
  // The seed of replication r (from 1) of case c (from 1), a function of (seed, c, r) only.
  uint64_t RunSeed(int64_t case_number, int64_t replication) const;

  // Runs the run at `index` (0..run_count()-1) on `scratch`, a Sim of the caller's
  // that is overwritten; a failing run is returned with its error text.
  RunResult Run(int64_t index, Sim& scratch) const;

 private:
  void CheckOptions();  // every option against the model; StudyUsageError

  StudyPlan plan_;
  std::unique_ptr<Sim> model_;
  int64_t case_count_ = 1;
};

// Called on the calling thread now and then while runs go on: runs done and failed.
using Progress = std::function<void(int64_t done, int64_t failed)>;

// Every run of the study on `jobs` worker threads (0: one per core), results in index
// order. `progress`, when given, is called on the calling thread about ten times a second.
std::vector<RunResult> RunOnThreads(const Study& study, int jobs, const Progress& progress);

// The same hand-out for other drivers (the MPI ranks): runs the indices that `next`
// gives (nullopt: no more) on `jobs` threads and gives each result to `done`; both are
// called from the worker threads, one at a time.
void RunOnThreads(const Study& study, int jobs, const std::function<std::optional<int64_t>()>& next,
                  const std::function<void(RunResult)>& done, const Progress& progress);

std::vector<CaseSummary> SummarizeCases(const Study& study, const std::vector<RunResult>& runs);

// The files and the table. Runs CSV: case, replication, seed, each varied target, each
// measure, status ("ok" or the error text). Summary CSV: case, each varied target,
// runs, failed, and n, mean, sd, ci95 of each measure. Empty cells for no value.
std::string RunsCsv(const Study& study, const std::vector<RunResult>& runs);
std::string SummaryCsv(const Study& study, const std::vector<CaseSummary>& cases);
// The summary as an aligned table for a terminal: mean and 95% half-width of each measure.
std::string SummaryTable(const Study& study, const std::vector<CaseSummary>& cases);

// The end of the command: writes --out and --summary, prints the table on `out`. 0 when
// every run ran through, 1 when any failed or a file could not be written (an
// "error: " line on `out`).
int ReportStudy(const Study& study, const std::vector<RunResult>& runs, std::ostream& out);

}  // namespace trevolan::study

#pragma once
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
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
#include "study/measure_series.h"
#include "study/selection.h"
#include "study/statistics.h"

// A study: one model read once, run many times, each run a copy of it with its own
// changes and its own random numbers, and statistics of chosen values over the runs.
//
//   StudyPlan plan = ParseStudyOptions({"model.txt", "--vary", "101.aa=1,2", "--measure", "final:101.Value"});
//   (or a StudyPlan filled by SetStudyOption, study_options.h)
//   Study study(plan);                        // reads the model, checks every option
//   StudyResults results = RunStudy(study, 4, nullptr);  // in memory; the command line
//                                             // streams through a RunSchedule and StudyFiles
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
// Every target of a study may name a block by its Name instead of its ID ("spring.cc",
// a bare "position" for its value).
// A timing global (Start, Time, FinTim, Delt, GrDel, GrNext, Holdstep, Holdnext,
// RepCount) is applied as the timing dialog's Apply does: time steps repaired, system
// blocks updated, one compute pass.
struct Assignment {
  std::string target;
  std::string value;
  bool operator==(const Assignment&) const = default;
};

// TARGET and the values it takes, one case each.
struct Variation {
  std::string target;
  std::vector<std::string> values;  // as written into the target and into the CSV files
  bool operator==(const Variation&) const = default;
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
  bool operator==(const Measure&) const = default;
};

// The first batch of a study with a precision when --replications does not give it.
inline constexpr int64_t kFirstBatch = 10;

struct StudyPlan {
  std::string model;                   // the model file
  std::vector<Assignment> sets;        // before every run, in order
  std::vector<Variation> variations;   // the cases: their full factorial, the last varying fastest
  int64_t replications = 1;            // with a precision: the size of each batch (kFirstBatch unless given)
  uint64_t seed = 1;
  std::vector<Measure> measures;
  double warmup = -std::numeric_limits<double>::infinity();
  bool warmup_auto = false;            // --warmup auto: each run's mean, min and max from its MSER-5 point
  std::optional<int64_t> batches;      // one long run a case, its interval from this many batch means
  std::optional<std::string> out;      // runs CSV
  std::optional<std::string> summary;  // summary CSV
  std::optional<std::string> record;   // the study's record (JSON); by default beside the summary or the runs
  int jobs = 0;                        // worker threads; 0: one per core
  bool crn = false;                    // common random numbers: the same seeds in every case, a stream per block
  std::optional<int64_t> baseline;     // the case the others are paired with (--crn only); 1 when not given
  std::optional<double> precision;     // replicate in batches until every half-width <= precision * |mean|
  std::optional<int64_t> max_replications;  // the limit of a case's runs with a precision or a selection
  std::optional<std::string> select;    // best:MEASURE or worst:MEASURE: choose that case (selection.h)
  std::optional<double> indifference;   // the difference in MEASURE worth telling apart
  std::optional<double> probability;    // of choosing right, when the best is that much better (default 0.95)
  double confidence = 0.95;            // the level of every interval
  std::optional<std::string> tapes;    // a folder for the tape of every run
  std::optional<std::string> plot;     // a picture of the measures against the first varied target
  bool resume = false;                 // keep the runs already in --out
  // The options that decide the runs and their numbers, as given and in order (those
  // whose row in study_options.cpp defines the runs): a resumed study must have the same.
  std::vector<std::string> defining;
  std::vector<std::string> command;    // the command line, for the study's record
  bool operator==(const StudyPlan&) const = default;
};

// The arguments of `trevolan-cli study` after the word study, read by the table of
// options (study_options.h); each option also as --name=VALUE.
StudyPlan ParseStudyOptions(const std::vector<std::string>& args);

// A run of the study: replication r (from 1) of case c (from 1).
struct RunKey {
  int64_t case_number = 0;
  int64_t replication = 0;
  bool operator==(const RunKey&) const = default;
};

// The outcome of one run. values[m] is measure m, empty when the run failed or never
// reached an at: time.
struct RunResult {
  int64_t index = 0;        // 0-based position in the study's run order
  int64_t case_number = 0;  // from 1
  int64_t replication = 0;  // from 1
  uint64_t seed = 0;        // the run's own seed: `seed N` in a script repeats the run
  std::vector<std::optional<double>> values;
  std::string error;        // the error text of a failed run; empty when it ran through
  // With --warmup auto: each measure's truncation time (none for final and at:). With
  // --batches: each measure's batch means. Empty otherwise.
  std::vector<std::optional<double>> warmups;
  std::vector<std::vector<double>> batch_means;
  bool interrupted = false; // stopped before its end: no outcome, it is run again on --resume
  bool failed() const { return !error.empty(); }
};

// One case over its runs: a summary of every measure over the runs that have it.
struct CaseSummary {
  int64_t case_number = 0;
  std::vector<std::string> case_values;  // one per variation
  int64_t runs = 0, failed = 0;
  std::vector<SampleSummary> measures;
  // With --crn, every case but the baseline: the difference to the baseline case,
  // replication by replication, of every measure. Empty otherwise.
  std::vector<SampleSummary> differences;
  std::string stopped;  // with --precision: "precision" or "limit"
  // Every measure's truncation times (--warmup auto) and lag-1 correlation (--batches).
  std::vector<SeriesTally::Result> series;
  // With --select: whether the case was chosen, and the runs it had when it left the
  // selection (none for the chosen one, nor for one still in when the study stopped).
  bool selected = false;
  std::optional<int64_t> eliminated_after;
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
  // The runs of the study, or of its first batches when it stops on a precision.
  int64_t run_count() const { return case_count_ * plan_.replications; }
  int64_t baseline() const { return plan_.crn ? plan_.baseline.value_or(1) : 0; }
  // With --select: the measure chosen on (its index in the plan's measures) and whether
  // the best case is the one of the largest mean.
  size_t selected_measure() const { return selected_measure_; }
  bool selects_largest() const { return selects_largest_; }
  // The stage of the run order a replication belongs to: its batch under a precision,
  // 0 for the first stage of a selection and one stage a replication after it.
  int64_t StageOf(int64_t replication) const;
  // The SHA-256 of the model's text as it was read and is run; empty for a model given
  // in memory.
  const std::string& model_sha256() const { return model_sha256_; }
  // The values of case c (from 1), one per variation.
  std::vector<std::string> CaseValues(int64_t case_number) const;
  // The seed of replication r (from 1) of case c (from 1), a function of (seed, c, r)
  // only; with --crn of (seed, r): every case's replication r draws the same numbers.
  uint64_t RunSeed(int64_t case_number, int64_t replication) const;

  // What each run links in the spreadsheet's place for the user block (a function of a
  // Python model's): `make` is called once a run, from the run's thread. Without it a run
  // has no link, and one whose user block is switched on fails rather than run on
  // without its exchanges.
  void LinkWorkbooks(std::function<std::shared_ptr<Workbook>()> make) { workbooks_ = std::move(make); }

  // Runs `key` on `scratch`, a Sim of the caller's that is overwritten; a failing run is
  // returned with its error text. `index` is its place in the run order. When `stop`
  // becomes true the run ends at its next step, interrupted.
  RunResult Run(RunKey key, int64_t index, Sim& scratch, const std::atomic<bool>* stop = nullptr) const;

 private:
  void CheckOptions();  // every option against the model; StudyUsageError
  void CheckCombinations() const;
  void CheckVariedOnce(const Sim& model) const;
  void CheckTimes(const Sim& after_sets) const;
  void CheckSelection();
  void CheckTimingCombinations(Sim& after_sets) const;
  void CheckSeriesOptions(const Sim& after_sets) const;  // --batches
  // The run's link in the spreadsheet's place; SimError when it needs one and has none.
  void LinkRunWorkbook(Sim& scratch) const;

  StudyPlan plan_;
  std::unique_ptr<Sim> model_;
  std::function<std::shared_ptr<Workbook>()> workbooks_;
  std::string model_sha256_;
  int64_t case_count_ = 1;
  size_t selected_measure_ = 0;
  bool selects_largest_ = true;
};

// --warmup auto and --batches on a run's series of every measure (MeasureSeries):
// the measures taken from their MSER-5 points, the truncation times, the batch means.
// SimError for a series too short for its batches.
void ConcludeSeries(const StudyPlan& plan, const std::vector<MeasureSeries>& series, RunResult& r);

// What a study's runs say so far: every case's measures, their paired differences to
// the baseline with --crn. Results are added in run order, so the sums, and the files,
// are the same however the runs were spread.
class StudyTally {
 public:
  explicit StudyTally(const Study& study);
  void Add(const RunResult& r);
  CaseSummary Case(int64_t case_number) const;
  std::vector<CaseSummary> Cases() const;
  // Whether every measure of the case, and with --crn its difference to the baseline,
  // has a half-width <= precision * |mean|.
  bool Precise(int64_t case_number) const;
  int64_t runs(int64_t case_number) const { return cases_[static_cast<size_t>(case_number - 1)].runs; }
  // With --select: the procedure, fed every run in run order; null otherwise.
  const Selection* selection() const { return selection_.get(); }

 private:
  struct CaseTally {
    int64_t runs = 0, failed = 0;
    std::vector<RunningSummary> measures, differences;
    std::vector<SeriesTally> series;
    std::string stopped;
  };
  // The measures of runs by replication, flat (8 bytes a value and a bit), for the
  // pairs of --crn: a study of 10^6 replications keeps megabytes, not a node per run.
  class ByReplication {
   public:
    void Put(int64_t replication, const std::vector<std::optional<double>>& values, size_t measures);
    bool Has(int64_t replication) const;
    std::optional<double> Get(int64_t replication, size_t m, size_t measures) const;

   private:
    std::vector<double> values_;
    std::vector<bool> present_, stored_;
  };
  void Pair(int64_t case_number, const std::vector<std::optional<double>>& values, const ByReplication& baseline,
            int64_t replication);
  friend class RunSchedule;

  const Study& study_;
  std::vector<CaseTally> cases_;
  // With --crn: the baseline's values by replication, and those of the cases before the
  // baseline in the run order, which wait for their partner: each is paired once, when
  // the later of the two comes.
  ByReplication baseline_values_;
  std::map<int64_t, ByReplication> waiting_;  // by case
  std::unique_ptr<Selection> selection_;
};

// The runs of a study in their order: which run comes next (batch after batch with a
// precision, each decided by the runs before it), and the results put back in that order
// for the tally and `sink`, whatever order they came in. Not thread-safe: callers hold
// one lock around it.
class RunSchedule {
 public:
  using Sink = std::function<void(const RunResult&)>;
  // A run already done (--resume): its result, or nullopt to run it. Asked in run order.
  using Kept = std::function<std::optional<RunResult>(RunKey)>;
  RunSchedule(const Study& study, Sink sink, Kept kept = nullptr);

  struct Ticket {
    RunKey key;
    int64_t index = 0;
  };
  // The next run to make; nullopt when none is to be made now: the batch is handed out
  // (the next waits for its results), the study is done or stopped.
  std::optional<Ticket> Next();
  void Done(RunResult r);  // a run handed out, in any order
  // Called when every run of a batch has been passed on (the files sync then).
  void OnBatchDone(std::function<void()> f) { batch_done_ = std::move(f); }
  bool Finished() const;   // nothing to hand out and nothing out
  void Stop();             // hands out nothing more; the results of runs out still come
  bool stopped() const { return stopped_; }
  // After a stop, when nothing is out: a run done before (--resume) that comes after
  // every run released so far.
  void Append(RunResult r);

  int64_t done() const { return done_; }
  int64_t released() const { return released_count_; }  // passed on to the tally and the sink
  int64_t failed() const { return failed_; }
  // The runs known so far, or under a precision those its rule expects in all once a
  // batch is judged, if more: the progress's time left is that of these.
  int64_t planned() const { return std::max(planned_, expected_); }
  const StudyTally& tally() const { return tally_; }

 private:
  void Release();     // passes the results that are next in order on
  void NextBatch();   // decides which cases go on, after a batch is complete
  int64_t ExpectedRuns(int64_t case_number) const;
  void Expect();      // the runs the precision's rule is expected to make, after a batch
  std::vector<int64_t> Screen();  // with --select: the cases that go on to the next stage

  const Study& study_;
  Sink sink_;
  Kept kept_;
  std::function<void()> batch_done_;
  StudyTally tally_;
  std::vector<int64_t> active_;  // the cases of the batch, in order
  int64_t first_ = 1, last_ = 0; // its replications
  size_t at_case_ = 0;
  int64_t at_replication_ = 1;
  bool batch_out_ = false, more_batches_ = true, stopped_ = false;
  int64_t handed_ = 0, released_ = 0, out_ = 0, released_count_ = 0;
  int64_t done_ = 0, failed_ = 0, planned_ = 0, expected_ = 0;
  std::map<int64_t, RunResult> pending_;  // results that wait for an earlier one
};

// Called on the calling thread about ten times a second while runs go on, with the runs
// done and failed so far and those known; returns false to stop the study: no run is
// handed out any more, runs under way end at their next step and are not kept.
using Progress = std::function<bool(int64_t done, int64_t failed, int64_t planned)>;

// Where worker threads take their runs and give the results: a schedule of this
// process, or one of another (the MPI ranks ask rank 0).
class RunSource {
 public:
  virtual ~RunSource() = default;
  // The next run for the calling thread, waiting until there is one; nullopt: no more.
  virtual std::optional<RunSchedule::Ticket> Take() = 0;
  virtual void Give(RunResult r) = 0;
  // Hands out nothing more; runs under way see `stop` and end at their next step.
  virtual void Stop() { stop = true; }
  struct Counts {
    int64_t done = 0, failed = 0, planned = 0;
  };
  virtual Counts counts() { return {}; }
  std::atomic<bool> stop{false};
};

// A RunSchedule of this process behind one lock, so that threads and other drivers (the
// dispatcher of the MPI ranks) share it; `moved` is signalled whenever it changes.
class SharedSchedule : public RunSource {
 public:
  explicit SharedSchedule(RunSchedule& s) : schedule(s) {}
  std::optional<RunSchedule::Ticket> Take() override;
  void Give(RunResult r) override;
  void Stop() override;
  Counts counts() override;

  RunSchedule& schedule;
  std::mutex lock;
  std::condition_variable moved;
};

// Runs from `source` on `jobs` worker threads (0: one per core) until it has no more.
// When fewer threads can be made, the runs go on those that could; with none, SimError.
void RunOnThreads(const Study& study, RunSource& source, int jobs, const Progress& progress);

// A study run to its end in memory: every result in run order and the summary. Stopped
// by `progress`, it holds the runs done so far.
struct StudyResults {
  std::vector<RunResult> runs;
  std::vector<CaseSummary> cases;
  bool interrupted = false;
};
StudyResults RunStudy(const Study& study, int jobs, const Progress& progress);

// The files and the table. Runs CSV: case, replication, seed, each varied target, each
// measure, status ("ok" or the error text). Summary CSV: case, each varied target,
// runs, failed, and n, mean, sd, ci95 of each measure (ci99 and so on at another
// --confidence); with --crn n_diff (the pairs), diff, sd_diff, ci_diff of each; with --precision stopped.
// Empty cells for no value.
std::string RunsHeader(const Study& study);
std::string RunRow(const Study& study, const RunResult& r);
std::string RunsCsv(const Study& study, const std::vector<RunResult>& runs);
std::string SummaryCsv(const Study& study, const std::vector<CaseSummary>& cases);
// The summary as an aligned table for a terminal: mean and half-width of each measure.
std::string SummaryTable(const Study& study, const std::vector<CaseSummary>& cases);
// With --select, what standard error says of the selection: the chosen case, its values
// and mean, the cases that left after a failed run, or that none is chosen yet.
std::string SelectionReport(const Study& study, const StudyTally& tally);
// The name of the level's interval column: "ci95", "ci99", "ci99.9".
std::string IntervalName(double level);

}  // namespace trevolan::study

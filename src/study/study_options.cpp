#include "study/study_options.h"

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <type_traits>

#include "commands/options.h"
#include "model/errors.h"
#include "model/numbers.h"
#include "model/seed.h"

namespace trevolan::study {

namespace {

constexpr double kMaxCount = 1e12;

template <typename T>
struct Element {
  using type = T;
};
template <typename T>
struct Element<std::optional<T>> {
  using type = T;
};
template <typename T>
struct Element<std::vector<T>> {
  using type = T;
};

// The store of an option into the plan's member: a value, an optional value, or a list
// that grows by one each time. Numbers are read as doubles and kept as the member's type.
template <auto kMember>
void Into(StudyPlan& plan, OptionValue value) {
  auto& member = plan.*kMember;
  using Member = std::remove_reference_t<decltype(member)>;
  using T = typename Element<Member>::type;
  T kept;
  if constexpr (std::is_arithmetic_v<T> && !std::is_same_v<T, bool>) {
    kept = static_cast<T>(std::get<double>(value));
  } else {
    kept = std::get<T>(std::move(value));
  }
  if constexpr (std::is_same_v<Member, std::vector<T>>) {
    member.push_back(std::move(kept));
  } else {
    member = std::move(kept);
  }
}

// A time, or "auto" for each run's own MSER-5 point.
void StoreWarmup(StudyPlan& plan, OptionValue value) {
  plan.warmup_auto = std::holds_alternative<std::string>(value);
  plan.warmup = plan.warmup_auto ? -std::numeric_limits<double>::infinity() : std::get<double>(value);
}

const std::vector<StudyOption> kOptions = {
    {.name = "--set", .value = "T=V", .kind = OptionKind::kAssignment, .repeats = true, .keyword = "set",
     .help = "A change before every run. T is a target of print and set (105.pp, Delt, FinTim, ...); a timing "
             "global acts as the timing dialog's Apply does.",
     .store = Into<&StudyPlan::sets>},
    {.name = "--vary", .value = "T=LIST", .kind = OptionKind::kVariation, .repeats = true, .keyword = "vary",
     .help = "The values of one target across the cases, as V1,V2,... or FROM:TO:COUNT. The cases are the full "
             "factorial of all the lists, the last varying fastest.",
     .store = Into<&StudyPlan::variations>},
    {.name = "--replications", .value = "R", .kind = OptionKind::kCount, .keyword = "replications",
     .help = "Runs of each case (default 1).", .store = Into<&StudyPlan::replications>},
    {.name = "--seed", .value = "S", .kind = OptionKind::kSeed, .keyword = "seed",
     .help = "The study's seed (default 1). Run r of case c draws from a seed derived from S, c and r only, so "
             "the results do not depend on how many workers ran them, nor in what order.",
     .store = Into<&StudyPlan::seed>},
    {.name = "--measure", .value = "STAT:TARGET", .kind = OptionKind::kMeasure, .repeats = true,
     .keyword = "measures",
     .help = "A statistic of a print target over each run: final (the value at the end), mean (the time "
             "average over the steps after the warm-up, weighted by Delt), min, max, or at:T (the value at the "
             "first step with Time >= T), as in final:105.Value or at:50:103.Value. Measures are taken at every "
             "step without the tape, so a run of any length is summarised exactly.",
     .store = Into<&StudyPlan::measures>},
    {.name = "--warmup", .value = "T|auto", .kind = OptionKind::kNumber,
     .holds = [](double t) { return std::isfinite(t); }, .refusal = "not a finite number", .word = "auto",
     .keyword = "warmup",
     .help = "mean, min and max count from Time >= T on. auto: each run finds its own warm-up by MSER-5 on "
             "every measure's samples (one each GrDel from Start on, in batches of five): the truncation that "
             "makes the marginal standard error of the kept batch means least, among the first half of the "
             "batches. The runs file gains warmup(M), the summary warmup_mean(M) and warmup_max(M), in model "
             "time, e.g. --warmup auto --measure mean:104.Value.",
     .store = StoreWarmup},
    {.name = "--batches", .value = "K", .kind = OptionKind::kCount,
     .holds = [](double k) { return k >= 10 && k <= 30; }, .refusal = "must lie between 10 and 30",
     .keyword = "batches",
     .help = "One long run a case (--replications 1, mean: measures only): the samples after the warm-up (one each "
             "GrDel) cut into K non-overlapping batches of at least 10 samples, the interval the t-interval of "
             "the K batch means. The runs file gains each batch mean, batch1(M) to batchK(M); the summary lag1(M), "
             "the lag-1 correlation of the batch means, and standard error warns when it is above 0.2, e.g. "
             "--set FinTim=100000 --warmup auto --batches 20 --measure mean:104.Value.",
     .store = Into<&StudyPlan::batches>},
    {.name = "--out", .value = "FILE", .kind = OptionKind::kPath, .defines_runs = false,
     .help = "One CSV row per run: the case, the replication, the seed, each varied value, each measure, and "
             "a status: ok or the error text of a run that failed.",
     .store = Into<&StudyPlan::out>},
    {.name = "--summary", .value = "FILE", .kind = OptionKind::kPath, .defines_runs = false,
     .help = "One CSV row per case with n, mean, standard deviation and the half-width of the confidence "
             "interval (Student t) of every measure; the summary is also printed as a table.",
     .store = Into<&StudyPlan::summary>},
    {.name = "--record", .value = "FILE", .kind = OptionKind::kPath, .defines_runs = false,
     .help = "The study's record (JSON): the program's version and commit, the command, the working folder, the "
             "model's absolute path and SHA-256, the options, the start and end of the study and of every resume, "
             "and the path and SHA-256 of every output file. By default SUMMARY.json beside --summary SUMMARY.csv, "
             "else OUT.study.json beside --out, else MODEL.study.json (the model's name) in the working folder, "
             "which standard error names: e.g. --record runs/queue.json.",
     .store = Into<&StudyPlan::record>},
    {.name = "--jobs", .value = "N", .kind = OptionKind::kCount, .holds = [](double n) { return n <= 4096; },
     .refusal = "more than 4096 threads", .defines_runs = false, .keyword = "jobs",
     .help = "Worker threads, each with its own model state (default: one per core). The runs, and so the "
             "results, are the same for any number of them.",
     .store = Into<&StudyPlan::jobs>},
    {.name = "--crn", .kind = OptionKind::kFlag, .keyword = "crn",
     .help = "Common random numbers: replication r of every case runs with the same seed, and every block that "
             "draws random numbers draws from a stream of its own (seed N crn in a script repeats one run), so "
             "that the cases differ by their values, not by their luck.",
     .store = Into<&StudyPlan::crn>},
    {.name = "--baseline", .value = "CASE", .kind = OptionKind::kCount, .keyword = "baseline",
     .help = "With --crn: the summary gains n_diff, diff, sd_diff and ci_diff of every measure: the number of "
             "pairs and the difference of each case to CASE (default 1), paired replication by replication.",
     .store = Into<&StudyPlan::baseline>},
    {.name = "--precision", .value = "REL", .kind = OptionKind::kNumber,
     .holds = [](double rel) { return rel > 0 && rel < 1e300; }, .refusal = "must be a number above 0",
     .keyword = "precision",
     .help = "With --max-replications: --replications is the first batch (10 when not given), and each case is "
             "replicated further in batches of the same size until every measure's half-width is at most REL "
             "times its absolute mean; with --crn so must be that of its difference to the baseline, which goes on "
             "while a case paired with it does. The summary's column stopped says precision or limit. The "
             "batches do not depend on the number of workers or ranks, e.g. --precision 0.05 "
             "--max-replications 1000.",
     .store = Into<&StudyPlan::precision>},
    {.name = "--max-replications", .value = "R", .kind = OptionKind::kCount, .keyword = "max_replications",
     .help = "With --precision or --select: the most runs of a case.", .store = Into<&StudyPlan::max_replications>},
    {.name = "--select", .value = "best:MEASURE", .kind = OptionKind::kText,
     .help = "Chooses the best case by a fully sequential ranking and selection: best:MEASURE the case of the "
             "largest mean of a --measure, worst:MEASURE that of the smallest. --replications is the first stage "
             "(10 when not given, at least 2); then every case still in gets one more run at a time, and a case "
             "leaves as soon as the procedure tells that it is worse (Kim and Nelson's KN, on the variance of each "
             "pair's difference, replication by replication, over the first stage; with --crn the pairs share their "
             "random numbers, the variances are smaller and cases leave sooner). The study ends when one case is "
             "left, or at --max-replications or the procedure's own bound, where the case of the best mean is "
             "chosen, the lowest case number among equals. The summary gains selected (1 for the chosen case) and "
             "eliminated_after (the runs of a case when it left); standard error names the chosen case; a case with "
             "a failed run leaves the selection. E.g. --select worst:mean:104.Value --indifference 0.05 --crn.",
     .store = Into<&StudyPlan::select>},
    {.name = "--indifference", .value = "D", .kind = OptionKind::kNumber,
     .holds = [](double d) { return d > 0 && d < 1e300; }, .refusal = "must be a number above 0",
     .help = "With --select: the smallest difference of means worth telling apart, in the measure's units. When "
             "the best case is at least D better than every other, it is chosen with the probability of "
             "--probability; cases closer than D may be chosen in its place. E.g. --indifference 0.05.",
     .store = Into<&StudyPlan::indifference>},
    {.name = "--probability", .value = "P", .kind = OptionKind::kNumber,
     .holds = [](double p) { return p > 0 && p < 1; }, .refusal = "must lie between 0 and 1, e.g. 0.95",
     .help = "With --select: the least probability of choosing the best case when it is at least D better than "
             "every other (default 0.95; above 1 / the cases), e.g. --probability 0.99.",
     .store = Into<&StudyPlan::probability>},
    {.name = "--confidence", .value = "C", .kind = OptionKind::kNumber,
     .holds = [](double c) { return c > 0 && c < 1; }, .refusal = "must lie between 0 and 1, e.g. 0.95",
     .keyword = "confidence",
     .help = "The level of every interval (default 0.95); its columns are named ci95, ci99, ci99.9, ...",
     .store = Into<&StudyPlan::confidence>},
    {.name = "--tapes", .value = "DIR", .kind = OptionKind::kPath, .defines_runs = false, .keyword = "tapes",
     .help = "A folder that gets the tape of every run as case-C-rep-R.csv, as save-tape-csv writes it.",
     .store = Into<&StudyPlan::tapes>},
    {.name = "--plot", .value = "FILE", .kind = OptionKind::kPath, .defines_runs = false,
     .help = "A picture of the sweep, chosen by the extension: .svg, .png or .pdf. Each measure is drawn against the "
             "first --vary target, one panel a measure, with the cases' means and their interval bars (the cases of "
             "other --vary values as series of their own colour); with --crn a second row of panels draws the paired "
             "differences to the baseline with their intervals. E.g. --vary 101.aa=1.6:2.4:5 --crn --plot sweep.svg.",
     .store = Into<&StudyPlan::plot>},
    {.name = "--resume", .kind = OptionKind::kFlag, .defines_runs = false,
     .help = "Runs only the runs missing from --out (or from OUT.partial, which a killed study leaves), which "
             "must hold runs of the same study; the files are then those of an uninterrupted study. The study's "
             "record must name the same model text, seed and options as values (their order and spelling do not "
             "matter); otherwise a usage error says what differs. More --replications than before extend a "
             "finished study: e.g. --resume --replications 200 after 100.",
     .store = Into<&StudyPlan::resume>},
};

std::string NotACount(const std::string& text) {
  return "'" + text + "' is not a whole number from 1 to " + FormatGeneral(kMaxCount);
}

// The words of a count or a seed out of its range, or of a text that is no number.
[[noreturn]] void RefuseNumber(const StudyOption& o, const std::string& text) {
  const std::string option = std::string(o.name) + " " + text;
  if (o.kind == OptionKind::kCount) throw StudyUsageError(option + ": " + NotACount(text));
  if (o.kind == OptionKind::kSeed) {
    throw StudyUsageError(option + ": not a whole number in 0.." + std::to_string(kMaxSeed));
  }
  throw StudyUsageError(option + ": '" + text + "' is not a valid floating point value");
}

bool IsWhole(double x, double from, double to) { return x >= from && x <= to && std::floor(x) == x; }

void CheckNumber(const StudyOption& o, double x, const std::string& text) {
  if ((o.kind == OptionKind::kCount && !IsWhole(x, 1, kMaxCount)) ||
      (o.kind == OptionKind::kSeed && !IsWhole(x, 0, static_cast<double>(kMaxSeed)))) {
    RefuseNumber(o, text);
  }
  if (o.holds && !o.holds(x)) throw StudyUsageError(std::string(o.name) + " " + text + ": " + o.refusal);
}

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
  if (!v || !IsWhole(*v, 1, kMaxCount)) throw StudyUsageError(option + ": " + NotACount(text));
  return static_cast<int64_t>(*v);
}

}  // namespace

const std::vector<StudyOption>& StudyOptions() { return kOptions; }

const StudyOption* FindStudyOption(std::string_view name) {
  for (const StudyOption& o : kOptions) {
    if (o.name == name) return &o;
  }
  return nullptr;
}

const StudyOption* FindStudyKeyword(std::string_view keyword) {
  for (const StudyOption& o : kOptions) {
    if (*o.keyword && o.keyword == keyword) return &o;
  }
  return nullptr;
}

std::string OptionUsage(const StudyOption& o) { return std::string(o.name) + (*o.value ? " " : "") + o.value; }

const std::string& StudySynopsis() {
  static const std::string synopsis = [] {
    std::string text = "MODEL";
    for (const StudyOption& o : kOptions) {
      text += " [" + OptionUsage(o) + "]" + (o.repeats ? "..." : "");
    }
    return text;
  }();
  return synopsis;
}

OptionValue ReadStudyOption(const StudyOption& o, const std::string& text) {
  switch (o.kind) {
    case OptionKind::kCount:
    case OptionKind::kSeed:
    case OptionKind::kNumber:
      if (*o.word && text == o.word) return text;
      if (const auto x = ParseFileNumber(text)) return *x;
      RefuseNumber(o, text);
    case OptionKind::kFlag:
      if (!text.empty()) throw StudyUsageError(std::string(o.name) + " takes no value");
      return true;
    case OptionKind::kPath:
    case OptionKind::kText:
      return text;
    case OptionKind::kAssignment:
      return ParseAssignment(o.name, text);
    case OptionKind::kVariation:
      return ParseVariation(text);
    case OptionKind::kMeasure:
      return ParseMeasure(text);
  }
  throw std::logic_error("an option of no kind");
}

void SetStudyOption(StudyPlan& plan, const StudyOption& o, OptionValue value, const std::string& text) {
  if (const double* x = std::get_if<double>(&value)) CheckNumber(o, *x, text);
  o.store(plan, std::move(value));
  if (o.defines_runs) plan.defining.push_back(text.empty() ? o.name : std::string(o.name) + "=" + text);
}

void SetStudyOption(StudyPlan& plan, const StudyOption& o, const std::string& text) {
  SetStudyOption(plan, o, ReadStudyOption(o, text), text);
}

StudyPlan ParseStudyOptions(const std::vector<std::string>& args) {
  commands::ParsedOptions parsed;
  try {
    parsed = commands::ParseOptions(args, StudySynopsis());
  } catch (const UsageError& e) {
    throw StudyUsageError(e.what());
  }
  StudyPlan plan;
  plan.command = {"study"};
  plan.command.insert(plan.command.end(), args.begin(), args.end());
  // The parser takes only the options the synopsis names, which are the table's.
  for (const auto& [name, text] : parsed.options) SetStudyOption(plan, *FindStudyOption(name), text);
  if (parsed.positional.size() > 1) throw StudyUsageError("study takes one model");
  if (parsed.positional.empty()) throw StudyUsageError("study needs a model");
  plan.model = parsed.positional[0];
  // A study on the command line always leaves its record, also when it writes no other file.
  if (!plan.out && !plan.summary && !plan.record) {
    plan.record = std::filesystem::path(plan.model).stem().string() + ".study.json";
  }
  return plan;
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

}  // namespace trevolan::study

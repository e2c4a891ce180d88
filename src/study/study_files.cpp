#include "study/study_files.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <tuple>

#include "model/numbers.h"
#include "model/tape_csv.h"
#include "study/batch_means.h"
#include "study/sha256.h"
#include "study/study_outputs.h"
#include "trevolan_version.h"

namespace trevolan::study {

namespace {

std::string IsoNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return buf;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// One CSV record of the runs file: a line, and the next ones while a quoted field is
// open (an error text with a line end).
bool ReadRecord(std::istream& in, std::string& record) {
  if (!std::getline(in, record)) return false;
  for (std::string more; std::count(record.begin(), record.end(), '"') % 2 == 1 && std::getline(in, more);) {
    record += '\n' + more;
  }
  if (!record.empty() && record.back() == '\r') record.pop_back();
  return true;
}

std::optional<int64_t> WholeNumber(const std::string& text) {
  int64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

std::optional<double> Number(const std::string& text) {
  double v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

}  // namespace

std::optional<std::vector<std::string>> ParseCsvLine(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c != '"') {
        fields.back() += c;
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == '"' && fields.back().empty()) {
      quoted = true;
    } else {
      fields.back() += c;
    }
  }
  if (quoted) return std::nullopt;
  return fields;
}

// A runs file read back: its rows in file order, the next one parsed ahead.
struct StudyFiles::Source {
  std::string path;
  std::ifstream in;
  int64_t rows = 0;  // whole rows left to read
  int64_t line = 1;  // of the last record read
  std::optional<RunResult> head;
};

namespace {

// The warm-up in the record: its time, "auto", or null for none.
nlohmann::ordered_json WarmupValue(const StudyPlan& plan) {
  if (plan.warmup_auto) return "auto";
  return std::isfinite(plan.warmup) ? nlohmann::ordered_json(plan.warmup) : nlohmann::ordered_json(nullptr);
}

// What decides the runs of a study, as values: a resumed study must have the same,
// however its options were spelled or ordered. Replications are compared on their own.
nlohmann::ordered_json PlanValues(const StudyPlan& plan) {
  nlohmann::ordered_json j;
  j["sets"] = nlohmann::ordered_json::array();
  for (const Assignment& a : plan.sets) j["sets"].push_back({a.target, a.value});
  j["vary"] = nlohmann::ordered_json::array();
  for (const Variation& v : plan.variations) j["vary"].push_back({v.target, v.values});
  j["measures"] = nlohmann::ordered_json::array();
  for (const Measure& m : plan.measures) j["measures"].push_back(m.name);
  const auto optional = [](const auto& v) { return v ? nlohmann::ordered_json(*v) : nlohmann::ordered_json(nullptr); };
  j["warmup"] = WarmupValue(plan);
  j["batches"] = optional(plan.batches);
  j["crn"] = plan.crn;
  j["baseline"] = optional(plan.baseline);
  j["precision"] = optional(plan.precision);
  j["max_replications"] = optional(plan.max_replications);
  j["select"] = optional(plan.select);
  j["indifference"] = optional(plan.indifference);
  j["probability"] = optional(plan.probability);
  j["confidence"] = plan.confidence;
  j["replications"] = plan.replications;
  return j;
}

// The start or end times of a record: a list, or one time in a record of before the
// resumes had their own.
nlohmann::ordered_json TimesOf(const nlohmann::json& was) {
  return nlohmann::ordered_json::parse((was.is_array() ? was : nlohmann::json::array({was})).dump());
}

}  // namespace

StudyFiles::StudyFiles(const Study& study, std::string build) : study_(study), build_(std::move(build)) {
  const StudyPlan& plan = study.plan();
  if (plan.out) {
    partial_path_ = PartialPath(*plan.out);
    if (plan.resume) OpenResumed();
    try {
      if (partial_path_) {
        partial_ = std::make_unique<PartialFile>(*partial_path_, ResolvedPath(*plan.out), kept_bytes_);
        if (kept_bytes_ == 0) partial_->Append(RunsHeader(study));
        runs_in_.insert(runs_in_.begin(), "partial");
      } else {
        direct_ = std::make_unique<AtomicFileWriter>(*plan.out);
        direct_->Append(RunsHeader(study));
      }
    } catch (const IoError& e) {
      throw StudyUsageError("--out " + *plan.out + ": " + e.what());
    }
  }
  started_.push_back(IsoNow());
  ended_.push_back(nullptr);
  // The record from the start: a study killed on the way can be resumed by it.
  if (const auto record = RecordPath(plan)) WriteFileAtomically(*record, Record(0, true));
}

StudyFiles::~StudyFiles() = default;

// Finds the runs of this study done before: in OUT, left by a finished or interrupted
// study, and in OUT.partial, left by one killed on the way; both when a resumed study
// was killed. Their record must be this study's, and every row a run of it; every row
// is checked before any run. Nothing found: nothing was done yet.
void StudyFiles::OpenResumed() {
  const StudyPlan& plan = study_.plan();
  const std::string& out = *plan.out;
  const bool partial_found = partial_path_ && Exists(*partial_path_);
  if (!Exists(out) && !partial_found) return;
  const std::string record_path = *RecordPath(plan);
  if (!Exists(record_path)) {
    throw StudyUsageError("--resume: no record of the study that wrote " + out + " (" + record_path + ")");
  }
  CheckRecord(record_path, partial_found);
  for (const std::string& name : runs_in_) {
    auto source = std::make_unique<Source>();
    source->path = name == "partial" ? *partial_path_ : out;
    if (!Exists(source->path)) continue;
    const int64_t whole = CheckSource(*source, name == "partial");
    if (name == "partial") {
      kept_bytes_ = whole;
      already_written_ = source->rows;
    }
    source->in.open(source->path, std::ios::binary);
    std::string header;
    ReadRecord(source->in, header);
    sources_.push_back(std::move(source));
  }
  // The partial file is written on, OUT is only read.
  std::erase(runs_in_, "partial");
}

// The record must name the same model text, seed and plan; a finished study may be
// given more replications. Leaves in runs_in_ the files that hold its runs.
void StudyFiles::CheckRecord(const std::string& record_path, bool partial_found) {
  const StudyPlan& plan = study_.plan();
  const auto refuse = [&](const std::string& why) {
    throw StudyUsageError("--resume: " + why + " (" + record_path + ")");
  };
  try {
    const nlohmann::json record = nlohmann::json::parse(ReadWholeFile(record_path));
    const std::string was = record.at("model").at("sha256").get<std::string>();
    if (was != study_.model_sha256()) {
      refuse("the model's text differs from that of the study in " + *plan.out + ": SHA-256 " + was + " then, " +
             study_.model_sha256() + " now");
    }
    if (record.at("seed").get<uint64_t>() != plan.seed) {
      refuse("--seed " + std::to_string(plan.seed) + " differs from the study's seed " +
             std::to_string(record.at("seed").get<uint64_t>()));
    }
    const nlohmann::json then = record.at("plan"), now = nlohmann::json::parse(PlanValues(plan).dump());
    for (const auto& [key, value] : now.items()) {
      // An option the record does not name was not given: a record of before it existed.
      const nlohmann::json was = then.contains(key) ? then.at(key) : nlohmann::json(nullptr);
      if (key == "replications" || was == value) continue;
      refuse("the options differ from the study's: " + key + " was " + was.dump() + ", now " + value.dump());
    }
    const auto replications = then.at("replications").get<int64_t>();
    // A precision's batches and a selection's first stage are their --replications.
    const bool staged = plan.precision || plan.select;
    if (plan.replications != replications && (staged || plan.replications < replications)) {
      refuse("the options differ from the study's: replications was " + std::to_string(replications) + ", now " +
             std::to_string(plan.replications) + (staged ? "" : "; a study can be extended, not cut"));
    }
    if (plan.replications > replications && partial_found) {
      refuse("the study of " + std::to_string(replications) + " replications in " + *partial_path_ +
             " is not finished: resume it with --replications " + std::to_string(replications) + " first");
    }
    runs_in_ = record.at("runs_in").get<std::vector<std::string>>();
    started_ = TimesOf(record.at("started"));
    ended_ = TimesOf(record.at("ended"));
  } catch (const nlohmann::json::exception& e) {
    refuse(record_path + " is not the record of a study: " + e.what());
  }
}

// Checks the header and every row of a runs file; returns the bytes of its whole rows
// (a row cut short ends a partial file) and counts them in source.rows.
int64_t StudyFiles::CheckSource(Source& source, bool partial) {
  std::ifstream check(source.path, std::ios::binary);
  std::string line;
  const bool whole_header = ReadRecord(check, line) && !check.eof();
  if (!whole_header && partial) return 0;  // killed as it began: nothing kept
  if (!whole_header || line + "\r\n" != RunsHeader(study_)) {
    throw StudyUsageError("--resume: " + source.path + " does not have the columns of this study");
  }
  int64_t whole = check.tellg();
  while (ReadRecord(check, line)) {
    ++source.line;
    if (check.eof() && partial) break;  // the last row, cut short
    ParseRow(line, source);
    ++source.rows;
    if (check.eof()) break;
    whole = check.tellg();
  }
  source.line = 1;
  return whole;
}

// A row of a runs file as the run it records; StudyUsageError for a row that is no
// run of this study.
RunResult StudyFiles::ParseRow(const std::string& line, const Source& source) const {
  const StudyPlan& plan = study_.plan();
  const auto bad = [&](const std::string& why) -> StudyUsageError {
    return StudyUsageError("--resume: line " + std::to_string(source.line) + " of " + source.path + ": " + why);
  };
  const auto fields = ParseCsvLine(line);
  const size_t variations = plan.variations.size(), measures = plan.measures.size();
  const size_t warmups = plan.warmup_auto ? measures : 0;
  const auto batches = static_cast<size_t>(plan.batches.value_or(0));
  if (!fields || fields->size() != 4 + variations + measures + warmups + measures * batches) {
    throw bad("not a row of this study's runs");
  }
  const auto& f = *fields;
  RunResult r;
  const auto c = WholeNumber(f[0]), rep = WholeNumber(f[1]);
  if (!c || !rep || *c < 1 || *c > study_.case_count() || *rep < 1) throw bad("no run of this study");
  r.case_number = *c;
  r.replication = *rep;
  r.seed = study_.RunSeed(*c, *rep);
  if (f[2] != std::to_string(r.seed)) throw bad("the seed is not this study's seed of the run");
  const auto values = study_.CaseValues(*c);
  for (size_t v = 0; v < variations; ++v) {
    if (f[3 + v] != values[v]) throw bad("the case's values are not this study's");
  }
  size_t at = 3 + variations;
  const auto cell = [&]() -> std::optional<double> {
    const std::string& text = f[at++];
    if (text.empty()) return std::nullopt;
    const auto x = Number(text);
    if (!x) throw bad("'" + text + "' is not a number");
    return x;
  };
  for (size_t m = 0; m < measures; ++m) r.values.push_back(cell());
  for (size_t m = 0; m < warmups; ++m) r.warmups.push_back(cell());
  for (size_t m = 0; m < measures && batches > 0; ++m) {
    std::vector<double>& means = r.batch_means.emplace_back();
    for (size_t b = 0; b < batches; ++b) {
      if (const auto x = cell()) means.push_back(*x);
    }
    if (means.size() != batches) means.clear();  // a failed run has none
  }
  const std::string& status = f.back();
  if (status.empty()) throw bad("no status");
  if (status != "ok") r.error = status;
  return r;
}

// The source's next row parsed ahead; false when it has none left.
bool StudyFiles::Load(Source& source) {
  std::string line;
  if (!source.head && source.rows > 0 && ReadRecord(source.in, line)) {
    ++source.line;
    --source.rows;
    source.head = ParseRow(line, source);
  }
  return source.head.has_value();
}

// The files' rows are runs of the study in its order, each file with gaps where runs
// were under way when it stopped: asked in run order, a run is kept when a file's next
// row is that run (both files may hold it).
std::optional<RunResult> StudyFiles::NextKept(RunKey key) {
  std::optional<RunResult> kept;
  for (auto& source : sources_) {
    if (!Load(*source) || !(RunKey{source->head->case_number, source->head->replication} == key)) continue;
    if (!kept) kept = std::move(source->head);
    source->head.reset();
  }
  return kept;
}

// After a stop: the runs of the files beyond where the study stopped, in run order.
std::optional<RunResult> StudyFiles::NextLeft() {
  const auto order = [this](const RunResult& r) {
    return std::tuple(study_.StageOf(r.replication), r.case_number, r.replication);
  };
  Source* first = nullptr;
  for (auto& source : sources_) {
    if (Load(*source) && (!first || order(*source->head) < order(*first->head))) first = source.get();
  }
  if (!first) return std::nullopt;
  return NextKept({first->head->case_number, first->head->replication});
}

RunSchedule::Kept StudyFiles::Kept() {
  if (sources_.empty()) return nullptr;
  return [this](RunKey key) { return NextKept(key); };
}

RunSchedule::Sink StudyFiles::Sink() {
  return [this](const RunResult& r) { Write(r); };
}

void StudyFiles::Sync() {
  if (!partial_ || !write_error_.empty()) return;
  try {
    partial_->Sync();
  } catch (const SimError& e) {
    write_error_ = e.what();
  }
}

void StudyFiles::Write(const RunResult& r) {
  if (r.failed()) {
    if (failures_.size() < kShownFailures) {
      failures_.push_back("case " + std::to_string(r.case_number) + " replication " + std::to_string(r.replication) +
                          ": " + r.error);
    }
    ++failed_;
  }
  if (already_written_ > 0) {
    --already_written_;  // a row of the partial file read back: it is there
    return;
  }
  if (!write_error_.empty()) return;
  try {
    if (partial_) partial_->Append(RunRow(study_, r));
    if (direct_) direct_->Append(RunRow(study_, r));
  } catch (const SimError& e) {
    write_error_ = e.what();  // told at the end; the runs go on for the summary
  }
}

int StudyFiles::Finish(RunSchedule& schedule, std::ostream& out, std::ostream& err) {
  const StudyPlan& plan = study_.plan();
  const bool interrupted = schedule.stopped();
  // Runs of the files read back beyond where this study stopped stay in them.
  while (interrupted) {
    auto left = NextLeft();
    if (!left) break;
    schedule.Append(std::move(*left));
  }
  bool failed = failed_ > 0;
  const auto report = [&](const std::string& option, const std::string& path, const std::string& why) {
    out << "error: " << option << " " << path << ": " << why << '\n';
    failed = true;
  };
  if (partial_ || direct_) {
    try {
      if (!write_error_.empty()) throw IoError(write_error_);
      if (partial_) partial_->Commit();
      if (direct_) direct_->Commit();
      runs_in_ = {"out"};
    } catch (const SimError& e) {
      report("--out", *plan.out, e.what());
    }
  }
  const auto cases = schedule.tally().Cases();
  const auto write = [&](const char* option, const std::optional<std::string>& path, const std::string& text) {
    if (!path) return;
    try {
      WriteFileAtomically(*path, text);
    } catch (const SimError& e) {
      report(option, *path, e.what());
    }
  };
  write("--summary", plan.summary, SummaryCsv(study_, cases));
  if (plan.plot) {
    try {
      pictures_(*plan.plot, SweepPlotSizeOf(study_), [&](Canvas& c) { DrawSweepPlot(c, study_, cases); });
    } catch (const SimError& e) {
      report("--plot", *plan.plot, e.what());
    }
  }
  ended_.back() = IsoNow();
  for (const auto& [option, path] :
       {std::pair{"--out", plan.out}, std::pair{"--summary", plan.summary}, std::pair{"--plot", plan.plot}}) {
    if (!path) continue;
    if (const auto digest = FileSha256Hex(*path)) digests_.emplace_back(option, *digest);
  }
  const auto record = RecordPath(plan);
  write("record", record, Record(schedule.released(), interrupted));
  if (record && !plan.out && !plan.summary) err << "study: the record is in " << AbsolutePath(*record) << '\n';
  out << SummaryTable(study_, cases);
  WarnCorrelatedBatches(cases, err);
  err << SelectionReport(study_, schedule.tally());
  for (const std::string& f : failures_) out << "error: " << f << '\n';
  if (failed_ > static_cast<int64_t>(failures_.size())) {
    out << "error: " << failed_ - static_cast<int64_t>(failures_.size()) << " more runs failed\n";
  }
  out.flush();
  if (interrupted) {
    err << "study interrupted: " << schedule.released() << " runs done"
        << (plan.out ? " and kept in " + *plan.out : std::string(", no --out to keep them")) << '\n';
    return 130;
  }
  return failed ? 1 : 0;
}

namespace {

std::string TwoDecimals(double x) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, 2);
  return std::string(buf, r.ptr);
}

}  // namespace

// Batch means that follow each other closely are no independent sample: their interval
// is too narrow.
void StudyFiles::WarnCorrelatedBatches(const std::vector<CaseSummary>& cases, std::ostream& err) const {
  const StudyPlan& plan = study_.plan();
  for (const CaseSummary& c : cases) {
    for (size_t m = 0; m < c.series.size() && m < plan.measures.size(); ++m) {
      const std::optional<double> lag1 = c.series[m].lag1;
      if (!lag1 || *lag1 <= kLag1Warning) continue;
      err << "warning: case " << c.case_number << ", " << plan.measures[m].name
          << ": the lag-1 correlation of the batch means is " << TwoDecimals(*lag1) << ", above "
          << FormatGeneral(kLag1Warning)
          << ": the batches are too short to be independent and the interval is too narrow; give fewer batches "
             "or a longer run\n";
    }
  }
}

// The files the study writes, with absolute paths, and the SHA-256 of each once written.
nlohmann::ordered_json StudyFiles::Outputs() const {
  const StudyPlan& plan = study_.plan();
  nlohmann::ordered_json j = nlohmann::ordered_json::object();
  for (const auto& [option, path] : {std::pair{"--out", plan.out}, std::pair{"--summary", plan.summary},
                                     std::pair{"--plot", plan.plot}, std::pair{"--tapes", plan.tapes}}) {
    if (!path) continue;
    nlohmann::ordered_json& o = j[option];
    o["path"] = AbsolutePath(*path);
    if (std::string(option) == "--tapes") continue;  // a folder of a file a run: too many to name
    o["sha256"] = nullptr;
    for (const auto& [written, digest] : digests_) {
      if (written == option) o["sha256"] = digest;
    }
  }
  return j;
}

std::string StudyFiles::Record(int64_t runs, bool interrupted) const {
  const StudyPlan& plan = study_.plan();
  nlohmann::ordered_json j;
  j["program"] = "trevolan";
  j["version"] = kVersion;
  j["build"] = build_;
  j["command"] = plan.command;
  std::error_code ec;
  j["cwd"] = std::filesystem::current_path(ec).string();
  j["model"] = {{"path", plan.model.empty() ? std::string() : AbsolutePath(plan.model)},
                {"sha256", study_.model_sha256()}};
  j["seed"] = plan.seed;
  j["warmup"] = WarmupValue(plan);
  j["confidence"] = plan.confidence;
  j["runs"] = runs;
  j["failed"] = failed_;
  j["interrupted"] = interrupted;
  j["started"] = started_;
  j["ended"] = ended_;
  j["options"] = plan.defining;
  j["plan"] = PlanValues(plan);
  j["runs_in"] = runs_in_;
  j["outputs"] = Outputs();
  return j.dump(2) + "\n";
}

}  // namespace trevolan::study

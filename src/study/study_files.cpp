#include "study/study_files.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include "model/numbers.h"
#include "model/tape_csv.h"
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

StudyFiles::StudyFiles(const Study& study) : study_(study), started_(IsoNow()) {
  const StudyPlan& plan = study.plan();
  if (plan.resume) OpenResumed();
  if (plan.out) {
    try {
      runs_ = std::make_unique<AtomicFileWriter>(*plan.out);
      runs_->Append(RunsHeader(study));
    } catch (const IoError& e) {
      throw StudyUsageError("--out " + *plan.out + ": " + e.what());
    }
  }
}

StudyFiles::~StudyFiles() = default;

// Checks that the runs file in --out is one of this study (its record names the same
// model text, options and seed, and every row is a run of it) and opens it to be read
// along with the run order. A missing file: nothing was done yet.
void StudyFiles::OpenResumed() {
  const StudyPlan& plan = study_.plan();
  const std::string& out = *plan.out;
  if (!Exists(out)) return;
  const std::string record_path = *RecordPath(plan);
  const auto refuse = [](const std::string& why) { throw StudyUsageError("--resume: " + why); };
  if (!Exists(record_path)) refuse("no record of the study that wrote " + out + " (" + record_path + ")");
  nlohmann::json record;
  try {
    record = nlohmann::json::parse(ReadWholeFile(record_path));
    const std::string was = record.at("model").at("sha256").get<std::string>();
    if (was != study_.model_sha256()) {
      refuse("the model's text differs from that of the study in " + out + " (" + record_path + "): SHA-256 " +
             was + " then, " + study_.model_sha256() + " now");
    }
    if (record.at("seed").get<uint64_t>() != plan.seed) {
      refuse("--seed " + std::to_string(plan.seed) + " differs from the study's seed " +
             std::to_string(record.at("seed").get<uint64_t>()) + " (" + record_path + ")");
    }
    const auto options = record.at("options").get<std::vector<std::string>>();
    if (options != plan.defining) {
      std::string was, now;
      for (const auto& o : options) was += (was.empty() ? "" : " ") + o;
      for (const auto& o : plan.defining) now += (now.empty() ? "" : " ") + o;
      refuse("the options differ from the study's (" + record_path + "): it had \"" + was + "\", now \"" + now + "\"");
    }
  } catch (const nlohmann::json::exception& e) {
    refuse(record_path + " is not the record of a study: " + e.what());
  }
  // Every row checked before any run, then read again in step with the runs.
  std::ifstream check(out, std::ios::binary);
  std::string line;
  if (!ReadRecord(check, line) || line + "\r\n" != RunsHeader(study_)) {
    refuse(out + " does not have the columns of this study");
  }
  for (int64_t n = 2; ReadRecord(check, line); ++n) ParseRow(line, n);
  resumed_ = std::make_unique<std::ifstream>(out, std::ios::binary);
  ReadRecord(*resumed_, line);
}

// A row of the runs file as the run it records; StudyUsageError for a row that is no
// run of this study.
RunResult StudyFiles::ParseRow(const std::string& line, int64_t number) const {
  const StudyPlan& plan = study_.plan();
  const auto bad = [&](const std::string& why) -> StudyUsageError {
    return StudyUsageError("--resume: line " + std::to_string(number) + " of " + *plan.out + ": " + why);
  };
  const auto fields = ParseCsvLine(line);
  const size_t variations = plan.variations.size(), measures = plan.measures.size();
  if (!fields || fields->size() != 4 + variations + measures) throw bad("not a row of this study's runs");
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
  for (size_t m = 0; m < measures; ++m) {
    const std::string& cell = f[3 + variations + m];
    if (cell.empty()) {
      r.values.emplace_back();
      continue;
    }
    const auto x = Number(cell);
    if (!x) throw bad("'" + cell + "' is not a number");
    r.values.emplace_back(*x);
  }
  const std::string& status = f.back();
  if (status.empty()) throw bad("no status");
  if (status != "ok") r.error = status;
  return r;
}

std::optional<RunResult> StudyFiles::NextKept(RunKey key) {
  if (!next_kept_ && resumed_) {
    std::string line;
    if (ReadRecord(*resumed_, line)) {
      next_kept_ = ParseRow(line, ++resumed_line_);
    } else {
      resumed_.reset();
    }
  }
  if (!next_kept_ || !(RunKey{next_kept_->case_number, next_kept_->replication} == key)) return std::nullopt;
  std::optional<RunResult> kept = std::move(next_kept_);
  next_kept_.reset();
  return kept;
}

RunSchedule::Kept StudyFiles::Kept() {
  if (!resumed_) return nullptr;
  return [this](RunKey key) { return NextKept(key); };
}

RunSchedule::Sink StudyFiles::Sink() {
  return [this](const RunResult& r) { Write(r); };
}

void StudyFiles::Write(const RunResult& r) {
  if (r.failed()) {
    if (failures_.size() < kShownFailures) {
      failures_.push_back("case " + std::to_string(r.case_number) + " replication " + std::to_string(r.replication) +
                          ": " + r.error);
    }
    ++failed_;
  }
  if (!runs_ || !write_error_.empty()) return;
  try {
    runs_->Append(RunRow(study_, r));
  } catch (const SimError& e) {
    write_error_ = e.what();  // told at the end; the runs go on for the summary
  }
}

int StudyFiles::Finish(RunSchedule& schedule, std::ostream& out, std::ostream& err) {
  const StudyPlan& plan = study_.plan();
  const bool interrupted = schedule.stopped();
  // Runs of a resumed file beyond where this study stopped stay in it.
  while (interrupted && resumed_) {
    std::string line;
    if (!next_kept_ && ReadRecord(*resumed_, line)) next_kept_ = ParseRow(line, ++resumed_line_);
    if (!next_kept_) break;
    schedule.Append(std::move(*next_kept_));
    next_kept_.reset();
  }
  bool failed = failed_ > 0;
  const auto report = [&](const std::string& option, const std::string& path, const std::string& why) {
    out << "error: " << option << " " << path << ": " << why << '\n';
    failed = true;
  };
  if (runs_) {
    try {
      if (!write_error_.empty()) throw IoError(write_error_);
      runs_->Commit();
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
  write("record", RecordPath(plan), Record(schedule, interrupted));
  out << SummaryTable(study_, cases);
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

std::string StudyFiles::Record(const RunSchedule& schedule, bool interrupted) const {
  const StudyPlan& plan = study_.plan();
  nlohmann::ordered_json j;
  j["program"] = "trevolan";
  j["version"] = kVersion;
  j["command"] = plan.command;
  j["model"] = {{"path", plan.model}, {"sha256", study_.model_sha256()}};
  j["seed"] = plan.seed;
  j["warmup"] = std::isfinite(plan.warmup) ? nlohmann::ordered_json(plan.warmup) : nlohmann::ordered_json(nullptr);
  j["confidence"] = plan.confidence;
  j["runs"] = schedule.released();
  j["failed"] = failed_;
  j["interrupted"] = interrupted;
  j["started"] = started_;
  j["ended"] = IsoNow();
  j["options"] = plan.defining;
  return j.dump(2) + "\n";
}

}  // namespace trevolan::study

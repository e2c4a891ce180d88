#include <algorithm>
#include <charconv>

#include "model/atomic_file.h"
#include "model/numbers.h"
#include "model/tape_csv.h"
#include "study/study.h"

namespace trevolan::study {

namespace {

std::string Cell(const std::optional<double>& v) { return v ? CsvNumber(*v) : std::string(); }
std::string Cell(double v, bool present) { return present ? CsvNumber(v) : std::string(); }

// Six significant digits for the table on a terminal; '.' whatever the locale.
std::string Short(double v) {
  if (std::isnan(v)) return "-";
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 6);
  return std::string(buf, r.ptr);
}

// The columns that name a case, first in the summary file and the table.
std::vector<std::string> CaseHeader(const StudyPlan& plan) {
  std::vector<std::string> header{"case"};
  for (const Variation& v : plan.variations) header.push_back(v.target);
  header.push_back("runs");
  header.push_back("failed");
  return header;
}

std::vector<std::string> CaseCells(const CaseSummary& c) {
  std::vector<std::string> row{std::to_string(c.case_number)};
  row.insert(row.end(), c.case_values.begin(), c.case_values.end());
  row.push_back(std::to_string(c.runs));
  row.push_back(std::to_string(c.failed));
  return row;
}

}  // namespace

std::vector<CaseSummary> SummarizeCases(const Study& study, const std::vector<RunResult>& runs) {
  const size_t measures = study.plan().measures.size();
  std::vector<CaseSummary> cases;
  std::vector<std::vector<std::vector<double>>> samples;
  for (int64_t c = 1; c <= study.case_count(); ++c) {
    cases.push_back({c, study.CaseValues(c), 0, 0, {}});
    samples.emplace_back(measures);
  }
  for (const RunResult& r : runs) {
    const auto c = static_cast<size_t>(r.case_number - 1);
    ++cases[c].runs;
    if (r.failed()) ++cases[c].failed;
    for (size_t m = 0; m < measures && m < r.values.size(); ++m) {
      if (r.values[m]) samples[c][m].push_back(*r.values[m]);
    }
  }
  for (size_t c = 0; c < cases.size(); ++c) {
    for (size_t m = 0; m < measures; ++m) cases[c].measures.push_back(Summarize(samples[c][m]));
  }
  return cases;
}

std::string RunsCsv(const Study& study, const std::vector<RunResult>& runs) {
  const StudyPlan& plan = study.plan();
  std::vector<std::string> header{"case", "replication", "seed"};
  for (const Variation& v : plan.variations) header.push_back(v.target);
  for (const Measure& m : plan.measures) header.push_back(m.name);
  header.push_back("status");
  std::string text = CsvLine(header);
  for (const RunResult& r : runs) {
    std::vector<std::string> row{std::to_string(r.case_number), std::to_string(r.replication), std::to_string(r.seed)};
    for (const std::string& v : study.CaseValues(r.case_number)) row.push_back(v);
    for (size_t m = 0; m < plan.measures.size(); ++m) row.push_back(m < r.values.size() ? Cell(r.values[m]) : "");
    row.push_back(r.failed() ? r.error : "ok");
    text += CsvLine(row);
  }
  return text;
}

std::string SummaryCsv(const Study& study, const std::vector<CaseSummary>& cases) {
  const StudyPlan& plan = study.plan();
  std::vector<std::string> header = CaseHeader(plan);
  for (const Measure& m : plan.measures) {
    for (const char* stat : {"n", "mean", "sd", "ci95"}) header.push_back(std::string(stat) + "(" + m.name + ")");
  }
  std::string text = CsvLine(header);
  for (const CaseSummary& c : cases) {
    std::vector<std::string> row = CaseCells(c);
    for (const SampleSummary& s : c.measures) {
      row.push_back(std::to_string(s.n));
      row.push_back(Cell(s.mean, s.n > 0));
      row.push_back(Cell(s.sd, s.n > 1));
      row.push_back(Cell(s.ci95, s.n > 1));
    }
    text += CsvLine(row);
  }
  return text;
}

std::string SummaryTable(const Study& study, const std::vector<CaseSummary>& cases) {
  const StudyPlan& plan = study.plan();
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> header = CaseHeader(plan);
  for (const Measure& m : plan.measures) {
    header.push_back(m.name);
    header.push_back("+-95%");
  }
  rows.push_back(header);
  for (const CaseSummary& c : cases) {
    std::vector<std::string> row = CaseCells(c);
    for (const SampleSummary& s : c.measures) {
      row.push_back(Short(s.mean));
      row.push_back(Short(s.ci95));
    }
    rows.push_back(row);
  }
  std::vector<size_t> width(header.size(), 0);
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) width[i] = std::max(width[i], row[i].size());
  }
  std::string text;
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) line += "  ";
      line += std::string(width[i] - row[i].size(), ' ') + row[i];
    }
    text += line + '\n';
  }
  return text;
}

int ReportStudy(const Study& study, const std::vector<RunResult>& runs, std::ostream& out) {
  const auto cases = SummarizeCases(study, runs);
  bool failed = std::any_of(runs.begin(), runs.end(), [](const RunResult& r) { return r.failed(); });
  const auto write = [&](const std::optional<std::string>& path, const std::string& text) {
    if (!path) return;
    try {
      WriteFileAtomically(*path, text);
    } catch (const SimError& e) {
      out << "error: " << *path << ": " << e.what() << '\n';
      failed = true;
    }
  };
  write(study.plan().out, RunsCsv(study, runs));
  write(study.plan().summary, SummaryCsv(study, cases));
  out << SummaryTable(study, cases);
  // The files hold every failure; the terminal gets the first few.
  constexpr int64_t kShownFailures = 10;
  int64_t failures = 0;
  for (const RunResult& r : runs) {
    if (r.failed() && ++failures <= kShownFailures) {
      out << "error: case " << r.case_number << " replication " << r.replication << ": " << r.error << '\n';
    }
  }
  if (failures > kShownFailures) out << "error: " << failures - kShownFailures << " more runs failed\n";
  out.flush();
  return failed ? 1 : 0;
}

}  // namespace trevolan::study

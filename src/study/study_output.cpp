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

// The runs file's columns of the series of every measure: its truncation time under
// --warmup auto, its batch means under --batches (so that a resumed study has them).
std::vector<std::string> SeriesHeader(const StudyPlan& plan) {
  std::vector<std::string> header;
  for (const Measure& m : plan.measures) {
    if (plan.warmup_auto) header.push_back("warmup(" + m.name + ")");
  }
  for (const Measure& m : plan.measures) {
    for (int64_t b = 1; b <= plan.batches.value_or(0); ++b) header.push_back("batch" + std::to_string(b) + "(" + m.name + ")");
  }
  return header;
}

std::vector<std::string> SeriesCells(const StudyPlan& plan, const RunResult& r) {
  std::vector<std::string> row;
  for (size_t m = 0; m < plan.measures.size(); ++m) {
    if (plan.warmup_auto) row.push_back(m < r.warmups.size() ? Cell(r.warmups[m]) : "");
  }
  const auto batches = static_cast<size_t>(plan.batches.value_or(0));
  for (size_t m = 0; m < plan.measures.size(); ++m) {
    const bool has = m < r.batch_means.size() && r.batch_means[m].size() == batches;
    for (size_t b = 0; b < batches; ++b) row.push_back(has ? CsvNumber(r.batch_means[m][b]) : "");
  }
  return row;
}

// The outcome of a selection, last in the summary file and the table.
void AddSelectionHeader(const StudyPlan& plan, std::vector<std::string>& header) {
  if (!plan.select) return;
  header.push_back("selected");
  header.push_back("eliminated_after");
}

void AddSelectionCells(const StudyPlan& plan, const CaseSummary& c, std::vector<std::string>& row) {
  if (!plan.select) return;
  row.push_back(c.selected ? "1" : "0");
  row.push_back(c.eliminated_after ? std::to_string(*c.eliminated_after) : "");
}

}  // namespace

std::string IntervalName(double level) {
  // The level's shortest decimal digits, the point moved two places: 0.95 gives 95,
  // 0.999 99.9, 1e-9 0.0000001. Arithmetic on the number itself would give 99.89999...
  // or 1e-07.
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, level, std::chars_format::fixed);
  std::string digits(buf, r.ptr);  // "0.95"; the level lies between 0 and 1
  const size_t point = digits.find('.');
  std::string fraction = point == std::string::npos ? "" : digits.substr(point + 1);
  fraction.resize(std::max<size_t>(fraction.size(), 2), '0');
  std::string whole = std::to_string(std::stoll(digits.substr(0, point)) * 100 + std::stoll(fraction.substr(0, 2)));
  std::string rest = fraction.substr(2);
  while (!rest.empty() && rest.back() == '0') rest.pop_back();
  return "ci" + whole + (rest.empty() ? "" : "." + rest);
}

std::string RunsHeader(const Study& study) {
  const StudyPlan& plan = study.plan();
  std::vector<std::string> header{"case", "replication", "seed"};
  for (const Variation& v : plan.variations) header.push_back(v.target);
  for (const Measure& m : plan.measures) header.push_back(m.name);
  for (std::string& column : SeriesHeader(plan)) header.push_back(std::move(column));
  header.push_back("status");
  return CsvLine(header);
}

std::string RunRow(const Study& study, const RunResult& r) {
  std::vector<std::string> row{std::to_string(r.case_number), std::to_string(r.replication), std::to_string(r.seed)};
  for (const std::string& v : study.CaseValues(r.case_number)) row.push_back(v);
  for (size_t m = 0; m < study.plan().measures.size(); ++m) row.push_back(m < r.values.size() ? Cell(r.values[m]) : "");
  for (std::string& cell : SeriesCells(study.plan(), r)) row.push_back(std::move(cell));
  row.push_back(r.failed() ? r.error : "ok");
  return CsvLine(row);
}

std::string RunsCsv(const Study& study, const std::vector<RunResult>& runs) {
  std::string text = RunsHeader(study);
  for (const RunResult& r : runs) text += RunRow(study, r);
  return text;
}

std::string SummaryCsv(const Study& study, const std::vector<CaseSummary>& cases) {
  const StudyPlan& plan = study.plan();
  std::vector<std::string> header = CaseHeader(plan);
  const std::string ci = IntervalName(plan.confidence);
  for (const Measure& m : plan.measures) {
    for (const std::string& stat : {std::string("n"), std::string("mean"), std::string("sd"), ci}) {
      header.push_back(stat + "(" + m.name + ")");
    }
    if (plan.warmup_auto) {
      header.push_back("warmup_mean(" + m.name + ")");
      header.push_back("warmup_max(" + m.name + ")");
    }
    if (plan.batches) header.push_back("lag1(" + m.name + ")");
    if (plan.crn) {
      for (const char* stat : {"n_diff", "diff", "sd_diff", "ci_diff"}) header.push_back(std::string(stat) + "(" + m.name + ")");
    }
  }
  if (plan.precision) header.push_back("stopped");
  AddSelectionHeader(plan, header);
  std::string text = CsvLine(header);
  for (const CaseSummary& c : cases) {
    std::vector<std::string> row = CaseCells(c);
    for (size_t m = 0; m < c.measures.size(); ++m) {
      const SampleSummary& s = c.measures[m];
      row.push_back(std::to_string(s.n));
      row.push_back(Cell(s.mean, s.n > 0));
      row.push_back(Cell(s.sd, s.n > 1));
      row.push_back(Cell(s.ci, s.n > 1));
      const SeriesTally::Result series = m < c.series.size() ? c.series[m] : SeriesTally::Result{};
      if (plan.warmup_auto) {
        row.push_back(Cell(series.warmup_mean));
        row.push_back(Cell(series.warmup_max));
      }
      if (plan.batches) row.push_back(Cell(series.lag1));
      if (!plan.crn) continue;
      const bool paired = m < c.differences.size();
      const SampleSummary d = paired ? c.differences[m] : SampleSummary{};
      row.push_back(std::to_string(d.n));  // the pairs behind the difference; 0 for the baseline
      row.push_back(Cell(d.mean, paired && d.n > 0));
      row.push_back(Cell(d.sd, paired && d.n > 1));
      row.push_back(Cell(d.ci, paired && d.n > 1));
    }
    if (plan.precision) row.push_back(c.stopped);
    AddSelectionCells(plan, c, row);
    text += CsvLine(row);
  }
  return text;
}

std::string SummaryTable(const Study& study, const std::vector<CaseSummary>& cases) {
  const StudyPlan& plan = study.plan();
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> header = CaseHeader(plan);
  const std::string level = IntervalName(plan.confidence).substr(2);
  for (const Measure& m : plan.measures) {
    header.push_back(m.name);
    header.push_back("+-" + level + "%");
    if (plan.crn) {
      header.push_back("diff");
      header.push_back("+-" + level + "%");
    }
  }
  AddSelectionHeader(plan, header);
  rows.push_back(header);
  for (const CaseSummary& c : cases) {
    std::vector<std::string> row = CaseCells(c);
    for (size_t m = 0; m < c.measures.size(); ++m) {
      row.push_back(Short(c.measures[m].mean));
      row.push_back(Short(c.measures[m].ci));
      if (!plan.crn) continue;
      const bool paired = m < c.differences.size();
      row.push_back(paired ? Short(c.differences[m].mean) : "");
      row.push_back(paired ? Short(c.differences[m].ci) : "");
    }
    AddSelectionCells(plan, c, row);
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

std::string SelectionReport(const Study& study, const StudyTally& tally) {
  const Selection* selection = tally.selection();
  if (!selection) return "";
  const StudyPlan& plan = study.plan();
  const std::string& measure = plan.measures[study.selected_measure()].name;
  std::string text;
  for (const int64_t c : selection->failed_cases()) {
    text += "study: case " + std::to_string(c) + " left the selection: a run of it has no value of " + measure + "\n";
  }
  if (!selection->decided()) return text + "study: no case selected: the study stopped before the selection ended\n";
  if (selection->chosen() == 0) return text + "study: no case selected: every case left the selection\n";
  const CaseSummary chosen = tally.Case(selection->chosen());
  std::string values;
  for (size_t v = 0; v < plan.variations.size(); ++v) {
    values += (v ? ", " : " (") + plan.variations[v].target + "=" + chosen.case_values[v] + (v + 1 == plan.variations.size() ? ")" : "");
  }
  return text + "study: case " + std::to_string(chosen.case_number) + values + " selected as the " +
         (study.selects_largest() ? "best" : "worst") + " by " + measure + ": mean " +
         Short(chosen.measures[study.selected_measure()].mean) + " over " + std::to_string(chosen.runs) + " runs\n";
}

}  // namespace trevolan::study

#include "study_bindings.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "commands/options.h"
#include "errors.h"
#include "exchange.h"
#include "frames.h"
#include "py_model.h"
#include "study/study_options.h"
#include "watch.h"

namespace trevolan::python {

namespace {

// A study's results: one record a run, one record a case, as numpy structured arrays.
struct PyStudyResult {
  py::object runs, summary;
  py::list status;
};

// What a keyword of study() takes in Python, by the kind of its option.
const char* PythonTypeOf(study::OptionKind kind) {
  switch (kind) {
    case study::OptionKind::kCount:
    case study::OptionKind::kSeed: return "int";
    case study::OptionKind::kNumber: return "float";
    case study::OptionKind::kFlag: return "bool";
    case study::OptionKind::kPath: return "str or path";
    case study::OptionKind::kAssignment: return "{target: value} or (target, value) pairs";
    case study::OptionKind::kVariation: return "{target: [values] or the text \"V1,V2,...\" or \"FROM:TO:COUNT\"}";
    case study::OptionKind::kMeasure: return "list of str";
    case study::OptionKind::kText: return "str";
  }
  return "";
}

// A value as the study's files write what was given: a number in the shortest form that
// reads back to it, a text as it is.
std::string ValueText(py::handle given) {
  const FieldValue v = given.cast<Scalar>().value;
  if (const auto* text = std::get_if<std::string>(&v)) return *text;
  if (const auto* b = std::get_if<bool>(&v)) return *b ? "1" : "0";
  if (const auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, std::get<double>(v)).ptr);
}

using TypedValues = std::vector<std::pair<study::OptionValue, std::string>>;

// The values of `vary`: each target's list, or the command's own text of one.
TypedValues VariationsOf(const study::StudyOption& o, py::handle given) {
  TypedValues values;
  for (const auto& [target, list] : Pairs(py::reinterpret_borrow<py::object>(given))) {
    if (py::isinstance<py::str>(list)) {
      // A text is the command's own list (1,2,3) or range (FROM:TO:COUNT).
      const std::string text = target + "=" + list.cast<std::string>();
      values.emplace_back(study::ReadStudyOption(o, text), text);
      continue;
    }
    study::Variation v{target, {}};
    std::string text = target + "=";
    for (py::handle item : py::reinterpret_borrow<py::iterable>(list)) {
      v.values.push_back(ValueText(item));
      text += (v.values.size() > 1 ? "," : "") + v.values.back();
    }
    values.emplace_back(std::move(v), text);
  }
  return values;
}

// The values of a keyword of study(), typed as its option's kind takes them, each with
// the text it stands for on the command line (for the messages and the study's record).
// False gives a flag no value.
TypedValues OptionValuesOf(const study::StudyOption& o, py::handle given) {
  using study::OptionKind;
  const auto refuse = [&](const std::string& expected) {
    return py::type_error(std::string("study() ") + o.keyword + ": expected " + expected + ", got " +
                          py::repr(given).cast<std::string>());
  };
  TypedValues values;
  switch (o.kind) {
    case OptionKind::kCount:
    case OptionKind::kSeed:
    case OptionKind::kNumber: {
      if (*o.word && py::isinstance<py::str>(given) && given.cast<std::string>() == o.word) {
        values.emplace_back(std::string(o.word), o.word);  // warmup="auto"
        break;
      }
      if (py::isinstance<py::str>(given) || py::isinstance<py::bool_>(given)) {
        const std::string type = PythonTypeOf(o.kind);
        throw refuse(*o.word ? type + " or '" + o.word + "'" : type);
      }
      const FieldValue v = given.cast<Scalar>().value;
      const auto* whole = std::get_if<int64_t>(&v);
      values.emplace_back(whole ? static_cast<double>(*whole) : std::get<double>(v), ValueText(given));
      break;
    }
    case OptionKind::kFlag:
      if (!py::isinstance<py::bool_>(given)) throw refuse("True or False");
      if (given.cast<bool>()) values.emplace_back(true, "");
      break;
    case OptionKind::kPath: {
      if (!py::isinstance<py::str>(given) && !py::hasattr(given, "__fspath__")) throw refuse(PythonTypeOf(o.kind));
      const std::string path = py::cast<std::filesystem::path>(given).string();
      values.emplace_back(path, path);
      break;
    }
    case OptionKind::kAssignment:
      for (const auto& [target, value] : Pairs(py::reinterpret_borrow<py::object>(given))) {
        const std::string text = ValueText(value);
        values.emplace_back(study::Assignment{target, text}, target + "=" + text);
      }
      break;
    case OptionKind::kVariation: return VariationsOf(o, given);
    case OptionKind::kText:
      if (!py::isinstance<py::str>(given)) throw refuse(PythonTypeOf(o.kind));
      values.emplace_back(given.cast<std::string>(), given.cast<std::string>());
      break;
    case OptionKind::kMeasure:
      for (const std::string& text : NamesOf(std::string("study() ") + o.keyword, given)) {
        values.emplace_back(study::ReadStudyOption(o, text), text);
      }
      break;
  }
  return values;
}

std::vector<std::string> StudyKeywords() {
  std::vector<std::string> keywords;
  for (const study::StudyOption& o : study::StudyOptions()) {
    if (*o.keyword) keywords.emplace_back(o.keyword);
  }
  return keywords;
}

// The plan the keywords of study() stand for: each keyword is an option of the table,
// its typed value passes the command line's checks (SetStudyOption), and the Study
// checks every target against the model, so a bad option is refused with the command's
// words. None leaves an option out.
study::StudyPlan StudyPlanOf(const py::kwargs& options) {
  study::StudyPlan plan;
  for (const auto& [key, given] : options) {
    const std::string keyword = key.cast<std::string>();
    const study::StudyOption* o = study::FindStudyKeyword(keyword);
    if (!o) {
      throw py::type_error("study() got an unexpected keyword argument '" + keyword + "'" +
                           commands::Suggestion(keyword, StudyKeywords()));
    }
    if (given.is_none()) continue;
    for (auto& [value, text] : OptionValuesOf(*o, given)) study::SetStudyOption(plan, *o, std::move(value), text);
  }
  return plan;
}

// The keywords of study() as the table gives them, for the package's signature and help.
py::list StudyOptionRows() {
  py::list rows;
  for (const study::StudyOption& o : study::StudyOptions()) {
    if (!*o.keyword) continue;
    rows.append(py::dict(py::arg("keyword") = o.keyword, py::arg("option") = study::OptionUsage(o),
                         py::arg("type") = PythonTypeOf(o.kind), py::arg("help") = o.help));
  }
  return rows;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Each varied target's values in the records' order, numbers when they all read so.
template <typename Row, typename ValuesOf>
void AddVariations(Records& records, const study::Study& s, const std::vector<Row>& rows, ValuesOf values_of) {
  for (size_t v = 0; v < s.plan().variations.size(); ++v) {
    std::vector<std::string> texts;
    for (const Row& r : rows) texts.push_back(values_of(r)[v]);
    records.AddTexts(s.plan().variations[v].target, texts);
  }
}

py::object RunRecords(const study::Study& s, const std::vector<study::RunResult>& runs) {
  Records records(runs.size());
  std::vector<int64_t> cases, replications;
  std::vector<uint64_t> seeds;
  for (const auto& r : runs) {
    cases.push_back(r.case_number);
    replications.push_back(r.replication);
    seeds.push_back(r.seed);
  }
  records.Add("case", cases);
  records.Add("replication", replications);
  records.Add("seed", seeds);
  AddVariations(records, s, runs, [&s](const study::RunResult& r) { return s.CaseValues(r.case_number); });
  for (size_t m = 0; m < s.plan().measures.size(); ++m) {
    std::vector<double> values;
    for (const auto& r : runs) values.push_back(m < r.values.size() && r.values[m] ? *r.values[m] : kNaN);
    records.Add(s.plan().measures[m].name, values);
  }
  return records.Array();
}

// A measure's columns of the summary: n, mean, sd and the interval's half-width, and
// with common random numbers the differences from the baseline.
void AddMeasureSummary(Records& records, const study::Study& s, const std::vector<study::CaseSummary>& cases,
                       size_t m) {
  std::vector<int64_t> n, n_diff;
  std::vector<double> mean, sd, half, diff, sd_diff, ci_diff;
  for (const auto& c : cases) {
    const study::SampleSummary& x = c.measures[m];
    n.push_back(x.n);
    mean.push_back(x.n > 0 ? x.mean : kNaN);
    sd.push_back(x.n > 1 ? x.sd : kNaN);
    half.push_back(x.n > 1 ? x.ci : kNaN);
    const bool paired = m < c.differences.size();
    const study::SampleSummary d = paired ? c.differences[m] : study::SampleSummary{};
    n_diff.push_back(d.n);
    diff.push_back(paired && d.n > 0 ? d.mean : kNaN);
    sd_diff.push_back(paired && d.n > 1 ? d.sd : kNaN);
    ci_diff.push_back(paired && d.n > 1 ? d.ci : kNaN);
  }
  const std::string& name = s.plan().measures[m].name;
  records.Add("n(" + name + ")", n);
  records.Add("mean(" + name + ")", mean);
  records.Add("sd(" + name + ")", sd);
  records.Add(study::IntervalName(s.plan().confidence) + "(" + name + ")", half);
  if (s.plan().crn) {
    records.Add("n_diff(" + name + ")", n_diff);
    records.Add("diff(" + name + ")", diff);
    records.Add("sd_diff(" + name + ")", sd_diff);
    records.Add("ci_diff(" + name + ")", ci_diff);
  }
}

py::object SummaryRecords(const study::Study& s, const std::vector<study::CaseSummary>& cases) {
  Records records(cases.size());
  std::vector<int64_t> numbers, runs, failed;
  for (const auto& c : cases) {
    numbers.push_back(c.case_number);
    runs.push_back(c.runs);
    failed.push_back(c.failed);
  }
  records.Add("case", numbers);
  AddVariations(records, s, cases, [](const study::CaseSummary& c) { return c.case_values; });
  records.Add("runs", runs);
  records.Add("failed", failed);
  for (size_t m = 0; m < s.plan().measures.size(); ++m) AddMeasureSummary(records, s, cases, m);
  if (s.plan().precision) {
    std::vector<std::string> stopped;
    for (const auto& c : cases) stopped.push_back(c.stopped);
    records.AddTexts("stopped", stopped);
  }
  return records.Array();
}

// The study of a Model as it is now, or of a model file read without the interpreter's
// lock; the model's warnings are shown.
std::unique_ptr<study::Study> PrepareStudy(py::handle model, study::StudyPlan plan) {
  std::unique_ptr<study::Study> prepared;
  if (py::isinstance<PyModel>(model)) {
    plan.model.clear();
    PyModel& from = model.cast<PyModel&>();
    from.Call([&](Sim& s) { prepared = std::make_unique<study::Study>(std::move(plan), s); });
    if (const std::shared_ptr<PythonWorkbook> controller = from.controller) {
      // Each run its own workbook around the model's function, made on the run's thread.
      prepared->LinkWorkbooks([controller]() -> std::shared_ptr<Workbook> {
        py::gil_scoped_acquire gil;
        return std::make_shared<PythonWorkbook>(controller->function());
      });
    }
    return prepared;
  }
  if (!py::isinstance<py::str>(model) && !py::hasattr(model, "__fspath__")) {
    throw py::type_error("expected a model file's path or a trevolan.Model, got " +
                         py::repr(model).cast<std::string>());
  }
  plan.model = py::cast<std::filesystem::path>(model).string();
  std::vector<std::string> said;
  {
    py::gil_scoped_release nogil;
    prepared = std::make_unique<study::Study>(std::move(plan), [&said](const std::string& t) { said.push_back(t); });
  }
  py::list messages;
  Report(messages, said);
  return prepared;
}

// Checks the options, then runs every run on worker threads without the interpreter's
// lock. Ctrl-C (a notebook's "interrupt kernel") is seen within a tenth of a second:
// the runs stop and the study returns nothing. Past the timeout the runs stop too, and
// the study returns those done with a warning.
PyStudyResult RunStudy(py::handle model, const py::object& progress, std::optional<double> timeout,
                       const py::kwargs& options) {
  Watch watch(progress, timeout);
  const std::unique_ptr<study::Study> prepared = PrepareStudy(model, StudyPlanOf(options));
  study::StudyResults done;
  bool interrupted = false;
  int64_t planned = 0;
  {
    py::gil_scoped_release nogil;
    done = study::RunStudy(*prepared, prepared->plan().jobs, [&](int64_t runs, int64_t, int64_t known) {
      planned = known;
      {
        py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) {
          PyErr_Clear();
          interrupted = true;
        }
      }
      return !interrupted && !watch.Stop(static_cast<double>(runs), static_cast<double>(known));
    });
  }
  if (interrupted) {
    PyErr_SetNone(PyExc_KeyboardInterrupt);
    throw py::error_already_set();
  }
  watch.End(static_cast<double>(done.runs.size()), static_cast<double>(watch.timed_out() ? planned : done.runs.size()));
  if (watch.timed_out()) {
    Warn("study stopped after " + std::to_string(done.runs.size()) + " of " + std::to_string(planned) + " runs: " +
         watch.TimeoutText());
  }
  PyStudyResult result{RunRecords(*prepared, done.runs), SummaryRecords(*prepared, done.cases), py::list()};
  for (const auto& r : done.runs) result.status.append(r.failed() ? r.error : std::string("ok"));
  return result;
}

// The summary as an HTML table, as a notebook shows a StudyResult.
std::string SummaryHtml(const PyStudyResult& r) {
  const py::list names(r.summary.attr("dtype").attr("names"));
  const auto cell = [](py::handle v) {
    std::string out;
    for (const char c : py::str(v).cast<std::string>()) {
      out += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
    }
    return out;
  };
  std::string html = "<table><thead><tr>";
  for (py::handle n : names) html += "<th>" + cell(n) + "</th>";
  html += "</tr></thead><tbody>";
  for (py::handle row : r.summary) {
    html += "<tr>";
    for (py::handle n : names) html += "<td>" + cell(row[n]) + "</td>";
    html += "</tr>";
  }
  return html + "</tbody></table><p>" + std::to_string(py::len(r.runs)) + " runs</p>";
}

void BindStudyResult(py::module_& m) {
  py::class_<PyStudyResult>(m, "StudyResult", "The runs of a study and its summary of each case.")
      .def_readonly("runs", &PyStudyResult::runs,
                    "A numpy structured array, one record a run in the study's order: case, replication, seed, "
                    "each varied target (a float, or a str when its values are texts), each measure (NaN when "
                    "the run has no value). The columns of trevolan-cli study --out without its status.")
      .def_readonly("status", &PyStudyResult::status, "One str a run: 'ok', or the error text of a failed run.")
      .def_readonly("summary", &PyStudyResult::summary,
                    "A numpy structured array, one record a case: case, each varied target, runs, failed, and "
                    "n(M), mean(M), sd(M), ci95(M) of each measure M (NaN where the summary file has no "
                    "value); ci95 is the half-width of the 95% confidence interval of the mean.")
      .def_property_readonly(
          "run_columns", [](const PyStudyResult& r) { return py::list(r.runs.attr("dtype").attr("names")); },
          "The names of the columns of runs.")
      .def_property_readonly(
          "summary_columns", [](const PyStudyResult& r) { return py::list(r.summary.attr("dtype").attr("names")); },
          "The names of the columns of summary.")
      .def(py::pickle([](const PyStudyResult& r) { return py::make_tuple(r.runs, r.summary, r.status); },
                      [](const py::tuple& state) {
                        if (state.size() != 3) throw py::value_error("not the state of a trevolan.StudyResult");
                        return PyStudyResult{state[0], state[1], state[2].cast<py::list>()};
                      }))
      .def("_repr_html_", &SummaryHtml)
      .def("__repr__", [](const PyStudyResult& r) {
        return "<trevolan.StudyResult runs=" + std::to_string(py::len(r.runs)) +
               " cases=" + std::to_string(py::len(r.summary)) + ">";
      });
}

}  // namespace

void BindStudy(py::module_& m) {
  BindStudyResult(m);
  m.def("study", &RunStudy, py::arg("model"), py::kw_only(), py::arg("progress") = py::none(),
        py::arg("timeout") = py::none(),
        R"(Runs a study as trevolan-cli study does and returns a StudyResult.

model: a model file's path, or a Model, whose state as it is now every run starts from.
Each keyword below is the option of trevolan-cli study of its name, given as a Python
value; None, the default, leaves it out.

A bad option raises ValueError with the text trevolan-cli writes after 'usage: ', a value
of the wrong type TypeError; a model that cannot be read raises trevolan.Error. A run that
fails does not stop the study: its status is its error text and its measures are NaN. The
runs go without Python's lock; Ctrl-C stops them within a tenth of a second and raises
KeyboardInterrupt.

progress: a function progress(done, total) called about ten times a second with the runs
done and those planned, or True for a bar (tqdm when it is installed, else a line).
timeout: seconds the study may take; past them no run is started any more, the runs
under way are dropped, and the study returns the runs done with a trevolan.ModelWarning.)");
  m.def("_study_options", &StudyOptionRows,
        "The keywords of study(), one dict each: keyword, option, type, help, from the table of study options.");
}

}  // namespace trevolan::python

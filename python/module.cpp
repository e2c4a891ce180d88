// The extension of the Python package `trevolan` (trevolan/_trevolan): models opened,
// changed, run and read from Python through the same calls as the batch runner's
// commands. The package's __init__.py gives its names and adds what is Python's own.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cerrno>
#include <charconv>
#include <sstream>
#include <cmath>
#include <filesystem>
#include <limits>

#include "commands/dialog_typing.h"
#include "engine/run_operations.h"
#include "model.h"
#include "model/file_commands.h"
#include "model/model_file.h"
#include "model/catalogue.h"
#include "model/workbook.h"
#include "display/svg_canvas.h"
#include "model/numbers.h"
#include "model/seed.h"
#include "editing/field_edit.h"
#include "model/fields.h"
#include "trevolan_version.h"
#include "study/study_options.h"
#include "commands/options.h"

namespace py = pybind11;

namespace trevolan::python {

namespace {

PyObject* model_warning = nullptr;  // trevolan.ModelWarning

// The warnings of one call: appended to model.messages and shown with warnings.warn.
void Report(py::list& messages, const std::vector<std::string>& said) {
  for (const std::string& text : said) {
    messages.append(py::str(text));
    // Level 1 is the Python line that made the call: the module has no frames of its own.
    if (PyErr_WarnEx(model_warning, text.c_str(), 1) != 0) throw py::error_already_set();
  }
}

// What a run that stopped short of its target says, "advance stopped at Time 37 before
// 50: all 10 presses of RUN were used (...)", with `more` when its presses ran out;
// empty when it reached the target. An error is raised here; an interrupt is raised by
// PyModel::Call as KeyboardInterrupt.
std::string ShortOf(const char* call, const Sim& s, const RunOutcome& run, const std::string& target,
                    const std::string& more = "") {
  run.RethrowError();
  if (run.reached()) return "";
  return std::string(call) + " stopped at Time " + FormatGeneral(run.time) + " before " + target + ": " +
         ShortStopReason(s, run) + (run.presses > 0 ? more : "");
}

// A run short of its target, told as trevolan.ModelWarning at the caller's line.
void WarnShortOf(const std::string& short_of) {
  if (short_of.empty()) return;
  if (PyErr_WarnEx(model_warning, short_of.c_str(), 1) != 0) throw py::error_already_set();
}

// A Python model: the simulator and the list of its warnings.
struct PyModel {
  Model model;
  py::list messages;
  std::vector<std::string> recorded;  // the columns of the recording, as named

  // Runs `work` without the interpreter's lock, so that other Python threads go on
  // meanwhile, then reports its warnings; an error of the model is raised after them.
  // Ctrl-C is seen within a tenth of a second: a run stops at its next step, the model
  // holds where it got and KeyboardInterrupt is raised.
  template <typename Work>
  void Call(Work&& work) {
    std::vector<std::string> said;
    std::exception_ptr failure;
    bool interrupted = false;
    {
      py::gil_scoped_release nogil;
      try {
        interrupted = model.Do(work, said, CheckSignals);
      } catch (...) {
        failure = std::current_exception();
      }
    }
    if (!failure) {
      Report(messages, said);
      if (interrupted) {
        PyErr_SetNone(PyExc_KeyboardInterrupt);
        throw py::error_already_set();
      }
      return;
    }
    try {
      Report(messages, said);
    } catch (const py::error_already_set&) {
      // a warning turned into an error must not hide the model's own error
    }
    try {
      std::rethrow_exception(failure);
    } catch (RangeError& e) {
      // Which value of the model went beyond its bounds, after the message.
      if (e.detail.empty() && e.what() == std::string(RangeError().what())) {
        model.Do([&e](Sim& s) { e.detail = RangeFaultDetail(s); }, said);
      }
      throw;
    }
  }

  // Whether a signal handler of Python's asks to stop (SIGINT raises KeyboardInterrupt):
  // called from the thread that released the interpreter.
  static bool CheckSignals() {
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() == 0) return false;
    PyErr_Clear();
    return true;
  }
};

// A Python value as the core takes it: a text, a flag, a whole number (one beyond 64
// bits as a float) or a float. A text given to a number is read at the edge
// (commands::ParsedForTarget).
FieldValue ValueOf(py::handle value) {
  if (py::isinstance<py::str>(value)) return value.cast<std::string>();
  if (py::isinstance<py::bool_>(value)) return value.cast<bool>();
  if (PyIndex_Check(value.ptr())) {
    const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    if (!index) throw py::error_already_set();
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (!overflow) return static_cast<int64_t>(v);
    return py::float_(index).cast<double>();
  }
  if (PyFloat_Check(value.ptr()) || py::hasattr(value, "__float__")) {
    return py::float_(py::reinterpret_borrow<py::object>(value)).cast<double>();
  }
  throw py::type_error("expected a number or a text, got " + py::repr(value).cast<std::string>());
}

// A Python value as a number: a text is read as the dialogs read what is typed.
double NumberOf(py::handle value) {
  const FieldValue v = ValueOf(value);
  if (const auto* text = std::get_if<std::string>(&v)) return EditToFloat(*text);
  if (const auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  if (const auto* i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
  return std::get<double>(v);
}

// Keyword arguments as fields of a dialog, in the order given.
commands::NamedValues FieldValuesOf(const py::kwargs& fields) {
  commands::NamedValues values;
  for (const auto& [name, value] : fields) values.emplace_back(name.cast<std::string>(), ValueOf(value));
  return values;
}

// What a target takes: one value, or a sequence for a stored list, each item a number.
// Each item is held while it is converted: a sequence such as a range or a numpy array
// makes its items anew.
FieldValue SetValueOf(py::handle value) {
  if (py::isinstance<py::str>(value) || !PySequence_Check(value.ptr())) return ValueOf(value);
  std::vector<double> list;
  for (py::handle item : py::reinterpret_borrow<py::iterable>(value)) {
    const FieldValue v = ValueOf(item);
    if (const auto* d = std::get_if<double>(&v)) list.push_back(*d);
    else if (const auto* i = std::get_if<int64_t>(&v)) list.push_back(static_cast<double>(*i));
    else throw py::type_error("a list takes numbers, got " + py::repr(item).cast<std::string>());
  }
  return list;
}

// The typed write of a target named by its ID or a block's name.
void SetNamed(Sim& s, const std::string& given, const FieldValue& value) {
  const Target t = commands::ParseTarget(commands::TargetOfName(s, given));
  SetField(s, t, commands::ParsedForTarget(t, value));
}

py::object ToPython(FieldValue&& value) {
  return std::visit([](auto&& v) -> py::object { return py::cast(std::move(v)); }, std::move(value));
}

// The tape's rows handed to numpy without a second copy: the array owns the vector.
py::array_t<double> TapeArray(TapeRows&& t) {
  auto* cells = new std::vector<double>(std::move(t.cells));
  py::capsule owner(cells, [](void* p) { delete static_cast<std::vector<double>*>(p); });
  return py::array_t<double>({t.rows, t.columns}, cells->data(), owner);
}

// A range error of a target, with the bounds it went beyond.
RangeError RangeErrorOf(const Sim& s, const std::string& target) {
  std::string text = "Range check error: " + target;
  const auto id = commands::TargetBlock(target);
  if (id && (*id < 0 || *id > kMaxBlockID)) return RangeError(text + ": block IDs are 0.." + std::to_string(kMaxBlockID));
  if (id && target.find(".stored[") != std::string::npos) {
    const size_t n = s.block(*id).stored.size();
    return RangeError(text + ": block " + std::to_string(*id) +
                      (n == 0 ? " has no stored entries" : " has stored entries 0.." + std::to_string(n - 1)));
  }
  if (target.rfind("tape.", 0) == 0) {
    return RangeError(text + ": the tape has rows 0.." + std::to_string(kTapeRows - 1) + " and columns 0.." +
                      std::to_string(kTapeColumns - 1));
  }
  return RangeError(text);
}

// A study's results: one record a run, one record a case, as numpy structured arrays.
struct PyStudyResult {
  py::object runs, summary;
  py::list status;
};

// The pairs of `set`: a mapping of target to value, or an iterable of (target, value).
std::vector<std::pair<std::string, py::object>> Pairs(const py::object& given) {
  std::vector<std::pair<std::string, py::object>> pairs;
  if (given.is_none()) return pairs;
  const py::object items = py::hasattr(given, "items") ? given.attr("items")() : given;
  for (py::handle item : items) {
    const auto pair = py::reinterpret_borrow<py::sequence>(item);
    if (pair.size() != 2) throw py::type_error("expected (target, value) pairs");
    pairs.emplace_back(py::str(pair[0]).cast<std::string>(), py::reinterpret_borrow<py::object>(pair[1]));
  }
  return pairs;
}

// A value as the study's files write what was given: a number in the shortest form that
// reads back to it, a text as it is.
std::string ValueText(py::handle value) {
  const FieldValue v = ValueOf(value);
  if (const auto* text = std::get_if<std::string>(&v)) return *text;
  if (const auto* b = std::get_if<bool>(&v)) return *b ? "1" : "0";
  if (const auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, std::get<double>(v)).ptr);
}

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
  }
  return "";
}

using TypedValues = std::vector<std::pair<study::OptionValue, std::string>>;

// The values of a keyword of study(), typed as its option's kind takes them, each with
// the text it stands for on the command line (for the messages and the study's record).
// False gives a flag no value.
TypedValues OptionValuesOf(const study::StudyOption& o, py::handle given) {
  using study::OptionKind;
  const auto refuse = [&](const char* expected) {
    return py::type_error(std::string("study() ") + o.keyword + ": expected " + expected + ", got " +
                          py::repr(given).cast<std::string>());
  };
  TypedValues values;
  switch (o.kind) {
    case OptionKind::kCount:
    case OptionKind::kSeed:
    case OptionKind::kNumber: {
      if (py::isinstance<py::str>(given) || py::isinstance<py::bool_>(given)) throw refuse(PythonTypeOf(o.kind));
      const FieldValue v = ValueOf(given);
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
    case OptionKind::kVariation:
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
      break;
    case OptionKind::kMeasure:
      if (py::isinstance<py::str>(given)) throw refuse(PythonTypeOf(o.kind));
      for (py::handle item : py::reinterpret_borrow<py::iterable>(given)) {
        if (!py::isinstance<py::str>(item)) throw refuse(PythonTypeOf(o.kind));
        const std::string text = item.cast<std::string>();
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

// A structured array of `rows` records; the columns are set one by one.
class Records {
 public:
  explicit Records(size_t rows) : rows_(rows) {}
  template <typename T>
  void Add(const std::string& name, std::vector<T> column) {
    fields_.append(py::make_tuple(name, py::dtype::of<T>()));
    columns_.emplace_back(name, py::array_t<T>(static_cast<py::ssize_t>(column.size()), column.data()));
  }
  // A varied target's values: numbers when they all read as numbers, else their texts.
  void AddTexts(const std::string& name, const std::vector<std::string>& texts) {
    std::vector<double> numbers;
    for (const std::string& t : texts) {
      double x = 0;
      const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), x);
      if (ec != std::errc() || end != t.data() + t.size()) {
        fields_.append(py::make_tuple(name, py::dtype("O")));
        columns_.emplace_back(name, py::cast(texts));
        return;
      }
      numbers.push_back(x);
    }
    Add(name, std::move(numbers));
  }
  py::object Array() const {
    py::module_ numpy = py::module_::import("numpy");
    py::object records = numpy.attr("zeros")(rows_, numpy.attr("dtype")(fields_));
    for (const auto& [name, column] : columns_) records[py::str(name)] = column;
    return records;
  }

 private:
  size_t rows_;
  py::list fields_;
  std::vector<std::pair<std::string, py::object>> columns_;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

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
  for (size_t v = 0; v < s.plan().variations.size(); ++v) {
    std::vector<std::string> texts;
    for (const auto& r : runs) texts.push_back(s.CaseValues(r.case_number)[v]);
    records.AddTexts(s.plan().variations[v].target, texts);
  }
  for (size_t m = 0; m < s.plan().measures.size(); ++m) {
    std::vector<double> values;
    for (const auto& r : runs) values.push_back(m < r.values.size() && r.values[m] ? *r.values[m] : kNaN);
    records.Add(s.plan().measures[m].name, values);
  }
  return records.Array();
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
  for (size_t v = 0; v < s.plan().variations.size(); ++v) {
    std::vector<std::string> texts;
    for (const auto& c : cases) texts.push_back(c.case_values[v]);
    records.AddTexts(s.plan().variations[v].target, texts);
  }
  records.Add("runs", runs);
  records.Add("failed", failed);
  const std::string ci = study::IntervalName(s.plan().confidence);
  for (size_t m = 0; m < s.plan().measures.size(); ++m) {
    std::vector<int64_t> n;
    std::vector<double> mean, sd, half, diff, sd_diff, ci_diff;
    for (const auto& c : cases) {
      const study::SampleSummary& x = c.measures[m];
      n.push_back(x.n);
      mean.push_back(x.n > 0 ? x.mean : kNaN);
      sd.push_back(x.n > 1 ? x.sd : kNaN);
      half.push_back(x.n > 1 ? x.ci : kNaN);
      const bool paired = m < c.differences.size();
      const study::SampleSummary d = paired ? c.differences[m] : study::SampleSummary{};
      diff.push_back(paired && d.n > 0 ? d.mean : kNaN);
      sd_diff.push_back(paired && d.n > 1 ? d.sd : kNaN);
      ci_diff.push_back(paired && d.n > 1 ? d.ci : kNaN);
    }
    const std::string& name = s.plan().measures[m].name;
    records.Add("n(" + name + ")", n);
    records.Add("mean(" + name + ")", mean);
    records.Add("sd(" + name + ")", sd);
    records.Add(ci + "(" + name + ")", half);
    if (s.plan().crn) {
      records.Add("diff(" + name + ")", diff);
      records.Add("sd_diff(" + name + ")", sd_diff);
      records.Add("ci_diff(" + name + ")", ci_diff);
    }
  }
  if (s.plan().precision) {
    std::vector<std::string> stopped;
    for (const auto& c : cases) stopped.push_back(c.stopped);
    records.AddTexts("stopped", stopped);
  }
  return records.Array();
}

// Reads or copies the model, checks the options, and runs every run on worker threads
// without the interpreter's lock.
PyStudyResult RunStudy(py::handle model, study::StudyPlan plan) {
  std::unique_ptr<study::Study> prepared;
  if (py::isinstance<PyModel>(model)) {
    auto& m = model.cast<PyModel&>();
    plan.model.clear();
    m.Call([&](Sim& s) { prepared = std::make_unique<study::Study>(std::move(plan), s); });
  } else {
    if (!py::isinstance<py::str>(model) && !py::hasattr(model, "__fspath__")) {
      throw py::type_error("expected a model file's path or a trevolan.Model, got " + py::repr(model).cast<std::string>());
    }
    plan.model = py::cast<std::filesystem::path>(model).string();
    std::vector<std::string> said;
    {
      py::gil_scoped_release nogil;
      prepared = std::make_unique<study::Study>(std::move(plan), [&said](const std::string& t) { said.push_back(t); });
    }
    py::list messages;
    Report(messages, said);
  }
  study::StudyResults done;
  bool interrupted = false;
  {
    py::gil_scoped_release nogil;
    // Ctrl-C (a notebook's "interrupt kernel") is seen within a tenth of a second: the
    // runs stop and the study returns nothing.
    done = study::RunStudy(*prepared, prepared->plan().jobs, [&interrupted](int64_t, int64_t, int64_t) {
      py::gil_scoped_acquire gil;
      if (PyErr_CheckSignals() != 0) {
        PyErr_Clear();
        interrupted = true;
      }
      return !interrupted;
    });
  }
  if (interrupted) {
    PyErr_SetNone(PyExc_KeyboardInterrupt);
    throw py::error_already_set();
  }
  PyStudyResult result{RunRecords(*prepared, done.runs), SummaryRecords(*prepared, done.cases), py::list()};
  for (const auto& r : done.runs) result.status.append(r.failed() ? r.error : std::string("ok"));
  return result;
}

std::unique_ptr<PyModel> NewModel(void (*load)(Sim&, const std::string&), const std::string& path) {
  auto m = std::make_unique<PyModel>();
  m->Call([&](Sim& s) { load(s, path); });
  return m;
}

// Rows of Time and named columns as a pandas DataFrame indexed by Time, or a numpy
// structured array with a Time field when pandas is not installed.
py::object TimeFrame(const std::vector<std::string>& names, std::vector<double> cells) {
  const auto columns = static_cast<py::ssize_t>(names.size() + 1);
  const py::ssize_t rows = columns ? static_cast<py::ssize_t>(cells.size()) / columns : 0;
  auto* owned = new std::vector<double>(std::move(cells));
  py::capsule owner(owned, [](void* p) { delete static_cast<std::vector<double>*>(p); });
  py::array_t<double> table({rows, columns}, owned->data(), owner);
  py::list fields;
  fields.append("Time");
  for (const std::string& n : names) fields.append(n);
  try {
    py::module_ pandas = py::module_::import("pandas");
    py::object frame = pandas.attr("DataFrame")(table, py::arg("columns") = fields);
    return frame.attr("set_index")("Time");
  } catch (const py::error_already_set& e) {
    if (!e.matches(PyExc_ImportError)) throw;
  }
  Records records(static_cast<size_t>(rows));
  for (py::ssize_t c = 0; c < columns; ++c) {
    std::vector<double> column;
    for (py::ssize_t r = 0; r < rows; ++r) column.push_back(table.at(r, c));
    records.Add(fields[static_cast<size_t>(c)].cast<std::string>(), std::move(column));
  }
  return records.Array();
}

// The targets a recording takes when none are named: the tape's channels.
std::vector<std::string> ChannelTargets(const Sim& s) {
  std::vector<std::string> targets;
  const auto channels = Model::Channels(s);
  for (size_t c = 1; c < channels.size(); ++c) targets.push_back(std::to_string(channels[c].second) + ".Value");
  return targets;
}

// Starts a recording of the targets given (by ID or name; None: the tape's channels)
// every `every` (None: GrDel); the columns keep the names as given.
void StartRecording(PyModel& self, const py::object& outputs, const py::object& every,
                    std::vector<std::string>& names) {
  std::vector<std::string> given;
  if (!outputs.is_none()) given = outputs.cast<std::vector<std::string>>();
  // A plain number and a flag: an optional here makes some optimised builds warn wrongly.
  const bool every_given = !every.is_none();
  const double interval = every_given ? NumberOf(every) : 0;
  self.Call([&](Sim& s) {
    std::vector<std::string> targets;
    if (outputs.is_none()) {
      targets = ChannelTargets(s);
      given.clear();
      for (const auto& [name, id] : Model::Channels(s)) given.push_back(name);
      given.erase(given.begin());
    } else {
      // Time is the index of every recording; a name given twice would be two columns of one name.
      std::erase(given, std::string("Time"));
      for (size_t i = 0; i < given.size(); ++i) {
        if (std::find(given.begin(), given.begin() + static_cast<std::ptrdiff_t>(i), given[i]) != given.begin() + static_cast<std::ptrdiff_t>(i)) {
          throw UsageError("the output " + given[i] + " is named twice");
        }
        targets.push_back(commands::TargetOfName(s, given[i]));
      }
    }
    self.model.Record(s, targets, every_given ? interval : s.GrDel);
  });
  names = given;
}

py::object Recording(PyModel& self) {
  std::vector<double> cells;
  self.Call([&](Sim&) {
    if (const auto* r = self.model.recorder()) cells = r->cells();
  });
  return TimeFrame(self.recorded, std::move(cells));
}

std::unique_ptr<PyModel> CopyOf(PyModel& from) {
  auto copy = std::make_unique<PyModel>();
  {
    py::gil_scoped_release nogil;
    copy->model.CopyFrom(from.model);
  }
  return copy;
}

py::object Simulate(py::handle model, const py::object& stop, const py::object& start, const py::object& step,
                    const py::object& params, const py::object& outputs, const py::object& every,
                    const py::object& seed) {
  std::unique_ptr<PyModel> m;
  if (py::isinstance<PyModel>(model)) {
    m = CopyOf(model.cast<PyModel&>());
  } else {
    m = NewModel(FileOpen, py::cast<std::filesystem::path>(model).string());
  }
  std::vector<std::pair<std::string, FieldValue>> sets;
  for (const auto& [target, value] : Pairs(params)) sets.emplace_back(target, SetValueOf(value));
  for (const auto& [name, value] : {std::pair{"Start", start}, std::pair{"FinTim", stop}, std::pair{"Delt", step}}) {
    if (!value.is_none()) sets.emplace_back(name, ValueOf(value));
  }
  m->Call([&](Sim& s) {
    for (const auto& [target, value] : sets) SetNamed(s, target, value);
    if (!seed.is_none()) SeedGenerator(s, seed.cast<uint64_t>());
    Reset(s).RethrowError();
  });
  StartRecording(*m, outputs, every, m->recorded);
  std::string short_of;
  m->Call([&](Sim& s) { short_of = ShortOf("simulate", s, RunUntil(s, s.FinTim), "FinTim " + FormatGeneral(s.FinTim)); });
  py::object samples = Recording(*m);
  WarnShortOf(short_of);
  return samples;
}

// Named columns as a pandas DataFrame, or a numpy record array without pandas.
py::object Table(const std::vector<std::string>& names, const std::vector<py::list>& columns) {
  try {
    py::module_ pandas = py::module_::import("pandas");
    py::dict data;
    for (size_t i = 0; i < names.size(); ++i) data[py::str(names[i])] = columns[i];
    return pandas.attr("DataFrame")(data);
  } catch (const py::error_already_set& e) {
    if (!e.matches(PyExc_ImportError)) throw;
  }
  py::list arrays;
  for (const py::list& c : columns) arrays.append(c);
  return py::module_::import("numpy").attr("rec").attr("fromarrays")(arrays, py::arg("names") = py::cast(names));
}

// Every block in the table: its ID, type and what the type is, and its fields.
py::object BlocksTable(PyModel& self) {
  std::vector<std::string> names{"ID", "Description"};
  for (const BlockField& f : BlockFields()) {
    if (f.addressable && std::string_view(f.name) != "stored") names.emplace_back(f.name);
  }
  std::vector<std::vector<FieldValue>> cells(names.size());
  self.Call([&](Sim& s) {
    for (int id = 0; id <= kMaxBlockID; ++id) {
      const TBlock& b = s.block(id);
      if (b.Type == BlockType::Empty) continue;
      cells[0].emplace_back(static_cast<int64_t>(id));
      const BlockTypeInfo* info = FindBlockType(b.Type);
      cells[1].emplace_back(std::string(info ? info->block : ""));
      for (size_t c = 2; c < names.size(); ++c) cells[c].push_back(commands::ReadTarget(s, std::to_string(id) + "." + names[c]));
    }
  });
  std::vector<py::list> columns;
  for (auto& column : cells) {
    py::list values;
    for (auto& v : column) values.append(ToPython(std::move(v)));
    columns.push_back(values);
  }
  return Table(names, columns);
}

// A Python function in the spreadsheet's place: the user block writes its row 1 (the
// time in A1, its outputs and linked values in B1..Q1) and reads row 2 (B2..Q2) as it
// does from Calc, at the same times; fn(time, row1) returns row 2. The texts go both
// ways as with Calc, so the same rules hold: too few values, or one that is no number,
// are the link's own errors, and the run holds.
class PythonWorkbook : public Workbook {
 public:
  explicit PythonWorkbook(py::function fn) : fn_(std::move(fn)) {}
  ~PythonWorkbook() override {
    py::gil_scoped_acquire gil;  // the last model to hold it may let go without the lock
    fn_ = py::function();
  }
  void Load(const std::string&) override {}
  bool IsEmpty() const override { return false; }
  bool IsRunning() override { return true; }
  void Run() override {}
  void WriteCells(const std::vector<Cell>& cells) override { written_ = cells; }
  std::vector<std::string> ReadCells(const std::vector<std::string>& names) override {
    double time = 0;
    std::vector<double> row;
    for (const auto& [name, text] : written_) (name == "a1" ? time : row.emplace_back()) = EditToFloat(text);
    py::gil_scoped_acquire gil;
    std::vector<std::string> texts;
    try {
      const py::object answer = fn_(time, row);
      for (py::handle v : answer) {
        if (texts.size() == names.size()) break;
        texts.push_back(py::str(v).cast<std::string>());
      }
    } catch (py::error_already_set& e) {
      throw AutomationError("the exchange function raised " + std::string(e.what()));
    }
    return texts;
  }

 private:
  py::function fn_;
  std::vector<Cell> written_;
};

// A class of trevolan's errors that is also one of Python's own, so that code catches it
// the usual way (except OSError, except ValueError, except IndexError); str(e) stays
// the text the batch runner writes after "error: ".
py::object ErrorClass(py::module_& m, const char* name, const char* doc, std::initializer_list<py::handle> bases) {
  py::tuple base_tuple(bases.size());
  size_t i = 0;
  for (py::handle b : bases) base_tuple[i++] = py::reinterpret_borrow<py::object>(b);
  const std::string qualified = std::string("trevolan.") + name;
  py::object cls = py::reinterpret_steal<py::object>(
      PyErr_NewExceptionWithDoc(qualified.c_str(), doc, base_tuple.ptr(), nullptr));
  if (!cls) throw py::error_already_set();
  m.add_object(name, cls);
  return cls;
}

struct ErrorClasses {
  py::object error, range, overflow, conversion, floating, io, not_found;
};
ErrorClasses* errors = nullptr;

// An I/O error as an OSError with its errno and filename; a missing file is also a
// FileNotFoundError.
void RaiseIoError(const IoError& e) {
  const py::object& cls = e.code == ENOENT ? errors->not_found : errors->io;
  py::object instance = cls(py::str(e.what()));
  if (e.code != 0) {
    instance.attr("errno") = e.code;
    instance.attr("strerror") = py::str(e.what());
  }
  if (!e.path.empty()) instance.attr("filename") = py::str(e.path);
  PyErr_SetObject(cls.ptr(), instance.ptr());
}

void RegisterErrors(py::module_& m) {
  errors = new ErrorClasses;  // lives as long as the interpreter
  errors->error = ErrorClass(m, "Error", "An error of the model; str(e) is the text the batch runner writes after 'error: '.",
                             {PyExc_Exception});
  errors->range = ErrorClass(m, "RangeError",
                             "An ID, a stored index or a tape cell outside its bounds, or a number too large for its "
                             "field; also an IndexError.",
                             {errors->error, PyExc_IndexError});
  errors->overflow = ErrorClass(m, "OverflowError", "Integer arithmetic beyond 32 bits; also the built-in OverflowError.",
                                {errors->error, PyExc_OverflowError});
  errors->conversion = ErrorClass(m, "ConversionError", "A text that is not a valid number; also a ValueError.",
                                  {errors->error, PyExc_ValueError});
  errors->floating = ErrorClass(m, "FloatError",
                                "A floating-point fault: division by zero, invalid, overflow; also a FloatingPointError.",
                                {errors->error, PyExc_FloatingPointError});
  errors->io = ErrorClass(m, "IoError", "A file that cannot be read or written; also an OSError with errno and filename.",
                          {errors->error, PyExc_OSError});
  errors->not_found = ErrorClass(m, "NotFoundError", "A file that does not exist; also a FileNotFoundError.",
                                 {errors->io, PyExc_FileNotFoundError});
  // OSError shows "[Errno N] reason: 'file'"; the model's errors show their own text.
  for (const py::object& cls : {errors->io, errors->not_found}) {
    cls.attr("__str__") = py::cpp_function([](py::handle self) { return py::str(self.attr("args")[py::int_(0)]); },
                                           py::is_method(cls));
  }
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const RangeError& e) {
      const std::string text = e.detail.empty() ? e.what() : std::string(e.what()) + ": " + e.detail;
      PyErr_SetString(errors->range.ptr(), text.c_str());
    } catch (const OverflowError& e) {
      PyErr_SetString(errors->overflow.ptr(), e.what());
    } catch (const ConversionError& e) {
      PyErr_SetString(errors->conversion.ptr(), e.what());
    } catch (const FloatError& e) {
      PyErr_SetString(errors->floating.ptr(), e.what());
    } catch (const IoError& e) {
      RaiseIoError(e);
    } catch (const SimError& e) {
      PyErr_SetString(errors->error.ptr(), e.what());
    } catch (const commands::UnknownName& e) {
      PyErr_SetString(PyExc_KeyError, e.what());
    } catch (const ValueTypeError& e) {
      PyErr_SetString(PyExc_TypeError, e.what());
    } catch (const UsageError& e) {
      // A misspelt target or field is a fault of the calling program, not of the model.
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const study::StudyUsageError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    }
  });
  model_warning = PyErr_NewExceptionWithDoc("trevolan.ModelWarning",
                                            "A warning of the program's own, as its message boxes show it.",
                                            PyExc_UserWarning, nullptr);
  m.add_object("ModelWarning", py::handle(model_warning));
}

}  // namespace

}  // namespace trevolan::python

using namespace trevolan;
using namespace trevolan::python;

PYBIND11_MODULE(_trevolan, m) {
  m.doc() = R"(Trevolan models from Python.

A Model is a freshly started simulator without a window. It is driven by the same calls
as the batch runner trevolan-cli: its targets (model["105.pp"], model["Delt"]) are those
of `print` and `set`, apply() and timing() type into the block and timing dialogs as the
commands of those names do, and reset(), step(), run() and finish() press the buttons.
Errors of the model raise trevolan.Error; the program's own warnings are appended to
model.messages and shown with warnings.warn (category trevolan.ModelWarning).

    >>> import trevolan
    >>> m = trevolan.Model.open("examples/damped_oscillator.txt")
    >>> m.reset(); m.finish()
    >>> m["Time"], m["102.Value"]
)";
  RegisterErrors(m);
  // numpy is imported and pybind11's view of it made now, while the import holds the
  // interpreter: made first from threads that released it, its one-time set-up waits
  // for a lock that another thread holds while it waits for the interpreter.
  try {
    py::module_::import("numpy");
    py::array_t<double> prepared(0);
    py::dtype::of<int64_t>();
    py::dtype::of<uint64_t>();
  } catch (const py::error_already_set& e) {
    if (!e.matches(PyExc_ImportError)) throw;  // without numpy only tape() and study() need it
  }
  m.attr("__version__") = kVersion;

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
      .def(
          "_repr_html_",
          [](const PyStudyResult& r) {
            // The summary as a table, as a notebook shows a StudyResult.
            const py::list names(r.summary.attr("dtype").attr("names"));
            std::string html = "<table><thead><tr>";
            const auto cell = [](py::handle v) {
              std::string text = py::str(v).cast<std::string>();
              std::string out;
              for (const char c : text) out += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
              return out;
            };
            for (py::handle n : names) html += "<th>" + cell(n) + "</th>";
            html += "</tr></thead><tbody>";
            for (py::handle row : r.summary) {
              html += "<tr>";
              for (py::handle n : names) html += "<td>" + cell(row[n]) + "</td>";
              html += "</tr>";
            }
            return html + "</tbody></table><p>" + std::to_string(py::len(r.runs)) + " runs</p>";
          })
      .def("__repr__", [](const PyStudyResult& r) {
        return "<trevolan.StudyResult runs=" + std::to_string(py::len(r.runs)) +
               " cases=" + std::to_string(py::len(r.summary)) + ">";
      });

  m.def(
      "study", [](py::handle model, const py::kwargs& options) { return RunStudy(model, StudyPlanOf(options)); },
      py::arg("model"),
      R"(Runs a study as trevolan-cli study does and returns a StudyResult.

model: a model file's path, or a Model, whose state as it is now every run starts from.
Each keyword below is the option of trevolan-cli study of its name, given as a Python
value; None, the default, leaves it out.

A bad option raises ValueError with the text trevolan-cli writes after 'usage: ', a value
of the wrong type TypeError; a model that cannot be read raises trevolan.Error. A run that
fails does not stop the study: its status is its error text and its measures are NaN. The
runs go without Python's lock; Ctrl-C stops them within a tenth of a second and raises
KeyboardInterrupt.)");
  m.def("_study_options", &StudyOptionRows,
        "The keywords of study(), one dict each: keyword, option, type, help, from the table of study options.");

  m.def("simulate", &Simulate, py::arg("model"), py::kw_only(), py::arg("stop") = py::none(),
        py::arg("start") = py::none(), py::arg("step") = py::none(), py::arg("params") = py::none(),
        py::arg("outputs") = py::none(), py::arg("every") = py::none(), py::arg("seed") = py::none(),
        R"(Simulates a model and returns every sample of its outputs.

model: a model file's path, or a Model (left as it is: the call works on a copy).
stop, start, step: FinTim, Start and Delt for this run (None: the model's own).
params: {target or block name: value}, set before the run, a timing global as the timing
    dialog applies it: {"spring.cc": 2, "104.aa": 0.5, "FinTim": 100}.
outputs: targets or block names to sample ("position", "102.Value", "Time"); None: the
    channels the model records on its tape.
every: the sampling interval (None: the model's GrDel, so the samples are the tape's rows).
seed: the random generator's seed (None: the fixed sequence of every start).

Returns a pandas DataFrame indexed by Time with a column for each output (a numpy
structured array with a Time field when pandas is not installed), every sample kept
however long the run. A run that stops short of FinTim (RUN pressed a million times, a
hold trigger holding every step) warns with trevolan.ModelWarning naming the time
reached and why, and returns the samples it took.)");

  py::class_<PyModel>(m, "Model", "One simulator: a block table, its clock, its tape and its random generator.")
      .def(py::init<>(), "An empty simulator, as the program starts without a model; Model.open(path) reads one.")
      .def_static(
          "new", [] { return NewModel([](Sim& s, const std::string&) { FileNew(s); }, {}); },
          "A new model: the system blocks and their defaults, no blocks of your own (the window's File, New).")
      .def_static(
          "open", [](const std::filesystem::path& path) { return NewModel(FileOpen, path.string()); },
          py::arg("path"), "A model read from its file: Model.open('examples/damped_oscillator.txt').")
      .def(
          "save", [](PyModel& self, const std::filesystem::path& path) {
            self.Call([&](Sim& s) { FileSaveAs(s, path.string()); });
          },
          py::arg("path"), "Writes the model to a model file (kept whole if anything fails).")
      .def(
          "save_tape", [](PyModel& self, const std::filesystem::path& path) {
            self.Call([&](Sim& s) { FileSaveTapeAs(s, path.string()); });
          },
          py::arg("path"), "Writes the tape's recorded rows as a tape file; tape() gives them as an array.")
      .def(
          "__getitem__",
          [](PyModel& self, const std::string& given) {
            FieldValue value;
            self.Call([&](Sim& s) {
              const std::string target = commands::TargetOfName(s, given);
              try {
                value = commands::ReadTarget(s, target);
              } catch (const RangeError&) {
                throw RangeErrorOf(s, target);
              }
            });
            return ToPython(std::move(value));
          },
          py::arg("target"),
          "The value of a target of the batch runner's print: 'ID.FIELD' ('105.pp', '105.Name', "
          "'19.stored', '19.stored[2]'), a global ('Time', 'Delt', 'HoldFlag', ...) or 'tape.R.C'. Integers "
          "come as int, doubles as float, flags as bool, texts as str, a stored list as a list of floats.")
      .def(
          "__setitem__",
          [](PyModel& self, const std::string& given, py::handle value) {
            const FieldValue v = SetValueOf(value);
            self.Call([&](Sim& s) {
              const std::string target = commands::TargetOfName(s, given);
              try {
                SetNamed(s, target, v);
              } catch (const RangeError&) {
                throw RangeErrorOf(s, target);
              }
            });
          },
          py::arg("target"), py::arg("value"),
          "Writes a target as the batch runner's set does; 'ID.stored' takes a list. A value that the model's "
          "checks would change or cannot hold (NaN, Delt <= 0, ...) raises ValueError naming the rule. The "
          "Graphs block's stored inputs ('19.stored') become the recorded channels at once.")
      .def(
          "apply",
          [](PyModel& self, int64_t id, const py::kwargs& fields) {
            const commands::NamedValues values = FieldValuesOf(fields);
            self.Call([&](Sim& s) { commands::EditBlockFields(s, id, values); });
          },
          py::arg("block"), py::pos_only(),
          "The block dialog opened on block `id`, the named fields typed over, Apply: apply(105, pp=2.5, "
          "name='buffer'). Fields: id name type x y display mode onoff an bn cn dn pn aa bb cc dd pp value "
          "comment, and grid cells as **{'g2.1': 0.5}.")
      .def(
          "timing",
          [](PyModel& self, const py::kwargs& fields) {
            const commands::NamedValues values = FieldValuesOf(fields);
            self.Call([&](Sim& s) { commands::EditTimingFields(s, values); });
          },
          "The timing dialog's fields given these values, then its Apply any Changes: timing(delt=0.01, finish=500). "
          "Fields: start current finish delt graph graphnext hold holdnext trigger highest. A value the dialog "
          "would repair (delt=0, delt above graph) raises ValueError naming the rule.")
      .def(
          "seed",
          [](PyModel& self, uint64_t n, bool crn) {
            self.Call([&](Sim& s) {
              if (n > kMaxSeed) throw RangeError();  // as the batch runner's seed N
              SeedGenerator(s, n, crn);
            });
          },
          py::arg("n"), py::kw_only(), py::arg("crn") = false,
          "Restarts the random generator from a sequence determined by n (0 <= n < 2**53), the same as the "
          "batch runner's seed n. Without it a model draws the fixed sequence of every start. With crn=True "
          "(common random numbers, the batch runner's seed n crn) every block draws from a stream of its own, "
          "derived from n and the block's ID, so that changing one block leaves the draws of the others as they "
          "were; seed(n) without it returns to the one sequence shared by all blocks.")
      .def(
          "reset", [](PyModel& self) { self.Call([](Sim& s) { Reset(s).RethrowError(); }); },
          "Starts the run afresh: Time back to Start, every block to its initial state, the tape to its first row.")
      .def(
          "step", [](PyModel& self) { self.Call([](Sim& s) { Step(s).RethrowError(); }); },
          "Advances the run by one step of Delt.")
      .def(
          "run",
          [](PyModel& self) {
            self.Call([](Sim& s) { RunToHold(s).RethrowError(); });
          },
          "Runs until the next hold: the hold step, a hold trigger or the finish time (the window's RUN).")
      .def(
          "finish",
          [](PyModel& self, py::object max_presses) {
            const bool given = !max_presses.is_none();
            const int64_t presses = given ? max_presses.cast<int64_t>() : kDefaultFinishPresses;
            std::string short_of;
            self.Call([&](Sim& s) {
              if (presses < 0) throw RangeError();  // as the batch runner's finish -1
              short_of = ShortOf("finish", s, Finish(s, presses), "FinTim " + FormatGeneral(s.FinTim),
                                 given ? "" : "; finish(max_presses=...) allows more");
            });
            if (!given && !short_of.empty()) throw SimError(short_of);
            WarnShortOf(short_of);
          },
          py::arg("max_presses") = py::none(),
          "Runs to the finish time: RUN pressed again and again until the run holds at FinTim, at most max_presses "
          "times (default 1000000). Short of FinTim it raises trevolan.Error naming the time reached, or only warns "
          "when max_presses was given. Ctrl-C stops it at the next step with KeyboardInterrupt.")
      .def(
          "tape",
          [](PyModel& self) {
            TapeRows rows;
            self.Call([&](Sim& s) { rows = Model::Tape(s); });
            return TapeArray(std::move(rows));
          },
          "The recorded rows as a numpy array of rows x columns: the time, then each channel (see channels()).")
      .def(
          "channels",
          [](PyModel& self) {
            std::vector<std::pair<std::string, int32_t>> channels;
            self.Call([&](Sim& s) { channels = Model::Channels(s); });
            return channels;
          },
          "The tape's columns as (name, block ID) pairs: the Time block, then the recorded channels.")
      .def(
          "tape_frame",
          [](PyModel& self) {
            py::module_ pandas = py::module_::import("pandas");
            TapeRows rows;
            std::vector<std::pair<std::string, int32_t>> channels;
            self.Call([&](Sim& s) {
              rows = Model::Tape(s);
              channels = Model::Channels(s);
            });
            py::list names;
            for (const auto& channel : channels) names.append(channel.first);
            return pandas.attr("DataFrame")(TapeArray(std::move(rows)), py::arg("columns") = names);
          },
          "The tape as a pandas DataFrame with the channels' names as columns (needs pandas).")
      .def(
          "advance",
          [](PyModel& self, double to, int64_t max_presses) {
            std::string short_of;
            self.Call([&](Sim& s) {
              short_of = ShortOf("advance", s, RunUntil(s, to, max_presses), FormatGeneral(to),
                                 "; advance(to, max_presses=...) allows more");
            });
            WarnShortOf(short_of);
          },
          py::arg("to"), py::kw_only(), py::arg("max_presses") = kDefaultFinishPresses,
          "Runs until Time reaches `to` (within TimeTol), through every hold on the way, all in C++: "
          "m.advance(to=50). Short of `to` (its presses ran out, or a hold trigger held every step) it warns "
          "with trevolan.ModelWarning naming the time reached and why. Ctrl-C stops it at the next step with "
          "KeyboardInterrupt.")
      .def(
          "record",
          [](PyModel& self, const py::object& outputs, const py::object& every) {
            StartRecording(self, outputs, every, self.recorded);
          },
          py::arg("outputs") = py::none(), py::kw_only(), py::arg("every") = py::none(),
          "Records the outputs (targets or block names; None: the tape's channels) every `every` of Time (None: "
          "GrDel) from now on, the first sample now, every sample kept apart from the model's own tape (which keeps "
          "ten channels and its last 10,001 rows). recording() gives the samples; a new record() starts afresh.")
      .def(
          "recording", [](PyModel& self) { return Recording(self); },
          "The samples of record() so far: a pandas DataFrame indexed by Time with a column for each output, or "
          "a numpy structured array (Time first) without pandas.")
      .def(
          "stop_recording",
          [](PyModel& self) {
            self.Call([&](Sim&) { self.model.StopRecording(); });
            self.recorded.clear();
          },
          "Ends the recording; its samples are dropped.")
      .def("copy", [](PyModel& self) { return CopyOf(self); },
           "A model of its own with this one's state: blocks, clock, tape and random generator.")
      .def("__copy__", [](PyModel& self) { return CopyOf(self); })
      .def("__deepcopy__", [](PyModel& self, py::handle) { return CopyOf(self); }, py::arg("memo"))
      .def(py::pickle(
          [](PyModel& self) {
            std::string text, generator;
            self.Call([&](Sim& s) {
              text = ModelFileText(s, "");
              std::ostringstream rng;
              rng << s.rng;
              generator = rng.str();
            });
            return py::make_tuple(py::bytes(text), generator);
          },
          [](const py::tuple& state) {
            if (state.size() != 2) throw std::runtime_error("not the state of a trevolan.Model");
            auto m = std::make_unique<PyModel>();
            const std::string text = state[0].cast<std::string>();
            const std::string generator = state[1].cast<std::string>();
            m->Call([&](Sim& s) {
              OpenModelText(s, text, "pickle");
              std::istringstream rng(generator);
              rng >> s.rng;
            });
            return m;
          }))
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__", [](PyModel&, py::handle, py::handle, py::handle) { return false; })
      .def(
          "__len__",
          [](PyModel& self) {
            int64_t used = 0;
            self.Call([&](Sim& s) {
              for (int id = 0; id <= kMaxBlockID; ++id) used += s.block(id).Type != BlockType::Empty;
            });
            return used;
          },
          "The number of blocks in the table (the slots in use).")
      .def(
          "__iter__",
          [](PyModel& self) {
            py::list ids;
            std::vector<int> used;
            self.Call([&](Sim& s) {
              for (int id = 0; id <= kMaxBlockID; ++id) {
                if (s.block(id).Type != BlockType::Empty) used.push_back(id);
              }
            });
            for (const int id : used) ids.append(id);
            return py::iter(ids);
          },
          "The IDs of the blocks in the table.")
      .def(
          "__contains__",
          [](PyModel& self, const std::string& given) {
            bool found = true;
            self.Call([&](Sim& s) {
              try {
                commands::ReadTarget(s, commands::TargetOfName(s, given));
              } catch (const UsageError&) {
                found = false;
              } catch (const SimError&) {
                found = false;
              }
            });
            return found;
          },
          "Whether m[target] has a value: '104.cc' in m, 'position' in m.")
      .def(
          "_ipython_key_completions_",
          [](PyModel& self) {
            std::vector<std::string> keys;
            self.Call([&](Sim& s) {
              for (const GlobalField& g : GlobalFields()) keys.emplace_back(g.name);
              for (int id = 0; id <= kMaxBlockID; ++id) {
                const TBlock& b = s.block(id);
                if (b.Type == BlockType::Empty) continue;
                for (const BlockField& f : BlockFields()) {
                  keys.push_back(std::to_string(id) + "." + f.name);
                  if (!b.Name.empty()) keys.push_back(b.Name + "." + f.name);
                }
              }
            });
            return keys;
          })
      .def(
          "on_exchange",
          [](PyModel& self, const py::object& fn) {
            std::shared_ptr<Workbook> workbook;
            if (!fn.is_none()) workbook = std::make_shared<PythonWorkbook>(fn.cast<py::function>());
            self.Call([&](Sim& s) {
              s.workbook = std::move(workbook);
              s.SpreadsheetLinked = s.workbook != nullptr;
            });
          },
          py::arg("fn"),
          "A Python function in the spreadsheet's place for the user block (block 20): at the block's times "
          "fn(time, row) receives the 16 values the block writes into B1..Q1 (its five outputs and Value, then "
          "the ten linked values) and returns the 16 it reads from B2..Q2 (C2, E2 and F2 become its cc, pp and "
          "Value, H2..Q2 the Values of blocks 21..30), as with the Calc link, at the same times and with the same "
          "errors. on_exchange(None) unlinks it.")
      .def(
          "_repr_svg_",
          [](PyModel& self) {
            std::string svg;
            self.Call([&](Sim& s) { svg = DiagramSvg(s); });
            return svg;
          },
          "The diagram as SVG, as a notebook shows a Model.")
      .def("blocks", &BlocksTable,
           "Every block in the table, one row each: ID, what its type is (Description), and its fields (Type, "
           "Name, OnOff, connections An..Pn, aa..pp, Value, ...): a pandas DataFrame, or a numpy record array "
           "without pandas.")
      .def(
          "globals",
          [](PyModel& self) {
            std::vector<std::pair<std::string, FieldValue>> values;
            self.Call([&](Sim& s) {
              for (const GlobalField& g : GlobalFields()) {
                if (g.addressable) values.emplace_back(g.name, commands::ReadTarget(s, g.name));
              }
            });
            py::dict all;
            for (auto& [name, value] : values) all[py::str(name)] = ToPython(std::move(value));
            return all;
          },
          "The globals with their values, the timing and display settings among them: {'Time': 0.0, 'Delt': "
          "0.1, ...}.")
      .def_readonly("messages", &PyModel::messages,
                    "The program's own warnings so far, each as its message box shows it.")
      .def("__repr__", [](PyModel& self) {
        std::string time, rows;
        self.Call([&](Sim& s) {
          time = FormatGeneral(s.Time);
          rows = std::to_string(s.TapeIndex + 1);
        });
        return "<trevolan.Model Time=" + time + " tape rows=" + rows + ">";
      });
}

#include "inputs.h"

#include <algorithm>
#include <cmath>

#include "commands/targets.h"

namespace trevolan::python {

namespace {

// A column of a table as doubles; TypeError naming the column for what is no number.
std::vector<double> NumbersOf(const std::string& column, const py::object& values) {
  try {
    const auto array = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(values);
    if (!array || array.ndim() != 1) throw py::type_error("");
    return {array.data(), array.data() + array.size()};
  } catch (const py::error_already_set&) {
  } catch (const py::type_error&) {
  }
  throw py::type_error("simulate() inputs: the column " + column + " holds other than numbers: " + ReprOf(values));
}

bool IsFrame(const py::object& given) { return py::hasattr(given, "index") && py::hasattr(given, "columns"); }

bool IsRecords(const py::object& given) {
  if (!py::isinstance<py::array>(given)) return false;
  const py::object names = given.attr("dtype").attr("names");
  return !names.is_none() && py::cast<std::vector<std::string>>(names).size() > 0;
}

}  // namespace

Inputs::Inputs(const py::object& given, bool interpolate) : interpolate_(interpolate) {
  if (IsFrame(given)) {
    times_ = NumbersOf("Time (the index)", given.attr("index"));
    for (py::handle column : given.attr("columns")) {
      names_.push_back(py::str(column).cast<std::string>());
      columns_.push_back(NumbersOf(names_.back(), given[column]));
    }
  } else if (IsRecords(given)) {
    for (const auto& name : py::cast<std::vector<std::string>>(given.attr("dtype").attr("names"))) {
      if (name == "Time") {
        times_ = NumbersOf(name, given[py::str(name)]);
        continue;
      }
      names_.push_back(name);
      columns_.push_back(NumbersOf(name, given[py::str(name)]));
    }
    if (times_.empty()) throw py::value_error("simulate() inputs: the structured array has no Time field");
  } else if (PyCallable_Check(given.ptr())) {
    functions_.push_back(given);
  } else if (py::isinstance<py::dict>(given) || py::hasattr(given, "items")) {
    for (const auto& [name, f] : Pairs(given)) {
      if (!PyCallable_Check(f.ptr())) {
        throw py::type_error("simulate() inputs: " + name + ": expected a function f(time) -> value, got " + ReprOf(f));
      }
      names_.push_back(name);
      functions_.push_back(f);
    }
  } else {
    throw py::type_error(
        "simulate() inputs: expected a DataFrame indexed by Time, a structured array with a Time field, "
        "{target: f(time)} or f(time) -> {target: value}, got " + ReprOf(given));
  }
  if (functions_.empty()) {
    if (times_.empty()) throw py::value_error("simulate() inputs: the table has no rows");
    for (size_t r = 0; r < times_.size(); ++r) {
      if (!std::isfinite(times_[r]) || (r > 0 && times_[r] < times_[r - 1])) {
        throw py::value_error("simulate() inputs: the times must be finite and in order; row " + std::to_string(r) +
                              " has Time " + ReprOf(py::float_(times_[r])));
      }
    }
  }
}

void Inputs::Drive(Sim& s) {
  sim_ = &s;
  Write();
}

StepObserver::Reply Inputs::AfterStep(const Sim&) {
  Write();
  return Reply::kGoOn;
}

void Inputs::Write() {
  if (functions_.empty()) WriteTable();
  else WriteFunctions();
}

const std::string& Inputs::TargetOf(const std::string& name) {
  auto known = targets_.find(name);
  if (known == targets_.end()) known = targets_.emplace(name, commands::TargetOfName(*sim_, name)).first;
  return known->second;
}

// Held: the row whose time Time has reached (to within TimeTol, as the run's events
// fall due), the first row before it. Interpolated: on the line between the rows
// around Time, the first or the last row's value outside them.
void Inputs::WriteTable() {
  const double t = sim_->Time;
  const auto at = [&](double x) { return static_cast<size_t>(std::upper_bound(times_.begin(), times_.end(), x) - times_.begin()); };
  const size_t reached = at(t + sim_->TimeTol);
  const size_t before = at(t);
  for (size_t c = 0; c < names_.size(); ++c) {
    const std::vector<double>& v = columns_[c];
    double value = v[reached == 0 ? 0 : reached - 1];
    if (interpolate_ && before > 0 && before < times_.size()) {
      const size_t i = before - 1;
      value = v[i] + (v[i + 1] - v[i]) * ((t - times_[i]) / (times_[i + 1] - times_[i]));
    } else if (interpolate_) {
      value = before == 0 ? v.front() : v.back();
    }
    commands::SetNamedTarget(*sim_, TargetOf(names_[c]), value);
  }
}

void Inputs::WriteFunctions() {
  std::vector<std::pair<std::string, FieldValue>> values;
  {
    py::gil_scoped_acquire gil;
    const py::float_ t(sim_->Time);
    if (names_.empty()) {
      for (const auto& [name, value] : Pairs(functions_[0](t))) values.emplace_back(name, value.cast<FieldValue>());
    } else {
      for (size_t i = 0; i < names_.size(); ++i) values.emplace_back(names_[i], functions_[i](t).cast<FieldValue>());
    }
  }
  for (const auto& [name, value] : values) commands::SetNamedTarget(*sim_, TargetOf(name), value);
}

}  // namespace trevolan::python

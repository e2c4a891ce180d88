#pragma once
#include <map>
#include <string>
#include <vector>

#include "casters.h"

// inputs= of simulate(): targets driven as the run goes, written before every step
// through the model's one typed write (m[target] = value), so that a run driven from
// Python is the run of a script that sets the same values at the same times.
namespace trevolan::python {

class Inputs : public StepObserver {
 public:
  // What simulate() was given, converted while the interpreter is held: a pandas
  // DataFrame indexed by Time or a numpy structured array with a Time field (a column
  // for each target, its values held from row to row or, with `interpolate`, linearly
  // interpolated), a mapping {target: f} of functions f(time) -> value, or one function
  // f(time) -> {target: value}. TypeError or ValueError naming what is wrong.
  Inputs(const py::object& given, bool interpolate);
  Inputs(const Inputs&) = delete;
  Inputs& operator=(const Inputs&) = delete;

  // The model whose targets are written; then the values at its Time now.
  void Drive(Sim& s);
  // After a step: the values at the new Time, for the next step.
  Reply AfterStep(const Sim&) override;

 private:
  void Write();
  void WriteTable();
  void WriteFunctions();
  const std::string& TargetOf(const std::string& name);

  Sim* sim_ = nullptr;
  std::vector<std::string> names_;  // the table's columns, or the mapping's keys
  std::vector<double> times_;
  std::vector<std::vector<double>> columns_;
  bool interpolate_ = false;
  std::vector<py::object> functions_;  // one a name, or one for all (answering a mapping)
  std::map<std::string, std::string> targets_;  // names resolved once
};

}  // namespace trevolan::python

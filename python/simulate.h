#pragma once
#include "casters.h"
#include "py_model.h"

// The run from Python: a Model's reset, step, run, finish and advance, its tape and its
// recordings, and simulate(), a whole run of a copy with every sample of its outputs.
namespace trevolan::python {

// The run's methods of the class Model.
void BindRun(py::class_<PyModel>& model);

// trevolan.simulate.
void BindSimulate(py::module_& m);

}  // namespace trevolan::python

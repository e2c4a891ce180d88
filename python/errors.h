#pragma once
#include <string>
#include <vector>

#include "casters.h"

// trevolan.Error and its kinds, each also one of Python's own, the core's errors raised
// as them, and the program's own warnings as trevolan.ModelWarning.
namespace trevolan::python {

// The error classes, the translation of the core's errors and ModelWarning, on `m`.
void BindErrors(py::module_& m);

// A warning of the program's own, shown with warnings.warn (ModelWarning) at the line
// of Python that made the call.
void Warn(const std::string& text);

// The warnings of one call: appended to `messages` (a model's messages) and shown.
void Report(py::list& messages, const std::vector<std::string>& said);

}  // namespace trevolan::python

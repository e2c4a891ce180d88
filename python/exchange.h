#pragma once
#include "casters.h"
#include "py_model.h"

// A Python function in the spreadsheet's place for the user block: Model.on_exchange.
namespace trevolan::python {

void BindExchange(py::class_<PyModel>& model);

}  // namespace trevolan::python

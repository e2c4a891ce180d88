#pragma once
#include "casters.h"

// trevolan.study: a study of the table of study options run on worker threads, and its
// StudyResult of numpy records.
namespace trevolan::python {

void BindStudy(py::module_& m);

}  // namespace trevolan::python

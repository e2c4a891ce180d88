// The extension of the Python package `trevolan` (trevolan/_trevolan): models opened,
// changed, run and read from Python through the same operations as the batch runner's
// commands. The package's __init__.py gives its names and adds what is Python's own.
#include "casters.h"
#include "errors.h"
#include "exchange.h"
#include "frames.h"
#include "py_model.h"
#include "simulate.h"
#include "study_bindings.h"
#include "trevolan_version.h"

using namespace trevolan;
using namespace trevolan::python;

PYBIND11_MODULE(_trevolan, m) {
  m.doc() = R"(Trevolan models from Python.

A Model is a freshly started simulator without a window, driven by the operations of the
batch runner trevolan-cli. Its targets (model["105.pp"], model["Delt"]) are those of
`print` and `set`; apply() and timing() edit a block's fields and the timing settings by
name (help(trevolan.Model.apply) lists them); reset(), step(), run(), finish() and
advance() run it. Every value is checked by its field's rule before anything changes: one
that the model would run as another value (Delt 0, a connection beyond the table, NaN) is
refused with ValueError naming the target, the value and the rule, one of the wrong kind
with TypeError. Errors of the model raise trevolan.Error; the program's own warnings are
appended to model.messages and shown with warnings.warn (category trevolan.ModelWarning).

    >>> import trevolan
    >>> m = trevolan.Model.open("examples/damped_oscillator.txt")
    >>> m.reset(); m.finish()
    >>> m["Time"], m["102.Value"]
)";
  BindErrors(m);
  PrepareNumpy();
  m.attr("__version__") = kVersion;
  BindStudy(m);
  py::class_<PyModel> model = BindModel(m);
  BindRun(model);
  BindExchange(model);
  BindSimulate(m);
}

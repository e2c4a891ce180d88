#include "exchange.h"

#include <memory>

#include "model/numbers.h"

namespace trevolan::python {

// The texts go both ways as with Calc, so the same rules hold: too few values, or one
// that is no number, are the link's own errors, and the run holds.
PythonWorkbook::~PythonWorkbook() {
  py::gil_scoped_acquire gil;  // the last model to hold it may let go without the lock
  fn_ = py::function();
}

std::vector<std::string> PythonWorkbook::ReadCells(const std::vector<std::string>& names) {
  double time = 0;
  std::vector<double> row;
  for (const auto& [name, text] : written_) (name == "a1" ? time : row.emplace_back()) = EditToFloat(text);
  py::gil_scoped_acquire gil;
  if (!fn_) throw AutomationError("the exchange function was dropped with its model");
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

void LinkController(PyModel& self, const py::object& fn) {
  std::shared_ptr<PythonWorkbook> workbook;
  if (!fn.is_none()) {
    if (!PyCallable_Check(fn.ptr())) {
      throw py::type_error("on_exchange: expected a function fn(time, row) or None, got " +
                           py::repr(fn).cast<std::string>());
    }
    workbook = std::make_shared<PythonWorkbook>(py::reinterpret_borrow<py::function>(fn));
  }
  self.Call([&](Sim& s) {
    s.workbook = workbook;
    s.SpreadsheetLinked = s.workbook != nullptr;
  });
  self.controller = std::move(workbook);
}

namespace {

PyModel* ModelOf(PyObject* self) {
  auto* instance = reinterpret_cast<py::detail::instance*>(self);
  const py::detail::value_and_holder v = instance->get_value_and_holder();
  return v.holder_constructed() ? v.value_ptr<PyModel>() : nullptr;
}

int Traverse(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(Py_TYPE(self));
  if (const PyModel* m = ModelOf(self); m && m->controller) Py_VISIT(m->controller->function().ptr());
  return 0;
}

// Drops the function: the model is unreachable, so no run of it is under way.
int Clear(PyObject* self) {
  if (PyModel* m = ModelOf(self); m && m->controller) m->controller->Forget();
  return 0;
}

// Out of the collector's sight before the model is destroyed, as every collected type is.
void Dealloc(PyObject* self) {
  PyObject_GC_UnTrack(self);
  py::detail::pybind11_object_dealloc(self);
}

}  // namespace

void CollectControllers(PyHeapTypeObject* type) {
  type->ht_type.tp_flags |= Py_TPFLAGS_HAVE_GC;
  type->ht_type.tp_traverse = &Traverse;
  type->ht_type.tp_clear = &Clear;
  type->ht_type.tp_dealloc = &Dealloc;
}

void BindExchange(py::class_<PyModel>& model) {
  model.def("on_exchange", &LinkController, py::arg("fn"),
            "A Python function in the spreadsheet's place for the user block (block 20): at the block's times "
            "fn(time, row) receives the 16 values the block writes into B1..Q1 (its five outputs and Value, then "
            "the ten linked values) and returns the 16 it reads from B2..Q2 (C2, E2 and F2 become its cc, pp and "
            "Value, H2..Q2 the Values of blocks 21..30), as with the Calc link, at the same times and with the "
            "same errors. The function may read the model (model[target]) but not change or run it. Copies, "
            "simulate() and study() keep the function; a pickle carries it when it can be pickled itself. "
            "on_exchange(None) unlinks it.");
}

}  // namespace trevolan::python

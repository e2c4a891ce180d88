#pragma once
#include "casters.h"
#include "model/workbook.h"
#include "py_model.h"

// A Python function in the spreadsheet's place for the user block: Model.on_exchange.
namespace trevolan::python {

// The function fn(time, row1) -> row2 linked as the workbook of the user block: it is
// given row 1 as the block writes it and answers row 2, at the block's times, as Calc.
class PythonWorkbook : public Workbook {
 public:
  explicit PythonWorkbook(py::function fn) : fn_(std::move(fn)) {}
  ~PythonWorkbook() override;
  void Load(const std::string&) override {}
  bool IsEmpty() const override { return false; }
  bool IsRunning() override { return true; }
  void Run() override {}
  void WriteCells(const std::vector<Cell>& cells) override { written_ = cells; }
  std::vector<std::string> ReadCells(const std::vector<std::string>& names) override;

  // The function, for copies, pickles and the garbage collector; read and changed only
  // with the interpreter's lock held.
  const py::function& function() const { return fn_; }
  void Forget() { fn_ = py::function(); }

 private:
  py::function fn_;
  std::vector<Cell> written_;
};

// Links `fn` to the model in the spreadsheet's place (None unlinks).
void LinkController(PyModel& self, const py::object& fn);

// The class Model's part in Python's garbage collection: the function it holds may
// refer to the model (a cycle through C++ that the collector must see to free it).
void CollectControllers(PyHeapTypeObject* type);

void BindExchange(py::class_<PyModel>& model);

}  // namespace trevolan::python

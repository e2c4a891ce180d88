#include "exchange.h"

#include <memory>

#include "model/numbers.h"
#include "model/workbook.h"

namespace trevolan::python {

namespace {

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

// on_exchange(fn): the function linked in the spreadsheet's place; None unlinks it.
void OnExchange(PyModel& self, const py::object& fn) {
  std::shared_ptr<Workbook> workbook;
  if (!fn.is_none()) workbook = std::make_shared<PythonWorkbook>(fn.cast<py::function>());
  self.Call([&](Sim& s) {
    s.workbook = std::move(workbook);
    s.SpreadsheetLinked = s.workbook != nullptr;
  });
}

}  // namespace

void BindExchange(py::class_<PyModel>& model) {
  model.def("on_exchange", &OnExchange, py::arg("fn"),
            "A Python function in the spreadsheet's place for the user block (block 20): at the block's times "
            "fn(time, row) receives the 16 values the block writes into B1..Q1 (its five outputs and Value, then "
            "the ten linked values) and returns the 16 it reads from B2..Q2 (C2, E2 and F2 become its cc, pp and "
            "Value, H2..Q2 the Values of blocks 21..30), as with the Calc link, at the same times and with the "
            "same errors. on_exchange(None) unlinks it.");
}

}  // namespace trevolan::python

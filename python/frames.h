#pragma once
#include <string>
#include <utility>
#include <vector>

#include "casters.h"

// Tables handed to Python: numpy structured arrays, and pandas DataFrames where pandas
// is installed (numpy alone otherwise).
namespace trevolan::python {

// numpy imported and pybind11's view of it made while the module's import holds the
// interpreter: made first from threads that released it, its one-time set-up waits for
// a lock that another thread holds while it waits for the interpreter. Without numpy
// only the calls that return arrays need it.
void PrepareNumpy();

// A structured array of `rows` records; the columns are set one by one.
class Records {
 public:
  explicit Records(size_t rows) : rows_(rows) {}
  template <typename T>
  void Add(const std::string& name, std::vector<T> column) {
    fields_.append(py::make_tuple(name, py::dtype::of<T>()));
    columns_.emplace_back(name, py::array_t<T>(static_cast<py::ssize_t>(column.size()), column.data()));
  }
  // A varied target's values: numbers when they all read as numbers, else their texts.
  void AddTexts(const std::string& name, const std::vector<std::string>& texts);
  // `metadata`: what the array says it is, kept as its dtype's metadata.
  py::object Array(const py::dict& metadata = py::dict()) const;

 private:
  size_t rows_;
  py::list fields_;
  std::vector<std::pair<std::string, py::object>> columns_;
};

// Rows of Time and named columns as a pandas DataFrame indexed by Time, or a numpy
// structured array with a Time field when pandas is not installed; `attrs` what the
// table says it is, the frame's attrs or the array's dtype.metadata.
py::object TimeFrame(const std::vector<std::string>& names, std::vector<double> cells, const py::dict& attrs);

// Named columns as a pandas DataFrame, or a numpy record array without pandas.
py::object Table(const std::vector<std::string>& names, const std::vector<py::list>& columns);

}  // namespace trevolan::python

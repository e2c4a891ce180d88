#include "frames.h"

#include <charconv>

namespace trevolan::python {

namespace {

// pandas, or None when it is not installed.
py::object Pandas() {
  try {
    return py::module_::import("pandas");
  } catch (const py::error_already_set& e) {
    if (!e.matches(PyExc_ImportError)) throw;
  }
  return py::none();
}

}  // namespace

void PrepareNumpy() {
  try {
    py::module_::import("numpy");
    py::array_t<double> prepared(0);
    py::dtype::of<int64_t>();
    py::dtype::of<uint64_t>();
  } catch (const py::error_already_set& e) {
    if (!e.matches(PyExc_ImportError)) throw;
  }
}

void Records::AddTexts(const std::string& name, const std::vector<std::string>& texts) {
  std::vector<double> numbers;
  for (const std::string& t : texts) {
    double x = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), x);
    if (ec != std::errc() || end != t.data() + t.size()) {
      fields_.append(py::make_tuple(name, py::dtype("O")));
      columns_.emplace_back(name, py::cast(texts));
      return;
    }
    numbers.push_back(x);
  }
  Add(name, std::move(numbers));
}

py::object Records::Array(const py::dict& metadata) const {
  py::module_ numpy = py::module_::import("numpy");
  py::object type = numpy.attr("dtype")(fields_);
  if (!metadata.empty()) type = numpy.attr("dtype")(fields_, py::arg("metadata") = metadata);
  py::object records = numpy.attr("zeros")(rows_, type);
  for (const auto& [name, column] : columns_) records[py::str(name)] = column;
  return records;
}

py::object TimeFrame(const std::vector<std::string>& names, std::vector<double> cells, const py::dict& attrs) {
  const auto columns = static_cast<int64_t>(names.size() + 1);
  const int64_t rows = static_cast<int64_t>(cells.size()) / columns;
  const py::array_t<double> table = RowsArray({rows, columns, std::move(cells)});
  py::list fields;
  fields.append("Time");
  for (const std::string& n : names) fields.append(n);
  if (const py::object pandas = Pandas(); !pandas.is_none()) {
    // Views of the samples, not copies: a long recording is held once.
    const py::slice all(0, rows, 1);
    const py::object index = pandas.attr("Index")(table[py::make_tuple(all, 0)], py::arg("name") = "Time");
    const py::object values = table[py::make_tuple(all, py::slice(1, columns, 1))];
    fields.attr("pop")(0);
    py::object frame =
        pandas.attr("DataFrame")(values, py::arg("index") = index, py::arg("columns") = fields, py::arg("copy") = false);
    frame.attr("attrs").attr("update")(attrs);
    return frame;
  }
  Records records(static_cast<size_t>(rows));
  for (py::ssize_t c = 0; c < columns; ++c) {
    std::vector<double> column;
    for (py::ssize_t r = 0; r < rows; ++r) column.push_back(table.at(r, c));
    records.Add(fields[static_cast<size_t>(c)].cast<std::string>(), std::move(column));
  }
  return records.Array(attrs);
}

py::object Table(const std::vector<std::string>& names, const std::vector<py::list>& columns) {
  if (const py::object pandas = Pandas(); !pandas.is_none()) {
    py::dict data;
    for (size_t i = 0; i < names.size(); ++i) data[py::str(names[i])] = columns[i];
    return pandas.attr("DataFrame")(data);
  }
  py::list arrays;
  for (const py::list& c : columns) arrays.append(c);
  return py::module_::import("numpy").attr("rec").attr("fromarrays")(arrays, py::arg("names") = py::cast(names));
}

}  // namespace trevolan::python

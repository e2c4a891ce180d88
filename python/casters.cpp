#include "casters.h"

#include "model/seed.h"

namespace trevolan::python {

namespace {

// A Python value as the core takes it: a text, a flag, a whole number (one beyond 64
// bits as a float) or a float. A text given to a number is read at the edge
// (commands::ParsedForTarget), not here.
FieldValue ScalarOf(py::handle value) {
  if (py::isinstance<py::str>(value)) return value.cast<std::string>();
  if (py::isinstance<py::bool_>(value)) return value.cast<bool>();
  if (PyIndex_Check(value.ptr())) {
    const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    if (!index) throw py::error_already_set();
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (!overflow) return static_cast<int64_t>(v);
    return py::float_(index).cast<double>();
  }
  if (PyFloat_Check(value.ptr()) || py::hasattr(value, "__float__")) {
    return py::float_(py::reinterpret_borrow<py::object>(value)).cast<double>();
  }
  throw py::type_error("expected a number or a text, got " + py::repr(value).cast<std::string>());
}

// A sequence for a stored list, each item a number. Each item is held while it is
// converted: a sequence such as a range or a numpy array makes its items anew.
std::vector<double> ListOf(py::handle value) {
  std::vector<double> list;
  for (py::handle item : py::reinterpret_borrow<py::iterable>(value)) {
    const FieldValue v = ScalarOf(item);
    if (const auto* d = std::get_if<double>(&v)) list.push_back(*d);
    else if (const auto* i = std::get_if<int64_t>(&v)) list.push_back(static_cast<double>(*i));
    else throw py::type_error("a list takes numbers, got " + py::repr(item).cast<std::string>());
  }
  return list;
}

}  // namespace

std::string ReprOf(py::handle value) { return py::repr(value).cast<std::string>(); }

std::vector<std::string> NamesOf(const std::string& argument, py::handle given) {
  if (py::isinstance<py::str>(given)) return {given.cast<std::string>()};
  const auto refuse = [&] {
    return py::type_error(argument + ": expected a name or a list of names (str), got " + ReprOf(given));
  };
  if (!py::isinstance<py::iterable>(given)) throw refuse();
  std::vector<std::string> names;
  for (py::handle item : py::reinterpret_borrow<py::iterable>(given)) {
    if (!py::isinstance<py::str>(item)) throw refuse();
    names.push_back(item.cast<std::string>());
  }
  return names;
}

uint64_t SeedOf(const std::string& argument, py::handle given) {
  const auto accepted = ": a seed is a whole number in 0.." + std::to_string(kMaxSeed);
  if (py::isinstance<py::str>(given) || py::isinstance<py::bool_>(given) ||
      !(PyIndex_Check(given.ptr()) || PyFloat_Check(given.ptr()))) {
    throw py::type_error(argument + ": expected an int, got " + ReprOf(given) + accepted);
  }
  const FieldValue v = ScalarOf(given);
  const auto* whole = std::get_if<int64_t>(&v);
  try {
    return SeedFromNumber(whole ? static_cast<double>(*whole) : std::get<double>(v));
  } catch (const RangeError&) {
    throw py::value_error(argument + " " + ReprOf(given) + accepted);
  }
}

py::array_t<double> RowsArray(TapeRows&& rows) {
  auto* cells = new std::vector<double>(std::move(rows.cells));
  py::capsule owner(cells, [](void* p) { delete static_cast<std::vector<double>*>(p); });
  return py::array_t<double>({rows.rows, rows.columns}, cells->data(), owner);
}

std::vector<std::pair<std::string, py::object>> Pairs(const py::object& given) {
  std::vector<std::pair<std::string, py::object>> pairs;
  if (given.is_none()) return pairs;
  const py::object items = py::hasattr(given, "items") ? given.attr("items")() : given;
  for (py::handle item : items) {
    const auto pair = py::reinterpret_borrow<py::sequence>(item);
    if (pair.size() != 2) throw py::type_error("expected (target, value) pairs");
    pairs.emplace_back(py::str(pair[0]).cast<std::string>(), py::reinterpret_borrow<py::object>(pair[1]));
  }
  return pairs;
}

}  // namespace trevolan::python

namespace pybind11::detail {

// The conversions raise their own TypeError rather than answer false, so that the
// message names the value given instead of listing the signature.
bool type_caster<trevolan::FieldValue>::load(handle src, bool) {
  const bool list = !isinstance<str>(src) && PySequence_Check(src.ptr());
  value = list ? trevolan::FieldValue(trevolan::python::ListOf(src)) : trevolan::python::ScalarOf(src);
  return true;
}

handle type_caster<trevolan::FieldValue>::cast(const trevolan::FieldValue& v, return_value_policy, handle) {
  return std::visit([](const auto& x) { return pybind11::cast(x).release(); }, v);
}

bool type_caster<trevolan::python::Scalar>::load(handle src, bool) {
  value.value = trevolan::python::ScalarOf(src);
  return true;
}

handle type_caster<trevolan::python::TapeRows>::cast(trevolan::python::TapeRows rows, return_value_policy, handle) {
  return trevolan::python::RowsArray(std::move(rows)).release();
}

}  // namespace pybind11::detail

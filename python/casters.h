#pragma once
// The values that cross between Python and the core, converted by pybind11 so that the
// bindings take and return typed values:
//
//   FieldValue  in: a bool, an int (one beyond 64 bits as a float), a float or anything
//               with __float__, a str, or a sequence of numbers for a stored list;
//               out: bool, int, float, str or a list of floats
//   Scalar      in: one such value, not a list (a dialog's field, a time, a study's value)
//   TapeRows    out: a numpy array of rows x columns that owns the cells
//
// A value of another kind is a TypeError naming what was given. Every file of bindings
// includes this header, so that each sees the same conversions.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <string>
#include <utility>
#include <vector>

#include "model.h"
#include "model/fields.h"

namespace trevolan::python {

namespace py = pybind11;

struct Scalar {
  FieldValue value;
};

// Rows of doubles handed to numpy without a second copy: the array owns the cells.
py::array_t<double> RowsArray(TapeRows&& rows);

// What `params=` and study's `set=` and `vary=` take: a mapping of target to value, or
// an iterable of (target, value) pairs; None gives none.
std::vector<std::pair<std::string, py::object>> Pairs(const py::object& given);

// A Python value as a message shows it: its repr().
std::string ReprOf(py::handle value);

// The names an argument gives: one text, or an iterable of texts (a single text is a
// list of one); TypeError naming `argument` and what was given otherwise.
std::vector<std::string> NamesOf(const std::string& argument, py::handle given);

// A seed given as a Python number, by the model's rule for seeds (SeedFromNumber):
// TypeError for what is no whole number, ValueError naming `argument` for one out of range.
uint64_t SeedOf(const std::string& argument, py::handle given);

}  // namespace trevolan::python

namespace pybind11::detail {

template <>
struct type_caster<trevolan::FieldValue> {
  PYBIND11_TYPE_CASTER(trevolan::FieldValue, const_name("float | int | bool | str | list[float]"));

 public:
  bool load(handle src, bool convert);
  static handle cast(const trevolan::FieldValue& v, return_value_policy policy, handle parent);
};

template <>
struct type_caster<trevolan::python::Scalar> {
  PYBIND11_TYPE_CASTER(trevolan::python::Scalar, const_name("float | int | bool | str"));

 public:
  bool load(handle src, bool convert);
};

template <>
struct type_caster<trevolan::python::TapeRows> {
  PYBIND11_TYPE_CASTER(trevolan::python::TapeRows, const_name("numpy.ndarray"));

 public:
  static handle cast(trevolan::python::TapeRows rows, return_value_policy policy, handle parent);
};

}  // namespace pybind11::detail

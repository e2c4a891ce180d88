#include "errors.h"

#include <cerrno>

#include "commands/targets.h"
#include "study/study.h"

namespace trevolan::python {

namespace {

PyObject* model_warning = nullptr;  // trevolan.ModelWarning

struct ErrorClasses {
  py::object error, range, overflow, conversion, floating, io, not_found;
};
ErrorClasses* errors = nullptr;  // lives as long as the interpreter

// A class of trevolan's errors that is also one of Python's own, so that code catches it
// the usual way (except OSError, except ValueError, except IndexError); str(e) stays
// the text the batch runner writes after "error: ".
py::object ErrorClass(py::module_& m, const char* name, const char* doc, std::initializer_list<py::handle> bases) {
  py::tuple base_tuple(bases.size());
  size_t i = 0;
  for (py::handle b : bases) base_tuple[i++] = py::reinterpret_borrow<py::object>(b);
  const std::string qualified = std::string("trevolan.") + name;
  py::object cls = py::reinterpret_steal<py::object>(
      PyErr_NewExceptionWithDoc(qualified.c_str(), doc, base_tuple.ptr(), nullptr));
  if (!cls) throw py::error_already_set();
  m.add_object(name, cls);
  return cls;
}

void AddErrorClasses(py::module_& m) {
  errors = new ErrorClasses;
  errors->error = ErrorClass(m, "Error", "An error of the model; str(e) is the text the batch runner writes after 'error: '.",
                             {PyExc_Exception});
  errors->range = ErrorClass(m, "RangeError",
                             "An ID, a stored index or a tape cell outside its bounds, or a number too large for its "
                             "field; also an IndexError.",
                             {errors->error, PyExc_IndexError});
  errors->overflow = ErrorClass(m, "OverflowError", "Integer arithmetic beyond 32 bits; also the built-in OverflowError.",
                                {errors->error, PyExc_OverflowError});
  errors->conversion = ErrorClass(m, "ConversionError", "A text that is not a valid number; also a ValueError.",
                                  {errors->error, PyExc_ValueError});
  errors->floating = ErrorClass(m, "FloatError",
                                "A floating-point fault: division by zero, invalid, overflow; also a FloatingPointError.",
                                {errors->error, PyExc_FloatingPointError});
  errors->io = ErrorClass(m, "IoError", "A file that cannot be read or written; also an OSError with errno and filename.",
                          {errors->error, PyExc_OSError});
  errors->not_found = ErrorClass(m, "NotFoundError", "A file that does not exist; also a FileNotFoundError.",
                                 {errors->io, PyExc_FileNotFoundError});
  // OSError shows "[Errno N] reason: 'file'"; the model's errors show their own text.
  for (const py::object& cls : {errors->io, errors->not_found}) {
    cls.attr("__str__") = py::cpp_function([](py::handle self) { return py::str(self.attr("args")[py::int_(0)]); },
                                           py::is_method(cls));
  }
}

// An I/O error as an OSError with its errno and filename; a missing file is also a
// FileNotFoundError.
void RaiseIoError(const IoError& e) {
  const py::object& cls = e.code == ENOENT ? errors->not_found : errors->io;
  py::object instance = cls(py::str(e.what()));
  if (e.code != 0) {
    instance.attr("errno") = e.code;
    instance.attr("strerror") = py::str(e.what());
  }
  if (!e.path.empty()) instance.attr("filename") = py::str(e.path);
  PyErr_SetObject(cls.ptr(), instance.ptr());
}

// The core's errors as Python's: the model's own as trevolan.Error and its kinds, a
// fault of the calling program (a misspelt target or field, a value a rule refuses, a
// bad study option) as ValueError, a value of the wrong kind as TypeError.
void RaiseAsPython(std::exception_ptr p) {
  try {
    if (p) std::rethrow_exception(p);
  } catch (const RangeError& e) {
    const std::string text = e.detail.empty() ? e.what() : std::string(e.what()) + ": " + e.detail;
    PyErr_SetString(errors->range.ptr(), text.c_str());
  } catch (const OverflowError& e) {
    PyErr_SetString(errors->overflow.ptr(), e.what());
  } catch (const ConversionError& e) {
    PyErr_SetString(errors->conversion.ptr(), e.what());
  } catch (const FloatError& e) {
    PyErr_SetString(errors->floating.ptr(), e.what());
  } catch (const IoError& e) {
    RaiseIoError(e);
  } catch (const SimError& e) {
    PyErr_SetString(errors->error.ptr(), e.what());
  } catch (const commands::UnknownName& e) {
    PyErr_SetString(PyExc_KeyError, e.what());
  } catch (const ValueTypeError& e) {
    PyErr_SetString(PyExc_TypeError, e.what());
  } catch (const UsageError& e) {
    PyErr_SetString(PyExc_ValueError, e.what());
  } catch (const study::StudyUsageError& e) {
    PyErr_SetString(PyExc_ValueError, e.what());
  }
}

}  // namespace

void BindErrors(py::module_& m) {
  AddErrorClasses(m);
  py::register_exception_translator(&RaiseAsPython);
  model_warning = PyErr_NewExceptionWithDoc("trevolan.ModelWarning",
                                            "A warning of the program's own, as its message boxes show it.",
                                            PyExc_UserWarning, nullptr);
  m.add_object("ModelWarning", py::handle(model_warning));
}

namespace {

// Whether a frame runs the package's own Python (its __init__.py).
bool PackageFrame(const py::object& frame) {
  const py::object name = frame.attr("f_globals").attr("get")("__name__");
  if (!py::isinstance<py::str>(name)) return false;
  const std::string module = name.cast<std::string>();
  return module == "trevolan" || module.rfind("trevolan.", 0) == 0;
}

// The stack level of the first frame that is not the package's: the caller's line.
int CallerLevel() {
  int level = 1;
  auto* top = reinterpret_cast<PyObject*>(PyEval_GetFrame());
  for (py::object frame = py::reinterpret_borrow<py::object>(top); frame && !frame.is_none() && PackageFrame(frame);
       frame = frame.attr("f_back")) {
    ++level;
  }
  return level;
}

}  // namespace

void Warn(const std::string& text) {
  // At the caller's line, by the warnings filters as they stand: none is changed here, so
  // threads that each filter warnings their own way see them as they chose.
  if (PyErr_WarnEx(model_warning, text.c_str(), CallerLevel()) != 0) throw py::error_already_set();
}

void Report(py::list& messages, const std::vector<std::string>& said) {
  for (const std::string& text : said) {
    messages.append(py::str(text));
    Warn(text);
  }
}

}  // namespace trevolan::python

#pragma once
#include <exception>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "casters.h"
#include "model.h"

// trevolan.Model: a Model (the simulator, Python-free) with the list of its warnings,
// every call made without the interpreter's lock.
namespace trevolan::python {

class PythonWorkbook;

struct PyModel {
  Model model;
  py::list messages;
  // The function given to on_exchange, linked in the spreadsheet's place; null when none.
  // Kept here too so that Python's garbage collector sees the reference (a function that
  // refers to its model makes a cycle) and copies take it along.
  std::shared_ptr<PythonWorkbook> controller;

  // Runs `work` without the interpreter's lock, so that other Python threads go on
  // meanwhile, then reports its warnings; an error of the model is raised after them.
  // Ctrl-C is seen within a tenth of a second: a run stops at its next step, the model
  // holds where it got and KeyboardInterrupt is raised.
  template <typename Work>
  void Call(Work&& work) {
    std::vector<std::string> said;
    std::exception_ptr failure;
    bool interrupted = false;
    {
      py::gil_scoped_release nogil;
      try {
        interrupted = model.Do(work, said, CheckSignals);
      } catch (...) {
        failure = std::current_exception();
      }
    }
    Ended(said, failure, interrupted);
  }

  // What `read` makes of the simulator as it is (a const Sim&), without the interpreter's
  // lock; also from inside the model's own exchange function.
  template <typename Reader>
  auto Read(Reader&& read) {
    std::invoke_result_t<Reader, const Sim&> result{};
    std::exception_ptr failure;
    {
      py::gil_scoped_release nogil;
      try {
        model.Inspect([&](const Sim& s) { result = read(s); });
      } catch (...) {
        failure = std::current_exception();
      }
    }
    if (failure) Ended({}, failure, false);
    return result;
  }

  // What `read` makes of the simulator, run as Call runs it.
  template <typename Read>
  auto Get(Read&& read) {
    std::invoke_result_t<Read, Sim&> result{};
    Call([&](Sim& s) { result = read(s); });
    return result;
  }

 private:
  // The warnings reported, then the error raised (a range error with the value of the
  // model that went beyond its bounds) or KeyboardInterrupt.
  void Ended(const std::vector<std::string>& said, std::exception_ptr failure, bool interrupted);
  // Whether a signal handler of Python's asks to stop (SIGINT raises KeyboardInterrupt):
  // called from the thread that released the interpreter.
  static bool CheckSignals();
};

// A new model made by `load` (FileNew, FileOpen), its warnings reported.
std::unique_ptr<PyModel> NewModel(void (*load)(Sim&, const std::string&), const std::string& path);

// A model of its own with this one's state: blocks, clock, tape and random generator.
std::unique_ptr<PyModel> CopyOf(PyModel& from);

// The class Model with its files, copies, items and fields; BindRun and BindExchange
// add the run and the exchange function.
py::class_<PyModel> BindModel(py::module_& m);

}  // namespace trevolan::python

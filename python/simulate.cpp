#include "simulate.h"

#include <optional>

#include "commands/targets.h"
#include "engine/run_operations.h"
#include "errors.h"
#include "frames.h"
#include "model/file_commands.h"
#include "model/numbers.h"
#include "model/seed.h"

namespace trevolan::python {

namespace {

// What a run that stopped short of its target says, "advance stopped at Time 37 before
// 50: all 10 presses of RUN were used (...)", with `more` when its presses ran out;
// empty when it reached the target. An error is raised here; an interrupt is raised by
// PyModel::Call as KeyboardInterrupt.
std::string ShortOf(const char* call, const Sim& s, const RunOutcome& run, const std::string& target,
                    const std::string& more = "") {
  run.RethrowError();
  if (run.reached()) return "";
  return std::string(call) + " stopped at Time " + FormatGeneral(run.time) + " before " + target + ": " +
         ShortStopReason(s, run) + (run.presses > 0 ? more : "");
}

// A run short of its target, told as trevolan.ModelWarning at the caller's line.
void WarnShortOf(const std::string& short_of) {
  if (!short_of.empty()) Warn(short_of);
}

// The presses a run may use, by the engine's rule, its refusal named.
int64_t PressesOf(int64_t given) {
  try {
    return PressLimit(given);
  } catch (RangeError& e) {
    e.detail = "max_presses " + std::to_string(given) + ": the presses allowed are 0 or more";
    throw;
  }
}

// finish(): short of FinTim it raises, or only warns when the caller chose the limit.
void FinishRun(PyModel& self, std::optional<int64_t> max_presses) {
  const int64_t presses = PressesOf(max_presses.value_or(kDefaultFinishPresses));
  const std::string short_of = self.Get([&](Sim& s) {
    const RunOutcome run = Finish(s, presses);
    return ShortOf("finish", s, run, "FinTim " + FormatGeneral(s.FinTim),
                   max_presses ? "" : "; finish(max_presses=...) allows more");
  });
  if (!max_presses && !short_of.empty()) throw SimError(short_of);
  WarnShortOf(short_of);
}

void Advance(PyModel& self, double to, int64_t max_presses) {
  const int64_t presses = PressesOf(max_presses);
  WarnShortOf(self.Get([&](Sim& s) {
    return ShortOf("advance", s, RunUntil(s, to, presses), FormatGeneral(to),
                   "; advance(to, max_presses=...) allows more");
  }));
}

// A sampling interval as given: a text is read as the dialogs read what is typed.
std::optional<double> IntervalOf(const std::optional<Scalar>& every) {
  if (!every) return std::nullopt;
  const FieldValue& v = every->value;
  if (const auto* text = std::get_if<std::string>(&v)) return EditToFloat(*text);
  if (const auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  if (const auto* i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
  return std::get<double>(v);
}

// record(): the outputs' names and the interval converted while the interpreter is held.
void RecordOutputs(PyModel& self, const std::optional<std::vector<std::string>>& outputs,
                   std::optional<double> every) {
  self.Call([&](Sim& s) { self.model.Record(s, outputs, every); });
}

void Record(PyModel& self, const py::object& outputs, const std::optional<Scalar>& every) {
  std::optional<std::vector<std::string>> names;
  if (!outputs.is_none()) names = NamesOf("outputs", outputs);
  RecordOutputs(self, names, IntervalOf(every));
}

// The samples of the recording so far, a column for each output.
py::object Recording(PyModel& self) {
  std::vector<std::string> names;
  const std::vector<double> cells = self.Read([&](const Sim&) {
    names = self.model.recorded();
    return self.model.Samples();
  });
  return TimeFrame(names, cells);
}

py::object TapeFrame(PyModel& self) {
  py::module_ pandas = py::module_::import("pandas");
  std::vector<std::pair<std::string, int32_t>> channels;
  TapeRows rows = self.Read([&](const Sim& s) {
    channels = Model::Channels(s);
    return Model::Tape(s);
  });
  py::list names;
  for (const auto& channel : channels) names.append(channel.first);
  return pandas.attr("DataFrame")(py::cast(std::move(rows)), py::arg("columns") = names);
}

// The model of simulate(): a copy of a Model, or one read from its file.
std::unique_ptr<PyModel> ModelOf(py::handle model) {
  if (py::isinstance<PyModel>(model)) return CopyOf(model.cast<PyModel&>());
  if (!py::isinstance<py::str>(model) && !py::hasattr(model, "__fspath__")) {
    throw py::type_error("simulate() model: expected a model file's path or a trevolan.Model, got " + ReprOf(model));
  }
  return NewModel(FileOpen, py::cast<std::filesystem::path>(model).string());
}

// simulate(): every argument converted while the interpreter is held, then the model
// read or copied, the parameters set and a whole run recorded.
py::object Simulate(py::handle model, const std::optional<Scalar>& stop, const std::optional<Scalar>& start,
                    const std::optional<Scalar>& step, const py::object& params, const py::object& outputs,
                    const std::optional<Scalar>& every, const py::object& seed) {
  std::vector<std::pair<std::string, FieldValue>> sets;
  for (const auto& [target, value] : Pairs(params)) sets.emplace_back(target, value.cast<FieldValue>());
  for (const auto& [name, value] : {std::pair{"Start", start}, std::pair{"FinTim", stop}, std::pair{"Delt", step}}) {
    if (value) sets.emplace_back(name, value->value);
  }
  std::optional<std::vector<std::string>> names;
  if (!outputs.is_none()) names = NamesOf("simulate() outputs", outputs);
  const std::optional<double> interval = IntervalOf(every);
  std::optional<uint64_t> generator_seed;
  if (!seed.is_none()) generator_seed = SeedOf("simulate() seed", seed);
  std::unique_ptr<PyModel> m = ModelOf(model);
  m->Call([&](Sim& s) {
    for (const auto& [target, value] : sets) commands::SetNamedTarget(s, target, value);
    if (generator_seed) SeedGenerator(s, *generator_seed);
    m->model.ResetRun(s).RethrowError();
  });
  RecordOutputs(*m, names, interval);
  const std::string short_of =
      m->Get([](Sim& s) { return ShortOf("simulate", s, RunUntil(s, s.FinTim), "FinTim " + FormatGeneral(s.FinTim)); });
  py::object samples = Recording(*m);
  WarnShortOf(short_of);
  return samples;
}

}  // namespace

void BindRun(py::class_<PyModel>& model) {
  model
      .def(
          "seed",
          [](PyModel& self, const py::object& n, bool crn) {
            const uint64_t seed = SeedOf("seed", n);
            self.Call([&](Sim& s) { SeedGenerator(s, seed, crn); });
          },
          py::arg("n"), py::kw_only(), py::arg("crn") = false,
          "Restarts the random generator from a sequence determined by n (0 <= n < 2**53), the same as the "
          "batch runner's seed n. Without it a model draws the fixed sequence of every start. With crn=True "
          "(common random numbers, the batch runner's seed n crn) every block draws from a stream of its own, "
          "derived from n and the block's ID, so that changing one block leaves the draws of the others as they "
          "were; seed(n) without it returns to the one sequence shared by all blocks.")
      .def(
          "reset", [](PyModel& self) { self.Call([&](Sim& s) { self.model.ResetRun(s).RethrowError(); }); },
          "Starts the run afresh: Time back to Start, every block to its initial state, the tape to its first row.")
      .def(
          "step", [](PyModel& self) { self.Call([](Sim& s) { Step(s).RethrowError(); }); },
          "Advances the run by one step of Delt.")
      .def(
          "run", [](PyModel& self) { self.Call([](Sim& s) { RunToHold(s).RethrowError(); }); },
          "Runs on until the model next holds: at the hold step, by the hold trigger or at the finish time.")
      .def("finish", &FinishRun, py::arg("max_presses") = py::none(),
           "Runs on to the finish time, through every hold on the way, until the run holds at FinTim; "
           "max_presses (default 1000000) is how many times the run may go on from a hold. Short of FinTim it "
           "raises trevolan.Error naming the time reached and why, or only warns with trevolan.ModelWarning when "
           "max_presses was given. Ctrl-C stops it at the next step with KeyboardInterrupt.")
      .def("advance", &Advance, py::arg("to"), py::kw_only(), py::arg("max_presses") = kDefaultFinishPresses,
           "Runs until Time reaches `to` (within TimeTol), through every hold on the way, all in C++: "
           "m.advance(to=50). Short of `to` (its presses ran out, or a hold trigger held every step) it warns "
           "with trevolan.ModelWarning naming the time reached and why. Ctrl-C stops it at the next step with "
           "KeyboardInterrupt.")
      .def(
          "tape", [](PyModel& self) { return self.Read(&Model::Tape); },
          "The recorded rows as a numpy array of rows x columns: the time, then each channel (see channels()).")
      .def(
          "channels", [](PyModel& self) { return self.Read(&Model::Channels); },
          "The tape's columns as (name, block ID) pairs: the Time block, then the recorded channels.")
      .def("tape_frame", &TapeFrame,
           "The tape as a pandas DataFrame with the channels' names as columns (needs pandas).")
      .def("record", &Record, py::arg("outputs") = py::none(), py::kw_only(), py::arg("every") = py::none(),
           "Records the outputs (targets or block names; None: the tape's channels) every `every` of Time (None: "
           "GrDel) from now on, the first sample now, every sample kept apart from the model's own tape (which "
           "keeps ten channels and its last 10,001 rows). recording() gives the samples; a new record() starts "
           "afresh.")
      .def("recording", &Recording,
           "The samples of record() so far: a pandas DataFrame indexed by Time with a column for each output, or "
           "a numpy structured array (Time first) without pandas.")
      .def(
          "stop_recording", [](PyModel& self) { self.Call([&](Sim&) { self.model.StopRecording(); }); },
          "Ends the recording; its samples are dropped.");
}

void BindSimulate(py::module_& m) {
  m.def("simulate", &Simulate, py::arg("model"), py::kw_only(), py::arg("stop") = py::none(),
        py::arg("start") = py::none(), py::arg("step") = py::none(), py::arg("params") = py::none(),
        py::arg("outputs") = py::none(), py::arg("every") = py::none(), py::arg("seed") = py::none(),
        R"(Simulates a model and returns every sample of its outputs.

model: a model file's path, or a Model (left as it is: the call works on a copy).
stop, start, step: FinTim, Start and Delt for this run (None: the model's own).
params: {target or block name: value}, set before the run as m[target] = value sets
    them, a timing setting with the timing rules applied: {"spring.cc": 2, "104.aa": 0.5,
    "FinTim": 100}. A value its field's rule refuses raises ValueError naming the rule.
outputs: targets or block names to sample ("position", "102.Value", "Time"); None: the
    channels the model records on its tape.
every: the sampling interval (None: the model's GrDel, so the samples are the tape's rows).
seed: the random generator's seed (None: the fixed sequence of every start).

Returns a pandas DataFrame indexed by Time with a column for each output (a numpy
structured array with a Time field when pandas is not installed), every sample kept
however long the run. A run that stops short of FinTim (a million holds on the way, a
hold trigger holding every step) warns with trevolan.ModelWarning naming the time
reached and why, and returns the samples it took.)");
}

}  // namespace trevolan::python

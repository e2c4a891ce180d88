#include "simulate.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "commands/targets.h"
#include "engine/run_operations.h"
#include "errors.h"
#include "frames.h"
#include "inputs.h"
#include "model/file_commands.h"
#include "model/numbers.h"
#include "model/seed.h"
#include "study/sha256.h"
#include "trevolan_version.h"
#include "watch.h"

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

// A time or an interval as given: a text is read as the dialogs read what is typed.
std::optional<double> NumberOf(const std::optional<Scalar>& given) {
  if (!given) return std::nullopt;
  const FieldValue& v = given->value;
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
  RecordOutputs(self, names, NumberOf(every));
}

// What the attrs of a table of samples take from the model, read under its lock.
struct RunFacts {
  std::string file;
  double delt = 0, start = 0, grdel = 0, timetol = 0;
};
RunFacts FactsOf(const Sim& s) { return {s.DataFileName, s.Delt, s.Start, s.GrDel, s.TimeTol}; }

// What a table of samples says it is: the model's file and its SHA-256 (None for a
// model read from no file), the seed, why the run stopped, Delt and the version.
py::dict AttrsOf(const RunFacts& facts, const py::object& seed, const py::object& stop_reason) {
  py::dict attrs;
  attrs["model"] = py::none();
  attrs["sha256"] = py::none();
  if (!facts.file.empty()) {
    const std::filesystem::path path = std::filesystem::absolute(facts.file);
    attrs["model"] = py::str(path.string());
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file) attrs["sha256"] = study::Sha256Hex(bytes);
  }
  attrs["seed"] = seed;
  attrs["stop_reason"] = stop_reason;
  attrs["Delt"] = facts.delt;
  attrs["version"] = kVersion;
  return attrs;
}

// The samples of the recording so far, a column for each output.
py::object Recording(PyModel& self) {
  std::vector<std::string> names;
  RunFacts facts;
  std::vector<double> cells = self.Read([&](const Sim& s) {
    names = self.model.recorded();
    facts = FactsOf(s);
    return self.model.Samples();
  });
  return TimeFrame(names, std::move(cells), AttrsOf(facts, py::none(), py::none()));
}

// The tape's rows, as recording() gives samples: indexed by Time, a column a channel.
py::object TapeFrame(PyModel& self) {
  std::vector<std::pair<std::string, int32_t>> channels;
  RunFacts facts;
  TapeRows rows = self.Read([&](const Sim& s) {
    channels = Model::Channels(s);
    facts = FactsOf(s);
    return Model::Tape(s);
  });
  std::vector<std::string> names;
  for (size_t c = 1; c < channels.size(); ++c) names.push_back(channels[c].first);
  // The rows fall due at Start + k * GrDel: their times as the recorder gives them, on
  // that grid where the summed clock is within TimeTol of it.
  for (size_t at = 0; at < rows.cells.size() && facts.grdel > 0; at += static_cast<size_t>(rows.columns)) {
    double& time = rows.cells[at];
    const double grid = facts.start + std::round((time - facts.start) / facts.grdel) * facts.grdel;
    if (std::fabs(time - grid) <= facts.timetol) time = grid;
  }
  return TimeFrame(names, std::move(rows.cells), AttrsOf(facts, py::none(), py::none()));
}

// The model of simulate(): a copy of a Model, or one read from its file; with `own`
// (reset=False) a Model itself, whose run goes on.
std::unique_ptr<PyModel> ModelOf(py::handle model, bool own, PyModel*& run) {
  if (py::isinstance<PyModel>(model)) {
    if (own) {
      run = &model.cast<PyModel&>();
      return nullptr;
    }
    std::unique_ptr<PyModel> copy = CopyOf(model.cast<PyModel&>());
    run = copy.get();
    return copy;
  }
  if (!py::isinstance<py::str>(model) && !py::hasattr(model, "__fspath__")) {
    throw py::type_error("simulate() model: expected a model file's path or a trevolan.Model, got " + ReprOf(model));
  }
  std::unique_ptr<PyModel> opened = NewModel(FileOpen, py::cast<std::filesystem::path>(model).string());
  run = opened.get();
  return opened;
}

// What simulate() does with the run, its arguments converted while the interpreter is held.
struct RunPlan {
  std::vector<std::pair<std::string, FieldValue>> sets;
  std::optional<std::vector<std::string>> outputs;
  std::optional<double> every;
  std::optional<uint64_t> seed;
  bool reset = true;
  std::optional<double> until;  // reset=False: the time to run to, FinTim left as it is
};

// What the run of simulate() gave: why it stopped short of FinTim (empty when it did
// not), the samples with their columns, and the facts of the model for the attrs.
struct Recorded {
  std::string short_of;
  Model::Outputs outputs;
  std::vector<double> cells;
  RunFacts facts;
};

// The run of simulate() on `m`: the settings, the reset, then the run to FinTim with
// its samples taken, its inputs written and the watch kept.
Recorded RunAndRecord(PyModel& m, const RunPlan& plan, Inputs* inputs, Watch& watch) {
  Recorded r;
  double time = 0, fintim = 0;
  m.Call([&](Sim& s) {
    for (const auto& [target, value] : plan.sets) commands::SetNamedTarget(s, target, value);
    if (plan.seed) SeedGenerator(s, *plan.seed);
    if (plan.reset) m.model.ResetRun(s).RethrowError();
    r.outputs = Model::OutputsOf(s, plan.outputs);
    commands::SampleRecorder recorder(s, r.outputs.targets, plan.every.value_or(s.GrDel));
    const StepSubscription recording(s, recorder);  // before the inputs: a sample is the step's own
    std::optional<StepSubscription> driving;
    if (inputs) {
      inputs->Drive(s);
      driving.emplace(s, *inputs);
    }
    const double until = plan.until.value_or(s.FinTim);
    const std::string target = plan.until ? FormatGeneral(until) : "FinTim " + FormatGeneral(until);
    RunWatch run_watch(watch, until);
    const StepSubscription watching(s, run_watch);
    const RunOutcome run = RunUntil(s, until);
    r.short_of = watch.timed_out() && run.stop == RunStop::kInterrupted
                     ? "simulate stopped at Time " + FormatGeneral(run.time) + " before " + target + ": " +
                           watch.TimeoutText()
                     : ShortOf("simulate", s, run, target);
    r.cells = recorder.TakeCells();
    r.facts = FactsOf(s);
    time = r.short_of.empty() ? until : s.Time;  // the whole way shown as whole
    fintim = until;
  });
  watch.End(time, fintim);
  return r;
}

// simulate(): every argument converted while the interpreter is held, then the model
// read or copied (or the Model itself with reset=False), the parameters set and the run
// recorded.
py::object Simulate(py::handle model, const std::optional<Scalar>& stop, const std::optional<Scalar>& start,
                    const std::optional<Scalar>& step, const py::object& params, const py::object& outputs,
                    const std::optional<Scalar>& every, const py::object& seed, const py::object& inputs,
                    bool interpolate, bool reset, const py::object& progress, std::optional<double> timeout) {
  RunPlan plan;
  for (const auto& [target, value] : Pairs(params)) plan.sets.emplace_back(target, value.cast<FieldValue>());
  // Run on without a reset, the run goes to `stop` without it being written as FinTim:
  // a write of a timing setting computes the blocks once more, which a run in halves
  // would otherwise have in the middle.
  if (!reset) plan.until = NumberOf(stop);
  for (const auto& [name, value] : {std::pair{"Start", start}, std::pair{"FinTim", reset ? stop : std::nullopt},
                                    std::pair{"Delt", step}}) {
    if (value) plan.sets.emplace_back(name, value->value);
  }
  if (!outputs.is_none()) plan.outputs = NamesOf("simulate() outputs", outputs);
  plan.every = NumberOf(every);
  if (!seed.is_none()) plan.seed = SeedOf("simulate() seed", seed);
  plan.reset = reset;
  std::optional<Inputs> driver;
  if (!inputs.is_none()) driver.emplace(inputs, interpolate);
  Watch watch(progress, timeout);
  PyModel* run = nullptr;
  const std::unique_ptr<PyModel> own = ModelOf(model, !reset, run);
  Recorded r = RunAndRecord(*run, plan, driver ? &*driver : nullptr, watch);
  const py::dict attrs = AttrsOf(r.facts, plan.seed ? py::cast(*plan.seed) : py::none(),
                                 py::str(r.short_of.empty() ? "FinTim reached" : r.short_of));
  py::object samples = TimeFrame(r.outputs.names, std::move(r.cells), attrs);
  WarnShortOf(r.short_of);
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
           "The tape as recording() gives samples: a pandas DataFrame indexed by Time (Start + k * GrDel, so "
           "that the row of Time 50 is frame.loc[50.0]) with a column for each channel, or a numpy structured "
           "array with a Time field without pandas; tape() keeps the clock's own times.")
      .def("record", &Record, py::arg("outputs") = py::none(), py::kw_only(), py::arg("every") = py::none(),
           "Records the outputs (targets or block names; None: the tape's channels) every `every` of Time (None: "
           "GrDel) from now on, the first sample now, every sample kept apart from the model's own tape (which "
           "keeps ten channels and its last 10,001 rows). recording() gives the samples; a new record() starts "
           "afresh.")
      .def("recording", &Recording,
           "The samples of record() so far: a pandas DataFrame indexed by Time with a column for each output, or "
           "a numpy structured array (Time first) without pandas.")
      .def(
          "state", [](PyModel& self) { return py::bytes(self.Read([&](const Sim& s) { return self.model.State(s); })); },
          "The whole state of the model and its run as bytes: every field, the clock, the tape and the random "
          "generator. restore(state) brings it back bit for bit, so that a run goes on from there as it went on "
          "the first time.")
      .def(
          "restore",
          [](PyModel& self, const py::bytes& state) {
            const std::string bytes = state;
            self.Call([&](Sim& s) { self.model.Restore(s, bytes); });
          },
          py::arg("state"),
          "Brings back the state that state() gave (of this model or another): ValueError for bytes that are no "
          "such state. A recording of record() starts again from the state brought back.")
      .def(
          "stop_recording", [](PyModel& self) { self.Call([&](Sim&) { self.model.StopRecording(); }); },
          "Ends the recording; its samples are dropped.");
}

void BindSimulate(py::module_& m) {
  m.def("simulate", &Simulate, py::arg("model"), py::kw_only(), py::arg("stop") = py::none(),
        py::arg("start") = py::none(), py::arg("step") = py::none(), py::arg("params") = py::none(),
        py::arg("outputs") = py::none(), py::arg("every") = py::none(), py::arg("seed") = py::none(),
        py::arg("inputs") = py::none(), py::arg("interpolate") = false, py::arg("reset") = true,
        py::arg("progress") = py::none(), py::arg("timeout") = py::none(),
        R"(Simulates a model and returns every sample of its outputs.

model: a model file's path, or a Model (left as it is: the call works on a copy, unless
    reset=False).
stop, start, step: FinTim, Start and Delt for this run (None: the model's own).
params: {target or block name: value}, set before the run as m[target] = value sets
    them, a timing setting with the timing rules applied: {"spring.cc": 2, "104.aa": 0.5,
    "FinTim": 100}. A value its field's rule refuses raises ValueError naming the rule.
outputs: targets or block names to sample ("position", "102.Value", "Time"); None: the
    channels the model records on its tape.
every: the sampling interval (None: the model's GrDel, so the samples are the tape's rows).
    Samples fall at Start + k * every: the row of Time 50 is df.loc[50.0].
seed: the random generator's seed (None: the fixed sequence of every start).
inputs: targets driven as the run goes, each written before every step as m[target] =
    value writes it: a DataFrame indexed by Time with a column for each target (or a
    numpy structured array with a Time field), its values held from the row whose time
    is reached to the next, or linearly interpolated with interpolate=True; or
    {target: f} with f(time) -> value; or f(time) -> {target: value}.
reset: False runs the Model itself on from where it stands (no reset; its state stays
    where the run ends) to Time `stop` (None: FinTim), which is not written as FinTim,
    so that m.reset(), simulate(m, stop=50, reset=False) and then
    simulate(m, reset=False) are the two halves of one run.
progress: a function progress(time, stop) called about ten times a second with Time and
    FinTim, or True for a bar (tqdm when it is installed, else a line on standard error).
timeout: seconds the run may take; past them it stops as a run short of FinTim does.

Returns a pandas DataFrame indexed by Time with a column for each output (a numpy
structured array with a Time field when pandas is not installed), every sample kept
however long the run. Its attrs (the array's dtype.metadata) hold the model's file and
its SHA-256, the seed, the stop reason, Delt and the version. A run that stops short of
FinTim (a million holds on the way, a hold trigger holding every step, the timeout)
warns with trevolan.ModelWarning naming the time reached and why, and returns the
samples it took.)");
}

}  // namespace trevolan::python

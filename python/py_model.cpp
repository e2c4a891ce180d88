#include "py_model.h"

#include <sstream>

#include "commands/dialog_typing.h"
#include "commands/targets.h"
#include "display/svg_canvas.h"
#include "errors.h"
#include "exact_state.h"
#include "exchange.h"
#include "frames.h"
#include "model/catalogue.h"
#include "model/file_commands.h"
#include "model/model_file.h"
#include "model/numbers.h"

namespace trevolan::python {

void PyModel::Ended(const std::vector<std::string>& said, std::exception_ptr failure, bool interrupted) {
  if (!failure) {
    Report(messages, said);
    if (interrupted) {
      PyErr_SetNone(PyExc_KeyboardInterrupt);
      throw py::error_already_set();
    }
    return;
  }
  try {
    Report(messages, said);
  } catch (const py::error_already_set&) {
    // a warning turned into an error must not hide the model's own error
  }
  try {
    std::rethrow_exception(failure);
  } catch (RangeError& e) {
    // Which value of the model went beyond its bounds, after the message.
    if (e.detail.empty() && e.what() == std::string(RangeError().what())) {
      std::vector<std::string> unreported;
      model.Inspect([&e](const Sim& s) { e.detail = RangeFaultDetail(s); });
    }
    throw;
  }
}

bool PyModel::CheckSignals() {
  py::gil_scoped_acquire gil;
  if (PyErr_CheckSignals() == 0) return false;
  PyErr_Clear();
  return true;
}

std::unique_ptr<PyModel> NewModel(void (*load)(Sim&, const std::string&), const std::string& path) {
  auto m = std::make_unique<PyModel>();
  m->Call([&](Sim& s) { load(s, path); });
  return m;
}

std::unique_ptr<PyModel> CopyOf(PyModel& from) {
  auto copy = std::make_unique<PyModel>();
  {
    py::gil_scoped_release nogil;
    copy->model.CopyFrom(from.model);
  }
  if (from.controller) LinkController(*copy, from.controller->function());
  return copy;
}

namespace {

// m[target]: a range error names the bounds the target went beyond.
FieldValue GetItem(PyModel& self, const std::string& given) {
  return self.Read([&](const Sim& s) {
    const std::string target = commands::TargetOfName(s, given);
    try {
      return commands::ReadTarget(s, target);
    } catch (const RangeError&) {
      throw commands::TargetRangeError(s, target);
    }
  });
}

// m[target] = value.
void SetItem(PyModel& self, const std::string& given, const FieldValue& value) {
  self.Call([&](Sim& s) {
    const std::string target = commands::TargetOfName(s, given);
    try {
      commands::SetNamedTarget(s, target, value);
    } catch (const RangeError&) {
      throw commands::TargetRangeError(s, target);
    }
  });
}

// `key in m`: an ID of a block in the table, or a target that has a value on a block in
// the table (an empty slot has none to speak of: "150.cc" in m is False).
bool Contains(PyModel& self, const py::object& key) {
  const auto in_table = [](const Sim& s, int64_t id) {
    return id >= 0 && id <= kMaxBlockID && s.block(id).Type != BlockType::Empty;
  };
  if (PyIndex_Check(key.ptr()) && !py::isinstance<py::bool_>(key)) {
    const FieldValue id = key.cast<Scalar>().value;
    const auto* whole = std::get_if<int64_t>(&id);
    return whole && self.Read([&](const Sim& s) { return in_table(s, *whole); });
  }
  if (!py::isinstance<py::str>(key)) return false;
  const std::string given = key.cast<std::string>();
  return self.Read([&](const Sim& s) {
    try {
      const std::string target = commands::TargetOfName(s, given);
      commands::ReadTarget(s, target);
      const auto id = commands::TargetBlock(target);
      return !id || in_table(s, *id);
    } catch (const UsageError&) {
      return false;
    } catch (const SimError&) {
      return false;
    }
  });
}

// Keyword arguments as the fields of a dialog, in the order given.
commands::NamedValues FieldValuesOf(const py::kwargs& fields) {
  commands::NamedValues values;
  for (const auto& [name, value] : fields) values.emplace_back(name.cast<std::string>(), value.cast<Scalar>().value);
  return values;
}

void Apply(PyModel& self, int64_t id, const py::kwargs& fields) {
  const commands::NamedValues values = FieldValuesOf(fields);
  self.Call([&](Sim& s) {
    try {
      commands::EditBlockFields(s, id, values);
    } catch (RangeError& e) {
      if (id >= 0 && id <= kMaxBlockID) throw;
      e.detail = "apply: block " + std::to_string(id) + ": block IDs are 0.." + std::to_string(kMaxBlockID);
      throw;
    }
  });
}

void Timing(PyModel& self, const py::kwargs& fields) {
  const commands::NamedValues values = FieldValuesOf(fields);
  self.Call([&](Sim& s) { commands::EditTimingFields(s, values); });
}

// The IDs of the blocks in the table (the slots in use).
std::vector<int64_t> BlockIDs(const Sim& s) {
  std::vector<int64_t> ids;
  for (int id = 0; id <= kMaxBlockID; ++id) {
    if (s.block(id).Type != BlockType::Empty) ids.push_back(id);
  }
  return ids;
}

// Every target by ID and by name, for a notebook's completion of m["...
std::vector<std::string> TargetNames(const Sim& s) {
  std::vector<std::string> keys;
  for (const GlobalField& g : GlobalFields()) keys.emplace_back(g.name);
  for (const int64_t id : BlockIDs(s)) {
    const std::string& name = s.block(id).Name;
    for (const BlockField& f : BlockFields()) {
      keys.push_back(std::to_string(id) + "." + f.name);
      if (!name.empty()) keys.push_back(name + "." + f.name);
    }
  }
  return keys;
}

// The addressable globals with their values, in the table's order.
py::dict Globals(PyModel& self) {
  const auto values = self.Read([](const Sim& s) {
    std::vector<std::pair<std::string, FieldValue>> read;
    for (const GlobalField& g : GlobalFields()) {
      if (g.addressable) read.emplace_back(g.name, commands::ReadTarget(s, g.name));
    }
    return read;
  });
  py::dict all;
  for (const auto& [name, value] : values) all[py::str(name)] = py::cast(value);
  return all;
}

// What a type uses its connections and numbers for, from its legend: "A: plus; B: minus".
std::string UsesOf(const BlockTypeInfo* info) {
  std::string uses;
  if (!info) return uses;
  for (const char* link : info->legend.links) {
    if (link && *link) uses += (uses.empty() ? "" : "; ") + std::string(link);
  }
  return uses;
}

// Every block in the table: its ID, type and what the type is, and its fields.
py::object BlocksTable(PyModel& self) {
  std::vector<std::string> names{"ID", "Description", "Rule", "Uses", "Modes"};
  constexpr size_t kFirstField = 5;
  for (const BlockField& f : BlockFields()) {
    if (f.addressable && std::string_view(f.name) != "stored") names.emplace_back(f.name);
  }
  std::vector<py::list> columns(names.size());
  const auto rows = self.Read([&](const Sim& s) {
    std::vector<std::vector<FieldValue>> cells;
    for (const int64_t id : BlockIDs(s)) {
      const BlockTypeInfo* info = FindBlockType(s.block(id).Type);
      std::vector<FieldValue>& row = cells.emplace_back();
      row.emplace_back(id);
      row.emplace_back(std::string(info ? info->block : ""));
      row.emplace_back(std::string(info && info->legend.rule ? info->legend.rule : ""));
      row.emplace_back(UsesOf(info));
      row.emplace_back(std::string(info && info->legend.mode_hint ? info->legend.mode_hint : ""));
      for (size_t c = kFirstField; c < names.size(); ++c) {
        row.push_back(commands::ReadTarget(s, std::to_string(id) + "." + names[c]));
      }
    }
    return cells;
  });
  for (const auto& row : rows) {
    for (size_t c = 0; c < names.size(); ++c) columns[c].append(py::cast(row[c]));
  }
  return Table(names, columns);
}

// A pickle's state: the model file's text, the exact state that the text rounds (see
// exact_state.h) and the exchange function, which must be picklable itself.
py::tuple PickleState(PyModel& self) {
  std::string text, exact;
  self.Call([&](Sim& s) {
    text = ModelFileText(s, "");
    exact = ExactState(s);
  });
  py::object controller = py::none();
  if (self.controller) {
    controller = self.controller->function();
    try {
      py::module_::import("pickle").attr("dumps")(controller);
    } catch (py::error_already_set& e) {
      throw py::type_error("this Model's exchange function " + py::repr(controller).cast<std::string>() +
                           " cannot be pickled (" + e.what() +
                           "): link a function defined at the top level of a module, or on_exchange(None) first");
    }
  }
  return py::make_tuple(py::bytes(text), py::bytes(exact), controller, self.model.begun());
}

std::unique_ptr<PyModel> Unpickle(const py::tuple& state) {
  if (state.size() != 4) throw py::value_error("not the state of a trevolan.Model");
  auto m = std::make_unique<PyModel>();
  const std::string text = state[0].cast<std::string>();
  const std::string exact = state[1].cast<std::string>();
  m->Call([&](Sim& s) {
    OpenModelText(s, text, "pickle");
    RestoreExactState(s, exact);
  });
  m->model.set_begun(state[3].cast<bool>());
  if (!state[2].is_none()) LinkController(*m, state[2]);
  return m;
}

std::string Repr(PyModel& self) {
  return self.Read([](const Sim& s) {
    return "<trevolan.Model Time=" + FormatGeneral(s.Time) + " tape rows=" + std::to_string(s.TapeIndex + 1) + ">";
  });
}

void BindFiles(py::class_<PyModel>& model) {
  model.def(py::init<>(), "An empty simulator, as the program starts without a model; Model.open(path) reads one.")
      .def_static(
          "new", [] { return NewModel([](Sim& s, const std::string&) { FileNew(s); }, {}); },
          "A new model: the system blocks and their defaults, no blocks of your own.")
      .def_static(
          "open", [](const std::filesystem::path& path) { return NewModel(FileOpen, path.string()); },
          py::arg("path"), "A model read from its file: Model.open('examples/damped_oscillator.txt').")
      .def(
          "save",
          [](PyModel& self, const std::filesystem::path& path) {
            self.Call([&](Sim& s) { FileSaveAs(s, path.string()); });
          },
          py::arg("path"), "Writes the model to a model file (kept whole if anything fails).")
      .def(
          "save_tape",
          [](PyModel& self, const std::filesystem::path& path) {
            self.Call([&](Sim& s) { FileSaveTapeAs(s, path.string()); });
          },
          py::arg("path"), "Writes the tape's recorded rows as a tape file; tape() gives them as an array.")
      .def("copy", &CopyOf, "A model of its own with this one's state: blocks, clock, tape and random generator.")
      .def("__copy__", &CopyOf)
      .def("__deepcopy__", [](PyModel& self, py::handle) { return CopyOf(self); }, py::arg("memo"))
      .def(py::pickle(&PickleState, &Unpickle))
      .def("__enter__", [](py::object self) { return self; })
      .def(
          "__exit__", [](PyModel&, py::handle, py::handle, py::handle) { return false; }, py::arg("exc_type"),
          py::arg("exc_value"), py::arg("traceback"))
      .def_readonly("messages", &PyModel::messages,
                    "The program's own warnings so far, each as its message box shows it.")
      .def("__repr__", &Repr);
}

void BindItems(py::class_<PyModel>& model) {
  model
      .def("__getitem__", &GetItem, py::arg("target"),
           "The value of a target of the batch runner's print: 'ID.FIELD' ('105.pp', '105.Name', "
           "'19.stored', '19.stored[2]'), a global ('Time', 'Delt', 'HoldFlag', ...) or 'tape.R.C'. Integers "
           "come as int, doubles as float, flags as bool, texts as str, a stored list as a list of floats.")
      .def("__setitem__", &SetItem, py::arg("target"), py::arg("value"),
           "Writes a target named as m[target] reads it; 'ID.stored' takes a list, a number field also a text "
           "of a number. The value is checked by its field's rule first: one that the model would run as another "
           "value or cannot hold (NaN, Delt <= 0, ...) raises ValueError naming the target, the value and the "
           "rule, one of the wrong kind TypeError, and nothing changes. The Graphs block's stored inputs "
           "('19.stored') become the recorded channels at once.")
      .def("__contains__", &Contains, "Whether m[target] has a value: '104.cc' in m, 'position' in m.")
      .def(
          "__len__", [](PyModel& self) { return self.Read(&BlockIDs).size(); },
          "The number of blocks in the table (the slots in use).")
      .def(
          "__iter__", [](PyModel& self) { return py::iter(py::cast(self.Read(&BlockIDs))); },
          "The IDs of the blocks in the table.")
      .def("_ipython_key_completions_", [](PyModel& self) { return self.Read(&TargetNames); })
      .def("blocks", &BlocksTable,
           "Every block in the table, one row each: ID, what its type is (Description), what it computes "
           "(Rule), the fields its type uses and for what (Uses: 'A: plus; B: minus; ...', the connection An "
           "and the number aa for A, and so on; Modes: what its State means), and its fields (Type, Name, OnOff, "
           "connections An..Pn, aa..pp, Value, ...): a pandas DataFrame, or a numpy record array without pandas.")
      .def("globals", &Globals,
           "The globals with their values, the timing and display settings among them: {'Time': 0.0, 'Delt': "
           "0.1, ...}.")
      .def(
          "_repr_svg_", [](PyModel& self) { return self.Get(&DiagramSvg); },
          "The diagram as SVG, as a notebook shows a Model.");
}

void BindEdits(py::class_<PyModel>& model) {
  model
      .def("apply", &Apply, py::arg("block"), py::pos_only(),
           "Edits the fields of a block by name, all in one edit: apply(105, pp=2.5, "
           "name='buffer'). Fields: id name type x y display mode onoff an bn cn dn pn aa bb cc dd pp value "
           "comment, and the stored-data grid's cells as **{'g2.1': 0.5}; the fields not given keep their values, "
           "and id=N writes the block's fields into block N. Every value is checked by its field's rule before "
           "anything changes: one the model would run as another value (an ID outside the table, a name longer "
           "than the field holds, NaN) raises ValueError naming the field, the value and the rule, one of the "
           "wrong kind TypeError.")
      .def("timing", &Timing,
           "Edits the timing settings by name, then applies the timing rules to the "
           "model: timing(delt=0.01, finish=500). Fields: start current finish delt graph graphnext hold "
           "holdnext trigger (and highest, which is shown only and takes no value). Every value is checked "
           "before anything changes: one the model would run as another value (delt=0, delt above graph, NaN) "
           "raises ValueError naming the setting, the value and the rule, one of the wrong kind TypeError.");
}

}  // namespace

py::class_<PyModel> BindModel(py::module_& m) {
  py::class_<PyModel> model(m, "Model", "One simulator: a block table, its clock, its tape and its random generator.",
                            py::custom_type_setup(&CollectControllers));
  BindFiles(model);
  BindItems(model);
  BindEdits(model);
  return model;
}

}  // namespace trevolan::python

#include "commands/dialog_typing.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <string_view>

#include "model/numbers.h"

namespace trevolan::commands {

namespace {

template <typename Form>
using FieldMap = std::map<std::string, EditField Form::*, std::less<>>;

// The dialog's edit fields by the names of the table of fields: each entry of the form's
// layout under the dialog name of the field it shows.
template <typename Form, typename Layout, typename Fields>
FieldMap<Form> NamedEdits(const Layout& layout, const Fields& fields) {
  FieldMap<Form> map;
  for (const auto& entry : layout) {
    for (const auto& field : fields) {
      if (field.member == entry.field && field.dialog) map.emplace(field.dialog, entry.edit);
    }
  }
  return map;
}

const FieldMap<TBlockFm>& BlockFields() {
  static const FieldMap<TBlockFm> fields = NamedEdits<TBlockFm>(BlockFormLayout(), trevolan::BlockFields());
  return fields;
}

const FieldMap<TTimingFm>& TimingFields() {
  static const FieldMap<TTimingFm> fields = NamedEdits<TTimingFm>(TimingFormLayout(), GlobalFields());
  return fields;
}

const FieldMap<TNumberDatFm>& NumberFields() {
  static const FieldMap<TNumberDatFm> fields = NamedEdits<TNumberDatFm>(NumberFormLayout(), GlobalFields());
  return fields;
}

// A number as a person types it into an edit field: the shortest text that reads back
// to it, with the decimal separator of the edit fields.
std::string TypedNumber(double x) {
  char buf[32];
  std::string text(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
  const char point = LocaleDecimalSeparator();
  for (char& c : text) {
    if (c == '.') c = point;
  }
  return text;
}

std::string TypedText(const SetValue& v) {
  if (const auto* text = std::get_if<std::string>(&v)) return *text;
  if (const auto* b = std::get_if<bool>(&v)) return *b ? "1" : "0";
  if (const auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
  return TypedNumber(std::get<double>(v));
}


// What a script types into one field of a dialog.
template <typename Form>
struct Typing {
  EditField Form::*field = nullptr;  // an edit field, or
  int row = 0, col = 0;              // a cell of the block dialog's grid (row from 1)
  std::string text;
};

// gR.C: row R from 1, column C 0 or 1.
std::optional<std::pair<int, int>> GridCellName(std::string_view name) {
  if (name.size() < 4 || name[0] != 'g') return std::nullopt;
  const size_t dot = name.find('.');
  if (dot == std::string_view::npos || dot + 2 != name.size()) return std::nullopt;
  const auto row = ParseFileInteger(name.substr(1, dot - 1));
  const char col = name[dot + 1];
  if (!row || *row < 1 || (col != '0' && col != '1')) return std::nullopt;
  return std::pair{*row, col - '0'};
}

// Finds every field by its name first, so that a misspelt one stops the command before
// the dialog has done anything.
template <typename Form>
std::vector<Typing<Form>> ParseTypings(const std::string& command, const FieldTexts& texts,
                                       const FieldMap<Form>& fields, bool grid_cells) {
  std::vector<Typing<Form>> typings;
  for (const auto& [name, text] : texts) {
    Typing<Form> t;
    t.text = text;
    if (const auto it = fields.find(name); it != fields.end()) {
      t.field = it->second;
    } else if (const auto cell = grid_cells ? GridCellName(name) : std::nullopt) {
      t.row = cell->first;
      t.col = cell->second;
    } else {
      throw UsageError("unknown field of " + command + ": " + name);
    }
    typings.push_back(std::move(t));
  }
  return typings;
}

void TypeInto(TNumberDatFm& form, const std::vector<Typing<TNumberDatFm>>& typings) {
  for (const auto& t : typings) (form.*t.field).text = t.text;
}

void TypeInto(TTimingFm& form, const std::vector<Typing<TTimingFm>>& typings) {
  for (const auto& t : typings) (form.*t.field).text = t.text;
}

// A grid cell can be typed into only where the grid has that row.
void TypeInto(TBlockFm& form, const std::vector<Typing<TBlockFm>>& typings) {
  for (const auto& t : typings) {
    if (t.field) {
      (form.*t.field).text = t.text;
    } else {
      if (t.row >= form.DataGrid.RowCount()) throw RangeError();
      form.DataGrid.cells[static_cast<size_t>(t.row)][static_cast<size_t>(t.col)] = t.text;
    }
  }
}

}  // namespace

FieldTexts SplitAssignments(const std::vector<std::string>& c, size_t first) {
  FieldTexts texts;
  for (size_t i = first; i < c.size(); ++i) {
    const size_t eq = c[i].find('=');
    if (eq == std::string::npos) throw UsageError("expected FIELD=TEXT: " + c[i]);
    texts.emplace_back(c[i].substr(0, eq), c[i].substr(eq + 1));
  }
  return texts;
}

double NumberArgument(const std::string& text) {
  const auto v = ParseFileNumber(text);
  if (!v) throw ConversionError(text);
  return *v;
}

void ApplyBlockDialog(Sim& s, TBlockFm& form, const std::string& id, const FieldTexts& fields) {
  const auto typings = ParseTypings("apply", fields, BlockFields(), true);
  s.PickedBlock = ToInt32(NumberArgument(id));
  form.FormActivate(s);
  TypeInto(form, typings);
  form.ApplyBtnClick(s);
}

void ApplyTimingDialog(Sim& s, TTimingFm& form, const FieldTexts& fields) {
  const auto typings = ParseTypings("timing", fields, TimingFields(), false);
  form.FormActivate(s);
  TypeInto(form, typings);
  form.ApplyClick(s);
}

void ApplyNumberDialog(Sim& s, TNumberDatFm& form, const FieldTexts& fields) {
  const auto typings = ParseTypings("numbers", fields, NumberFields(), false);
  form.FormActivate(s);
  TypeInto(form, typings);
  form.ApplyBtnClick(s);
}

void ApplyBlockFields(Sim& s, TBlockFm& form, int64_t id, const FieldValues& fields) {
  FieldTexts texts;
  for (const auto& [name, value] : fields) texts.emplace_back(name, TypedText(value));
  ApplyBlockDialog(s, form, std::to_string(id), texts);
}

void SetTiming(Sim& s, const std::vector<std::pair<const GlobalField*, double>>& values) {
  for (const auto& [field, value] : values) {
    if (!field || field->rule != GlobalRule::kTiming) {
      throw UsageError("not a timing global: " + std::string(field ? field->name : "(none)"));
    }
    if (!std::isfinite(value)) throw ConversionError(FormatEdit(value));  // as the dialog shows it
    if (std::holds_alternative<int32_t Sim::*>(field->member)) ToInt32(value);  // RangeError before any change
  }
  for (const auto& change : values) {
    const double value = change.second;
    std::visit(
        [&s, value](auto member) {
          using T = std::remove_reference_t<decltype(s.*member)>;
          if constexpr (std::is_same_v<T, double>) {
            s.*member = value;
          } else if constexpr (std::is_same_v<T, int32_t>) {
            s.*member = ToInt32(value);
          }
        },
        change.first->member);
  }
  ApplyTimingRules(s);
}

namespace {

// Writes v into the time step that g names, if it names one.
void SetTimeStep(TimeSteps& t, const GlobalField& g, double v) {
  if (g.member == GlobalMember{&Sim::Delt}) t.Delt = v;
  if (g.member == GlobalMember{&Sim::GrDel}) t.GrDel = v;
  if (g.member == GlobalMember{&Sim::Holdstep}) t.Holdstep = v;
}

// Why the model's own checks would run the timing global g as another value than v,
// or "" when it keeps v: the time steps' rules (CheckedTimeSteps) and whole block IDs.
std::string StepCorrection(const TimeSteps& now, const GlobalField& g, double v) {
  const auto would = [&](double w, const std::string& rule) {
    return std::string(g.name) + " " + FormatGeneral(v) + " would run as " + FormatGeneral(w) + ": " + rule;
  };
  if (std::holds_alternative<int32_t Sim::*>(g.member)) {
    const double whole = std::nearbyint(v);
    return whole == v ? "" : would(whole, "it is a block ID, a whole number");
  }
  TimeSteps t = now;
  SetTimeStep(t, g, v);
  const TimeSteps checked = CheckedTimeSteps(t);
  struct Step {
    const char* name;
    double TimeSteps::*member;
    std::string rule;
  };
  const Step steps[] = {
      {"GrDel", &TimeSteps::GrDel,
       "the graph step may not exceed the hold step Holdstep (" + FormatGeneral(t.Holdstep) + ")"},
      {"Delt", &TimeSteps::Delt,
       !(t.Delt > 0) ? "the time step must be above 0"
                     : "the time step may not exceed the graph step GrDel (" + FormatGeneral(checked.GrDel) + ")"}};
  // The value given first, then a step that the value would change beside it
  // (GrDel 1 would lower a Delt of 2).
  for (const bool own : {true, false}) {
    for (const Step& step : steps) {
      if ((step.name == std::string(g.name)) != own || checked.*step.member == t.*step.member) continue;
      if (own) return would(checked.*step.member, step.rule);
      return std::string(g.name) + " " + FormatGeneral(v) + " would run " + step.name + " " +
             FormatGeneral(t.*step.member) + " as " + FormatGeneral(checked.*step.member) + ": " + step.rule;
    }
  }
  return "";
}

}  // namespace

std::optional<TimingRuleChange> TimingRuleChangeOf(const Sim& s,
                                                   const std::vector<std::pair<const GlobalField*, double>>& values) {
  TimeSteps t{s.Delt, s.GrDel, s.Holdstep};
  for (size_t i = 0; i < values.size(); ++i) {
    const auto& [g, v] = values[i];
    if (!std::isfinite(v)) return TimingRuleChange{i, std::string(g->name) + " must be a finite number"};
    const std::string why = StepCorrection(t, *g, v);
    if (!why.empty()) return TimingRuleChange{i, why};
    SetTimeStep(t, *g, v);
  }
  return std::nullopt;
}

void SetTimingFields(Sim& s, const std::vector<std::pair<std::string, double>>& fields) {
  std::vector<std::pair<const GlobalField*, double>> values;
  for (const auto& [name, value] : fields) {
    if (TimingFields().find(name) == TimingFields().end()) throw UsageError("unknown field of timing: " + name);
    // The field that is shown only (highest) takes nothing, as in the dialog.
    const GlobalField* g = FindGlobalDialogField(name);
    if (g->rule == GlobalRule::kTiming) values.emplace_back(g, value);
  }
  SetTiming(s, values);
}

}  // namespace trevolan::commands

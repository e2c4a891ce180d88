#include "commands/dialog_typing.h"

#include <map>
#include <optional>
#include <string_view>

#include "model/numbers.h"

namespace trevolan::commands {

namespace {

template <typename Form>
using FieldMap = std::map<std::string, EditField Form::*, std::less<>>;

const FieldMap<TBlockFm>& BlockFields() {
  static const FieldMap<TBlockFm> fields = {
      {"id", &TBlockFm::Edit1},       {"name", &TBlockFm::Edit2},   {"type", &TBlockFm::Edit3},
      {"x", &TBlockFm::Edit4},        {"y", &TBlockFm::Edit5},      {"display", &TBlockFm::Edit6},
      {"mode", &TBlockFm::Edit18},    {"onoff", &TBlockFm::Edit19}, {"an", &TBlockFm::Edit7},
      {"bn", &TBlockFm::Edit8},       {"cn", &TBlockFm::Edit9},     {"dn", &TBlockFm::Edit10},
      {"pn", &TBlockFm::Edit20},      {"aa", &TBlockFm::Edit14},    {"bb", &TBlockFm::Edit15},
      {"cc", &TBlockFm::Edit16},      {"dd", &TBlockFm::Edit17},    {"pp", &TBlockFm::Edit11},
      {"value", &TBlockFm::Edit12},   {"comment", &TBlockFm::Edit13}};
  return fields;
}

const FieldMap<TTimingFm>& TimingFields() {
  static const FieldMap<TTimingFm> fields = {
      {"start", &TTimingFm::Edit1}, {"current", &TTimingFm::Edit8},   {"finish", &TTimingFm::Edit2},
      {"delt", &TTimingFm::Edit4},  {"graph", &TTimingFm::Edit5},     {"graphnext", &TTimingFm::Edit9},
      {"hold", &TTimingFm::Edit6},  {"holdnext", &TTimingFm::Edit7},  {"trigger", &TTimingFm::Edit3},
      {"highest", &TTimingFm::Edit10}};
  return fields;
}

const FieldMap<TNumberDatFm>& NumberFields() {
  static const FieldMap<TNumberDatFm> fields = {{"min", &TNumberDatFm::Edit1},
                                                {"max", &TNumberDatFm::Edit2},
                                                {"origin", &TNumberDatFm::Edit3},
                                                {"factor", &TNumberDatFm::Edit4}};
  return fields;
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

}  // namespace trevolan::commands

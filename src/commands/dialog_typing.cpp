#include "commands/dialog_typing.h"

#include <cmath>
#include <map>
#include <optional>
#include <string_view>

#include "commands/targets.h"
#include "model/numbers.h"

namespace trevolan::commands {

namespace {

template <typename Form>
using FieldMap = std::map<std::string, EditField Form::*, std::less<>>;

// The dialog's edit fields by the names of the table of fields: each entry of the form's
// layout under the dialog name of the field it shows.
template <typename Form, typename Layout>
FieldMap<Form> NamedEdits(const Layout& layout) {
  FieldMap<Form> map;
  for (const auto& entry : layout) map.emplace(entry.field->dialog, entry.edit);
  return map;
}

const FieldMap<TBlockFm>& BlockEdits() {
  static const FieldMap<TBlockFm> fields = NamedEdits<TBlockFm>(BlockFormLayout());
  return fields;
}

const FieldMap<TTimingFm>& TimingEdits() {
  static const FieldMap<TTimingFm> fields = NamedEdits<TTimingFm>(TimingFormLayout());
  return fields;
}

const FieldMap<TNumberDatFm>& NumberEdits() {
  static const FieldMap<TNumberDatFm> fields = NamedEdits<TNumberDatFm>(NumberFormLayout());
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

template <typename Form>
void TypeInto(Form& form, const std::vector<Typing<Form>>& typings) {
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

// A grid cell given a value: row from 1, column 0 or 1.
struct GridValue {
  int row, col;
  double value;
};

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
  const auto typings = ParseTypings("apply", fields, BlockEdits(), true);
  s.PickedBlock = ToInt32(NumberArgument(id));
  form.FormActivate(s);
  TypeInto(form, typings);
  form.ApplyBtnClick(s);
}

void ApplyTimingDialog(Sim& s, TTimingFm& form, const FieldTexts& fields) {
  const auto typings = ParseTypings("timing", fields, TimingEdits(), false);
  form.FormActivate(s);
  TypeInto(form, typings);
  form.ApplyClick(s);
}

void ApplyNumberDialog(Sim& s, TNumberDatFm& form, const FieldTexts& fields) {
  const auto typings = ParseTypings("numbers", fields, NumberEdits(), false);
  form.FormActivate(s);
  TypeInto(form, typings);
  form.ApplyBtnClick(s);
}

void EditBlockFields(Sim& s, int64_t id, const NamedValues& fields, Repairs how) {
  const TBlock& opened = s.block(id);
  int64_t target = id;
  std::map<const BlockField*, FieldValue> given;
  std::vector<GridValue> cells;
  for (const auto& [name, value] : fields) {
    const BlockField* f = FindBlockDialogField(name);
    if (f && f->member == BlockMember{&TBlock::ID}) {
      target = std::get<int64_t>(OfFieldKind({.field = f}, value));
    } else if (f) {
      given[f] = ParsedForTarget({.field = f, .id = id}, value);
    } else if (const auto cell = GridCellName(name)) {
      const Target t{.field = FindBlockField("stored"), .id = id, .element = cell->first};
      const double v = std::get<double>(OfFieldKind(t, ParsedForTarget(t, value)));
      if (cell->first > GridRowsOf(opened)) {
        throw RuleError(name, FormatGeneral(v), "block " + std::to_string(id) + "'s grid has rows 1.." +
                                                    std::to_string(GridRowsOf(opened)));
      }
      if (!std::isfinite(v)) throw RuleError(name, FormatGeneral(v), "it must be a finite number");
      cells.push_back({cell->first, cell->second, v});
    } else {
      throw UsageError("unknown field of apply: " + name);
    }
  }
  // In the dialog's order. Moved to another block, the edit takes every field of the
  // block it opened on, as the dialog's Apply does; else only those given change.
  std::vector<FieldAssignment> assignments;
  for (const BlockEdit& e : BlockFormLayout()) {
    if (!e.field->addressable) continue;
    if (const auto it = given.find(e.field); it != given.end()) {
      assignments.push_back({e.field, it->second});
    } else if (target != id) {
      assignments.push_back({e.field, ReadField(s, {.field = e.field, .id = id})});
    }
  }
  // The cells not given read as the dialog shows them for the block it opened on: a
  // number as it is, a text as the dialog reads what it shows (a name is no number).
  std::vector<std::vector<GridCell>> shown(static_cast<size_t>(GridRowsOf(opened)) + 1);
  for (int r = 1; r <= GridRowsOf(opened); ++r) {
    for (int c = 0; c <= 1; ++c) shown[static_cast<size_t>(r)].push_back(GridCellOf(s, opened, c, r));
  }
  EditBlock(
      s, target, assignments,
      [&cells, &shown](int col, int row) {
        for (const GridValue& c : cells) {
          if (c.row == row && c.col == col) return c.value;
        }
        if (row < 1 || row >= static_cast<int>(shown.size())) return 0.0;
        const GridCell& cell = shown[static_cast<size_t>(row)][static_cast<size_t>(col)];
        if (const auto* number = std::get_if<double>(&cell)) return *number;
        return EditToFloat(std::get<std::string>(cell));
      },
      how);
}

void EditTimingFields(Sim& s, const NamedValues& fields, Repairs how) {
  GlobalValues values;
  for (const auto& [name, value] : fields) {
    const GlobalField* g = TimingEdits().count(name) ? FindGlobalDialogField(name) : nullptr;
    if (!g) throw UsageError("unknown field of timing: " + name);
    // The field that is shown only (highest) takes nothing, as in the dialog.
    if (g->effect == FieldEffect::kTiming) values.emplace_back(g, ParsedForTarget({.global = g}, value));
  }
  EditTiming(s, values, how);
}

}  // namespace trevolan::commands

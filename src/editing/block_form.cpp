#include "editing/block_form.h"

#include "model/catalogue.h"

#include <algorithm>
#include <cmath>

#include "blocks/compute.h"
#include "blocks/transfer.h"
#include "editing/block_edit.h"
#include "editing/new_block.h"
#include "model/numbers.h"
#include "model/text.h"

namespace trevolan {

namespace {

// The legend of a type, from its entry in the catalogue; null outside it.
const BlockLegend* FindLegend(BlockType type) {
  const BlockTypeInfo* info = FindBlockType(type);
  return info ? &info->legend : nullptr;
}


}  // namespace

const std::string& StringGrid::Cell(int col, int row) const {
  static const std::string empty;
  if (col < 0 || col > 1 || row < 0 || row >= RowCount()) return empty;
  return cells[static_cast<size_t>(row)][static_cast<size_t>(col)];
}

void StringGrid::Reset(int rows) {
  cells.assign(static_cast<size_t>(std::max(rows, 0)), {});
}

TBlockFm::TBlockFm()
    : Caption("Block Data"),
      Edit1{"", true, "max 1000"},
      Edit2{"", true, "10 characters (max)"},
      Edit3{"", true, "Danger if changed"},
      Edit4{"", true, "Pixels to 1300"},
      Edit5{"", true, "Pixels to 900"},
      Edit6{"", true, "0:min,1:Type,2:Type+ID,3:Name"},
      Edit13{"", true, "Put what you like in here."},
      Label1{"ID #"},
      Label2{"Name"},
      Label3{"Type"},
      Label4{"X"},
      Label5{"Y"},
      Label6{"Equation / Rule"},
      Label7{"Connection A"},
      Label8{"Connection B"},
      Label9{"Connection C"},
      Label10{"Connection D"},
      Label11{"Parameter P"},
      Label12{"Output Value"},
      Label13{"Comment"},
      Label14{"Connections"},
      Label15{"aa, bb, cc, dd. pp"},
      Label16{"Display"},
      Label17{"Mode"},
      Label18{"On/Off"},
      Label19{"StoredData"},
      DeleteBtn{"Delete THIS Block", "It will vanish, so be careful!"},
      ApplyBtn{"Apply  any Changes", "Affect Process with above ID#"},
      CancelBtn{"Cancel", "Leave, doing no changes"} {
  DataGrid.visible = true;
  DataGrid.Reset(20);
}

namespace {

// A field's value as its edit shows it: integers in decimal, numbers in the general
// float format with the locale's separator, texts as they are.
std::string EditText(const FieldValue& v) {
  if (const auto* d = std::get_if<double>(&v)) return FormatEdit(*d);
  return FormatFieldValue(v);
}

// The texts every opening starts from, whatever the type: each edit of the layout shows
// its field; then the hints, captions and visibility that every opening resets.
void FillCommonFields(TBlockFm& f, const Sim& s, int64_t id) {
  for (const BlockEdit& e : BlockFormLayout()) (f.*e.edit).text = EditText(ReadField(s, {.field = e.field, .id = id}));
  f.Edit1.hint = "Change only with great care";
  f.Edit2.hint = "10 chars, NO spaces";
  f.Edit3.hint = "Change only with great care";
  f.Edit4.hint = "Pixels right from top left";
  f.Edit5.hint = "Pixels down from top edge";
  f.Edit6.hint = "0:minimal,1:Type,2:Type+Id#,3:Name";
  for (EditField* e : {&f.Edit1, &f.Edit2, &f.Edit3, &f.Edit4, &f.Edit5, &f.Edit6}) e->visible = true;
  f.Edit7.visible = f.Edit8.visible = f.Edit9.visible = true;
  f.Label7.hint.clear();
  f.Label8.hint.clear();
  f.Label9.hint.clear();
  f.Edit10.hint.clear();
  f.Label10.hint.clear();
  f.Edit11.visible = true;
  f.Label11.hint.clear();
  f.Label13.caption = "Comment";
  f.Edit15.hint.clear();
  f.Edit17.visible = true;
  f.Label12.caption = "OutputValue";
  f.Label16.hint = "Defines appearance on screen";
  f.Label17.caption = "Mode";
  f.Edit18.visible = true;
  f.Edit18.hint = "May have different Modes";
  f.Edit20.visible = true;
  f.Label19.caption = "Stored Data";
  f.DataGrid.visible = false;
  f.Label19.visible = false;
  f.Width = 475;
}

// The texts of the type's legend: title, rule, connection captions, and the changes
// that only some types make. A type without a legend changes nothing here.
void FillLegend(TBlockFm& f, BlockType type) {
  const BlockLegend* legend = FindLegend(type);
  if (!legend) return;
  f.Caption = legend->title;
  f.Label6.caption = legend->rule;
  LabelField* links[] = {&f.Label7, &f.Label8, &f.Label9, &f.Label10, &f.Label11};
  for (size_t i = 0; i < 5; ++i) links[i]->caption = legend->links[i];
  if (legend->mode_hint) f.Edit18.hint = legend->mode_hint;
  f.Edit3.hint = std::string(1, TypeLetter(type));

  const char* random_times = "Neg Values give random times";
  switch (type) {
    case BlockType::Activity:
      f.Label11.hint = random_times;
      f.Label12.caption = "Release Time";
      f.Label17.caption = "State";
      break;
    case BlockType::Belt:
      f.Edit9.visible = false;
      f.Edit17.visible = false;
      f.Label11.hint = random_times;
      f.Label12.caption = "Release Time";
      f.Label17.caption = "State";
      break;
    case BlockType::Container:
      f.Edit7.visible = false;
      f.Edit8.visible = false;
      f.Edit20.visible = false;
      f.Edit11.visible = false;
      f.Label12.caption = "Contents/Value";
      f.Label17.caption = "State";
      break;
    case BlockType::Diverter:
      f.Label8.hint = "Neg value gives split of stored Value";
      f.Label9.hint = "or (1-Frac) of split load";
      f.Label10.hint = "or Frac of split load";
      f.Label11.hint = random_times;
      f.Label12.caption = "ReleaseTime";
      f.Label17.caption = "State";
      break;
    case BlockType::Divide: f.Label11.hint = "After modulo, if used"; break;
    case BlockType::Exponents:
      f.Edit15.hint = "used as power exponent";
      f.Edit11.visible = false;
      break;
    case BlockType::Generator: f.Edit10.hint = "Must ApplyChanges & re-select to change Number"; break;
    case BlockType::Inductor: f.Label12.caption = "Current I(amps)"; break;
    case BlockType::Oscilloscope:
      f.Label12.caption = "Vert Intv";
      f.Edit6.hint = "0:minimal,1:Type,2:Type+Id#,3:Name,4:No Links";
      f.Label16.hint = "Scope and User: Hide links with Displ=4";
      f.Edit3.hint = "DO NOT CHANGE";
      break;
    case BlockType::Relay: f.Edit3.hint = "Relay action: B,C,D follow A, but P is reverse effect"; break;
    case BlockType::Timer: f.Label8.hint = random_times; break;
    case BlockType::User:
      f.Label12.caption = "Next Time";
      f.Label16.hint = "greater than 3 hides links";
      break;
    case BlockType::Visualizer: f.Label12.caption = "Scaled % FSD"; break;
    case BlockType::Access: f.Edit6.hint = "Supress output links with 4"; break;
    default: break;
  }
}

void SetHeader(StringGrid& g, int rows, const char* left, const char* right) {
  g.Reset(std::max(rows, 1));  // the header row is always there
  g.cells[0] = {left, right};
}

// The stored-data grid of the types that keep a list, each cell as GridCellOf has it;
// the window's width with it, or 0 for the other types.
int FillGrid(TBlockFm& f, const Sim& s, const TBlock& b) {
  struct Layout {
    const char* caption;
    const char* left;
    const char* right;
    int width;
  };
  Layout layout{};
  switch (b.Type) {
    case BlockType::Activity: layout = {"TransferValues", "Link", "Contents", 675}; break;
    case BlockType::Belt: layout = {"Stored Data", "Position", "Contents", 700}; break;
    case BlockType::Diverter: layout = {"TransferValue", "Link", "Contents", 675}; break;
    case BlockType::Generator: layout = {"Stored Data", "Arguments", "Values", 700}; break;
    case BlockType::Memory: layout = {"Stored Data", "Basis", "Values", 700}; break;
    case BlockType::Oscilloscope:
    case BlockType::User: layout = {"Stored Data", "Input ID", "Name", 700}; break;
    default: return 0;
  }
  f.Label19.caption = layout.caption;
  StringGrid& g = f.DataGrid;
  SetHeader(g, GridRowsOf(b) + 1, layout.left, layout.right);
  for (int r = 1; r < g.RowCount(); ++r) {
    for (int c = 0; c <= 1; ++c) {
      const GridCell cell = GridCellOf(s, b, c, r);
      const auto* number = std::get_if<double>(&cell);
      g.cells[static_cast<size_t>(r)][static_cast<size_t>(c)] = number ? FormatEdit(*number) : std::get<std::string>(cell);
    }
  }
  return layout.width;
}

}  // namespace

void TBlockFm::FormActivate(const Sim& s) {
  const TBlock& b = s.block(s.PickedBlock);
  closed = false;
  Left = int64_t{s.LastX} + 10;
  Top = int64_t{s.LastY} + 60;
  FillCommonFields(*this, s, s.PickedBlock);
  FillLegend(*this, b.Type);
  if (const int width = FillGrid(*this, s, b)) {
    DataGrid.visible = true;
    Label19.visible = true;
    Width = width;
  }
  Filled.edits.clear();
  for (const BlockEdit& e : BlockFormLayout()) Filled.edits.push_back((this->*e.edit).text);
  Filled.grid = DataGrid;
}

namespace {

// A NAN or INF that the opening showed (a model file may hold them) and that the user
// left as it was stays what it was, so that a block with such a value can still be
// edited in its other fields; any other text is read as EditToFloat reads it.
double FormNumber(const std::string& text, const std::string& filled) {
  if (text == filled) {
    if (const auto v = ParseFileNumber(text); v && !std::isfinite(*v)) return *v;
  }
  return EditToFloat(text);
}

double GridNumber(const TBlockFm& f, int col, int row) {
  return FormNumber(f.DataGrid.Cell(col, row), f.Filled.grid.Cell(col, row));
}

// The text that was filled into a number edit, for FormNumber.
const std::string& FilledText(const TBlockFm& f, EditField TBlockFm::*edit) {
  static const std::string none;
  const auto layout = BlockFormLayout();
  for (size_t i = 0; i < layout.size() && i < f.Filled.edits.size(); ++i) {
    if (layout[i].edit == edit) return f.Filled.edits[i];
  }
  return none;
}

// An edit's text as the value of its field's kind, read as the dialog reads it.
FieldValue EditValue(const TBlockFm& f, const BlockEdit& e) {
  const std::string& text = (f.*e.edit).text;
  struct Parse {
    const TBlockFm& f;
    const BlockEdit& e;
    const std::string& text;
    FieldValue operator()(int32_t TBlock::*) const { return int64_t{EditToInt(text)}; }
    FieldValue operator()(double TBlock::*) const { return FormNumber(text, FilledText(f, e.edit)); }
    FieldValue operator()(BlockType TBlock::*) const {
      if (text.empty()) ThrowRangeError();  // the dialog takes the first character typed
      return text;
    }
    FieldValue operator()(std::string TBlock::*) const { return text; }
    FieldValue operator()(std::vector<double> TBlock::*) const { return std::vector<double>{}; }
  };
  return std::visit(Parse{f, e, text}, e.field->member);
}

}  // namespace

void TBlockFm::ApplyBtnClick(Sim& s) {
  // The dialog's contents go into block id, which need not be the block it opened on.
  const int32_t id = EditToInt(Edit1.text);
  if (!CanEditBlock(s, id, Repairs::kRepair)) return;
  std::vector<FieldAssignment> fields;
  try {
    for (const BlockEdit& e : BlockFormLayout()) {
      if (e.field->addressable) fields.push_back({e.field, EditValue(*this, e)});
    }
  } catch (const SimError&) {
    // A field that does not convert stops Apply there, with the fields before it written.
    WriteBlockFields(s, id, fields, Repairs::kRepair);
    throw;
  }
  EditBlock(s, id, fields, [this](int col, int row) { return GridNumber(*this, col, row); }, Repairs::kRepair);
  closed = true;
  s.NotifyFormPaint();
}

void TBlockFm::DeleteBtnClick(Sim& s) {
  if (!DeleteBlock(s, EditToInt(Edit1.text))) return;
  closed = true;
  s.NotifyFormPaint();
}

void TBlockFm::CancelBtnClick(Sim& s) {
  closed = true;
  s.NotifyRedrawDiagram();
  s.NotifyDrawTimePlot();
  s.NotifyGrPlotPnlPrep();
}

bool ShowsConnectionEdit(BlockType type, int index) {
  TBlockFm f;
  EditField* edits[] = {&f.Edit7, &f.Edit8, &f.Edit9, &f.Edit10, &f.Edit20};
  for (EditField* e : edits) e->visible = true;
  FillLegend(f, type);
  return index >= 0 && index < 5 && edits[index]->visible;
}

std::span<const BlockEdit> BlockFormLayout() {
  using F = TBlockFm;
  // In the order Apply takes them; the connections and their coefficients stand in two
  // columns.
  static const BlockEdit kLayout[] = {
      {FindBlockField("ID"), &F::Edit1, "Edit1", 56, 16, 89},
      {FindBlockField("Name"), &F::Edit2, "Edit2", 56, 48, 89},
      {FindBlockField("Type"), &F::Edit3, "Edit3", 184, 16, 41},
      {FindBlockField("XX"), &F::Edit4, "Edit4", 56, 80, 57},
      {FindBlockField("YY"), &F::Edit5, "Edit5", 56, 112, 57},
      {FindBlockField("An"), &F::Edit7, "Edit7", 256, 48, 57},
      {FindBlockField("Bn"), &F::Edit8, "Edit8", 256, 80, 57},
      {FindBlockField("Cn"), &F::Edit9, "Edit9", 256, 112, 57},
      {FindBlockField("Dn"), &F::Edit10, "Edit10", 256, 144, 57},
      {FindBlockField("Pn"), &F::Edit20, "Edit20", 256, 176, 57},
      {FindBlockField("Displ"), &F::Edit6, "Edit6", 56, 144, 41},
      {FindBlockField("State"), &F::Edit18, "Edit18", 56, 176, 41},
      {FindBlockField("OnOff"), &F::Edit19, "Edit19", 104, 176, 41},
      {FindBlockField("aa"), &F::Edit14, "Edit14", 320, 48, 121},
      {FindBlockField("bb"), &F::Edit15, "Edit15", 320, 80, 121},
      {FindBlockField("cc"), &F::Edit16, "Edit16", 320, 112, 121},
      {FindBlockField("dd"), &F::Edit17, "Edit17", 320, 144, 121},
      {FindBlockField("pp"), &F::Edit11, "Edit11", 320, 176, 121},
      {FindBlockField("Value"), &F::Edit12, "Edit12", 320, 208, 121},
      {FindBlockField("Comment"), &F::Edit13, "Edit13", 24, 248, 393}};
  return kLayout;
}

}  // namespace trevolan

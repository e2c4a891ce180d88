#include "editing/block_form.h"

#include "model/catalogue.h"

#include <algorithm>
#include <cmath>

#include "blocks/compute.h"
#include "blocks/transfer.h"
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

std::string IntText(int64_t v) { return std::to_string(v); }

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

// The texts every opening starts from, whatever the type.
void FillCommonFields(TBlockFm& f, const TBlock& b) {
  f.Edit1 = {IntText(b.ID), true, "Change only with great care"};
  f.Edit2 = {b.Name, true, "10 chars, NO spaces"};
  f.Edit3 = {std::string(1, TypeLetter(b.Type)), true, "Change only with great care"};
  f.Edit4 = {IntText(b.XX), true, "Pixels right from top left"};
  f.Edit5 = {IntText(b.YY), true, "Pixels down from top edge"};
  f.Edit6 = {IntText(b.Displ), true, "0:minimal,1:Type,2:Type+Id#,3:Name"};
  f.Edit7.text = IntText(b.An);
  f.Edit8.text = IntText(b.Bn);
  f.Edit9.text = IntText(b.Cn);
  f.Edit7.visible = f.Edit8.visible = f.Edit9.visible = true;
  f.Label7.hint.clear();
  f.Label8.hint.clear();
  f.Label9.hint.clear();
  f.Edit10.text = IntText(b.Dn);
  f.Edit10.hint.clear();
  f.Label10.hint.clear();
  f.Edit11.text = FormatEdit(b.pp);
  f.Edit11.visible = true;
  f.Label11.hint.clear();
  f.Edit12.text = FormatEdit(b.Value);
  f.Edit13.text = b.Comment;
  f.Label13.caption = "Comment";
  f.Edit14.text = FormatEdit(b.aa);
  f.Edit15.text = FormatEdit(b.bb);
  f.Edit16.text = FormatEdit(b.cc);
  f.Edit17.text = FormatEdit(b.dd);
  f.Edit15.hint.clear();
  f.Edit17.visible = true;
  f.Label12.caption = "OutputValue";
  f.Label16.hint = "Defines appearance on screen";
  f.Label17.caption = "Mode";
  f.Edit18 = {IntText(b.State), true, "May have different Modes"};
  f.Edit19.text = IntText(b.OnOff);
  f.Edit20.text = IntText(b.Pn);
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

// Stored values 1..h in column 1.
void FillValueColumn(StringGrid& g, const TBlock& b) {
  for (int r = 1; r < g.RowCount(); ++r) g.cells[static_cast<size_t>(r)][1] = FormatEdit(StoredAt(b, r));
}

// A table of n points: arguments stored[n + r] in column 0, values stored[r] in column 1.
void FillTable(StringGrid& g, const TBlock& b, int n) {
  for (int r = 1; r <= n; ++r) {
    g.cells[static_cast<size_t>(r)][0] = FormatEdit(StoredAt(b, int64_t{n} + r));
    g.cells[static_cast<size_t>(r)][1] = FormatEdit(StoredAt(b, r));
  }
}

// The stored-data grid of the types that keep a list; the window's width with it, or 0
// for the other types.
int FillGrid(TBlockFm& f, const Sim& s, const TBlock& b) {
  StringGrid& g = f.DataGrid;
  const int h = static_cast<int>(StoredHigh(b));
  const int n = h / 2;
  switch (b.Type) {
    case BlockType::Activity:
      f.Label19.caption = "TransferValues";
      SetHeader(g, h + 1, "Link", "Contents");
      if (g.RowCount() > 1) g.cells[1][0] = "A to C";
      if (g.RowCount() > 2) g.cells[2][0] = "B to D";
      FillValueColumn(g, b);
      return 675;
    case BlockType::Belt:
      f.Label19.caption = "Stored Data";
      SetHeader(g, h + 1, "Position", "Contents");
      for (int r = 1; r < g.RowCount(); ++r) g.cells[static_cast<size_t>(r)][0] = IntText(r);
      FillValueColumn(g, b);
      return 700;
    case BlockType::Diverter:
      f.Label19.caption = "TransferValue";
      SetHeader(g, h + 1, "Link", "Contents");
      if (g.RowCount() > 1) g.cells[1][0] = "A ->C or ->D";
      FillValueColumn(g, b);
      return 675;
    case BlockType::Generator:
      f.Label19.caption = "Stored Data";
      SetHeader(g, n + 1, "Arguments", "Values");
      FillTable(g, b, n);
      return 700;
    case BlockType::Memory:
      f.Label19.caption = "Stored Data";
      SetHeader(g, n + 1, "Basis", "Values");
      FillTable(g, b, n);
      return 700;
    case BlockType::Oscilloscope:
    case BlockType::User:
      f.Label19.caption = "Stored Data";
      SetHeader(g, h + 1, "Input ID", "Name");
      for (int r = 1; r < g.RowCount(); ++r) {
        const int32_t k = ToInt32(StoredAt(b, r));
        g.cells[static_cast<size_t>(r)] = {IntText(k), s.block(k).Name};
      }
      return 700;
    default: return 0;
  }
}

}  // namespace

void TBlockFm::FormActivate(const Sim& s) {
  const TBlock& b = s.block(s.PickedBlock);
  closed = false;
  Left = int64_t{s.LastX} + 10;
  Top = int64_t{s.LastY} + 60;
  FillCommonFields(*this, b);
  FillLegend(*this, b.Type);
  if (const int width = FillGrid(*this, s, b)) {
    DataGrid.visible = true;
    Label19.visible = true;
    Width = width;
  }
  Filled = {Edit14.text, Edit15.text, Edit16.text, Edit17.text, Edit11.text, Edit12.text, DataGrid};
}

namespace {

// The five connections. A Sum uses the sign of its IDs and a Visualizer reads B, C and
// D as pixel sizes, so theirs are taken as typed; the others are clamped into the table.
void WriteConnections(Sim& s, TBlockFm& f, TBlock& b) {
  const bool as_typed = b.Type == BlockType::Visualizer || b.Type == BlockType::Sum;
  const auto link = [&](const EditField& field) {
    const int32_t typed = EditToInt(field.text);
    return as_typed ? typed : CheckBlockID(s, typed);
  };
  b.An = link(f.Edit7);
  b.Bn = link(f.Edit8);
  b.Cn = link(f.Edit9);
  b.Dn = link(f.Edit10);
  b.Pn = link(f.Edit20);
}

// A number field's text as EditToFloat reads it; but a NAN or INF that the opening
// showed (a model file may hold them) and that the user left as it was stays what it
// was, so that a block with such a value can still be edited in its other fields.
double FormNumber(const std::string& text, const std::string& filled) {
  if (text == filled) {
    if (const auto v = ParseFileNumber(text); v && !std::isfinite(*v)) return *v;
  }
  return EditToFloat(text);
}

double GridNumber(const TBlockFm& f, int col, int row) {
  return FormNumber(f.DataGrid.Cell(col, row), f.Filled.grid.Cell(col, row));
}

// A table of Dn points from the grid, or, when the number of points changed, the list
// resized for the next opening.
void StoreTable(Sim& s, const TBlockFm& f, TBlock& b) {
  const int64_t n = StoredHigh(b) / 2;
  if (n != b.Dn) {
    ShowNumberMessage(s, "Must reclick to show points up to ", b.Dn);
    ResizeStored(b, 2 * int64_t{b.Dn} + 1);
    return;
  }
  for (int r = 1; r <= b.Dn; ++r) {
    StoredAt(b, int64_t{b.Dn} + r) = GridNumber(f, 0, r);
    StoredAt(b, r) = GridNumber(f, 1, r);
  }
}

void StoreBelt(Sim& s, const TBlockFm& f, TBlock& b, int32_t id) {
  if (StoredHigh(b) != b.Dn) {
    ShowNumberMessage(s, "Must reclick to show segments up to ", b.Dn);
    ResizeStored(b, int64_t{b.Dn} + 1);
  } else {
    for (int r = 1; r <= b.Dn; ++r) StoredAt(b, r) = GridNumber(f, 1, r);
  }
  b.cc = StoredAbsSum(s, id);
  b.State = b.cc <= 1e-19 ? 1 : 2;
}

}  // namespace

void TakeScopeChannels(Sim& s) {
  TBlock& graphs = s.block(kGraphsBlock);
  if (static_cast<int64_t>(graphs.stored.size()) < kMaxTapeChannels + 1) ResizeStored(graphs, kMaxTapeChannels + 1);
  for (int c = 1; c <= kMaxTapeChannels; ++c) {
    s.TapeChannelIDs[static_cast<size_t>(c)] = ToInt32(StoredAt(graphs, c));
  }
  for (int c = kMaxTapeChannels; c >= 1; --c) {
    if (s.TapeChannelIDs[static_cast<size_t>(c)] > 0) {
      s.TapeChannels = c;
      break;
    }
  }
  StoredAt(graphs, 0) = s.TapeChannels;
}

namespace {

// The oscilloscope's inputs; the tape then records the Graphs block's channels.
void StoreScope(Sim& s, const TBlockFm& f, TBlock& b) {
  for (int r = 1; r <= kMaxTapeChannels; ++r) StoredAt(b, r) = GridNumber(f, 0, r);
  TakeScopeChannels(s);
}

// The grid back into the stored list, by the block's new type.
void StoreGrid(Sim& s, const TBlockFm& f, TBlock& b, int32_t id) {
  switch (b.Type) {
    case BlockType::Activity:
      StoredAt(b, 1) = GridNumber(f, 1, 1);
      StoredAt(b, 2) = GridNumber(f, 1, 2);
      break;
    case BlockType::Belt: StoreBelt(s, f, b, id); break;
    case BlockType::Container:
      UpdateContainerState(s, id);
      s.NotifyDrawBlock(id);
      break;
    case BlockType::Diverter: StoredAt(b, 1) = GridNumber(f, 1, 1); break;
    case BlockType::Generator:
      // Only a Generator that uses its own list has its table in the grid.
      if (b.Pn != id) {
        ShowNumberMessage(s, "Cannot change Function No. ", b.Pn);
      } else {
        StoreTable(s, f, b);
      }
      break;
    case BlockType::Memory: StoreTable(s, f, b); break;
    case BlockType::Oscilloscope: StoreScope(s, f, b); break;
    case BlockType::User:
      for (int r = 1; r <= kMaxTapeChannels; ++r) StoredAt(b, r) = GridNumber(f, 0, r);
      break;
    default: break;
  }
}

}  // namespace

void TBlockFm::ApplyBtnClick(Sim& s) {
  const int32_t id = EditToInt(Edit1.text);
  if (id <= 1) {
    ShowNumberMessage(s, "Not allowed ID number ", id);
    return;
  }
  // The dialog's contents go into block id, which need not be the block it opened on.
  TBlock& b = s.block(id);
  b.Name = FitText(Edit2.text, kMaxNameLength);
  if (b.Name.empty()) b.Name = "blank";
  b.Type = TypeOfLetter(TypeFieldLetter(Edit3.text));
  b.XX = EditToInt(Edit4.text);
  b.YY = EditToInt(Edit5.text);
  if (b.XX < 0 || b.YY < 0) ShowNumberMessage(s, "Check X,Y coordinates ", std::min(b.XX, b.YY));
  WriteConnections(s, *this, b);
  b.Displ = EditToInt(Edit6.text);
  b.State = EditToInt(Edit18.text);
  b.OnOff = EditToInt(Edit19.text);
  b.aa = FormNumber(Edit14.text, Filled.aa);
  b.bb = FormNumber(Edit15.text, Filled.bb);
  b.cc = FormNumber(Edit16.text, Filled.cc);
  b.dd = FormNumber(Edit17.text, Filled.dd);
  b.pp = FormNumber(Edit11.text, Filled.pp);
  b.Value = FormNumber(Edit12.text, Filled.Value);
  b.Comment = FitText(Edit13.text, kMaxCommentLength);
  StoreGrid(s, *this, b, id);
  if (id <= kReservedIDs) {  // a system block's edit acts on the simulation at once
    LoadTimingGlobals(s);
    CheckTiming(s);
  }
  s.HighestBlock = std::max(s.HighestBlock, id);
  ClearIntegratorInlets(s);
  ComputeAllBlocks(s);
  closed = true;
  s.NotifyFormPaint();
}

void TBlockFm::DeleteBtnClick(Sim& s) {
  const int32_t typed = EditToInt(Edit1.text);
  const int32_t id = CheckBlockID(s, typed);
  // A number beyond the table would be clamped to block 1000, which the user did not
  // name: refuse it rather than delete that block.
  if (id <= kReservedIDs || id != typed) {
    ShowNumberMessage(s, "Not allowed DELETE ID number ", typed > kMaxBlockID ? typed : id);
    return;
  }
  TBlock& b = s.block(id);
  b.Name = ("?" + IntText(id)).substr(0, kMaxNameLength);
  b.Type = BlockType::Empty;
  b.Displ = 2;
  b.XX = id - 50;
  b.YY = 600;
  b.An = b.Bn = b.Cn = b.Dn = b.Pn = 0;
  b.aa = b.bb = b.cc = b.dd = b.pp = 0;
  b.Value = 0;
  if (id == s.HighestBlock) s.HighestBlock -= 1;
  closed = true;
  s.NotifyFormPaint();
}

void TBlockFm::CancelBtnClick(Sim& s) {
  closed = true;
  s.NotifyRedrawDiagram();
  s.NotifyDrawTimePlot();
  s.NotifyGrPlotPnlPrep();
}

std::span<const BlockEdit> BlockFormLayout() {
  using B = TBlock;
  using F = TBlockFm;
  static constexpr BlockEdit kLayout[] = {
      {&B::ID, &F::Edit1},     {&B::Name, &F::Edit2},    {&B::Type, &F::Edit3},   {&B::XX, &F::Edit4},
      {&B::YY, &F::Edit5},     {&B::Displ, &F::Edit6},   {&B::State, &F::Edit18}, {&B::OnOff, &F::Edit19},
      {&B::An, &F::Edit7},     {&B::Bn, &F::Edit8},      {&B::Cn, &F::Edit9},     {&B::Dn, &F::Edit10},
      {&B::Pn, &F::Edit20},    {&B::aa, &F::Edit14},     {&B::bb, &F::Edit15},    {&B::cc, &F::Edit16},
      {&B::dd, &F::Edit17},    {&B::pp, &F::Edit11},     {&B::Value, &F::Edit12}, {&B::Comment, &F::Edit13}};
  return kLayout;
}

}  // namespace trevolan

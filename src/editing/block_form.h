#pragma once
#include <span>
#include <array>
#include <string>
#include <vector>

#include "editing/field_edit.h"
#include "editing/form_fields.h"
#include "model/fields.h"
#include "model/sim.h"

// The block dialog: every field of one block, relabelled for its type when it opens.
namespace trevolan {

// A string grid of two columns whose row 0 is the header. Reading a cell outside the
// grid gives an empty text, as an empty cell does.
struct StringGrid {
  bool visible = false;
  std::vector<std::array<std::string, 2>> cells;

  int RowCount() const { return static_cast<int>(cells.size()); }
  const std::string& Cell(int col, int row) const;
  // Sets the number of rows and empties every cell.
  void Reset(int rows);
};

// The block dialog's form object. Components keep the dialog's own names; the comment
// says which field each one shows. It lives as long as the program: a type without a
// legend keeps the title and captions of the previous opening.
struct TBlockFm {
  TBlockFm();

  std::string Caption;     // window title
  int64_t Left = 0, Top = 0;  // placed near the last click
  int Width = 666;         // 475 without the grid, 675 or 700 with it
  bool closed = true;

  EditField Edit1;   // ID
  EditField Edit2;   // Name
  EditField Edit3;   // Type
  EditField Edit4;   // XX
  EditField Edit5;   // YY
  EditField Edit6;   // Displ
  EditField Edit7;   // An
  EditField Edit8;   // Bn
  EditField Edit9;   // Cn
  EditField Edit10;  // Dn
  EditField Edit11;  // pp
  EditField Edit12;  // Value
  EditField Edit13;  // Comment
  EditField Edit14;  // aa
  EditField Edit15;  // bb
  EditField Edit16;  // cc
  EditField Edit17;  // dd
  EditField Edit18;  // State (the mode)
  EditField Edit19;  // OnOff
  EditField Edit20;  // Pn

  LabelField Label1, Label2, Label3, Label4, Label5;  // ID #, Name, Type, X, Y
  LabelField Label6;                                   // the type's rule
  LabelField Label7, Label8, Label9, Label10, Label11; // connections A, B, C, D, P
  LabelField Label12, Label13, Label14, Label15;       // Value, Comment, column headings
  LabelField Label16, Label17, Label18, Label19;       // Display, Mode, On/Off, stored data
  StringGrid DataGrid;                                  // the stored list, for A B D G M O U
  ButtonField DeleteBtn, ApplyBtn, CancelBtn;

  // The texts as the last opening filled them. Apply takes a NAN or INF that is
  // still shown as it was filled (a model file may hold one) as that value; typed, the
  // same text is refused like any text that is no finite number.
  struct FilledTexts {
    std::vector<std::string> edits;  // in the order of BlockFormLayout()
    StringGrid grid;
  } Filled;

  // Fills every text for block PickedBlock. RangeError for a PickedBlock outside the
  // table, or an input ID of an oscilloscope or user block outside it.
  void FormActivate(const Sim& s);
  // Parses the fields and applies them to the block named in the ID field (EditBlock);
  // a field that does not convert stops it with the fields before it written.
  void ApplyBtnClick(Sim& s);
  // Turns the block named in the ID field into an empty slot.
  void DeleteBtnClick(Sim& s);
  void CancelBtnClick(Sim& s);
};

// The dialog's layout: which edit field shows which field of the block and where it
// stands, in the order Apply takes them (and a person tabs through them). The batch runner names the edit fields by the field table's dialog
// names.
struct BlockEdit {
  const BlockField* field;
  EditField TBlockFm::*edit;
  const char* name;         // the edit's own name, as the window and its tests find it
  int left, top, width;     // where it stands in the dialog's design, in pixels
};
std::span<const BlockEdit> BlockFormLayout();

// Whether the dialog shows the edit of connection `index` (0..4: A, B, C, D, P) for a
// block of this type: a Belt hides C, a Container A, B and P.
bool ShowsConnectionEdit(BlockType type, int index);

}  // namespace trevolan

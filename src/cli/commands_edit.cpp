#include <memory>

#include "model/catalogue.h"
#include "cli/batch.h"
#include "commands/dialog_typing.h"
#include "display/number_form.h"
#include "editing/block_form.h"
#include "editing/insert_copy.h"
#include "editing/new_block.h"
#include "editing/toggle.h"
#include "editing/timing_form.h"
#include "model/numbers.h"

namespace trevolan::cli {

namespace {

// The program's dialogs live as long as the program, as the window's do: a form keeps
// what it last showed (the insert dialog's type, the block dialog's captions for a
// type without a legend) from one opening to the next.
struct Dialogs {
  TBlockFm block;
  TInsertFm insert;
  TCopyFm copy;
  TTimingFm timing;
  TNumberDatFm numbers;
};

int32_t IntArgument(const std::string& text) { return ToInt32(commands::NumberArgument(text)); }

// A click on empty diagram space: the mouse goes down and up at (x, y), which picks
// nothing and records the place where the next new block appears. The batch does not
// look for a block under the point.
void ClickAt(Sim& s, const Command& c, size_t first) {
  if (c.size() == first) return;
  if (c.size() != first + 2) throw UsageError("wrong number of arguments: " + c[0]);
  const int32_t x = IntArgument(c[first]);
  const int32_t y = IntArgument(c[first + 1]);
  s.PickedBlock = 0;
  s.LastX = x;
  s.LastY = y;
  s.NotifyFormPaint();
}

// The Create menu has one item per type letter, none for O and U.
BlockType CreateMenuType(const std::string& arg) {
  if (arg.size() != 1) throw UsageError("create takes one type letter: " + arg);
  const BlockType type = TypeOfLetter(TypeFieldLetter(arg));
  const BlockTypeInfo* info = FindBlockType(type);
  if (!info || !info->menu_caption) throw UsageError("no Create menu item for type " + arg);
  return type;
}

// The names a script gives a dialog's fields, in the order of its layout.
template <typename Layout>
std::string DialogFieldNames(const Layout& layout) {
  std::string names;
  for (const auto& entry : layout) names += (names.empty() ? "" : ", ") + std::string(entry.field->dialog);
  return names;
}

// The block dialog as it opened on PickedBlock, then Apply.
void ApplyAsOpened(Sim& s, TBlockFm& form) {
  form.FormActivate(s);
  form.ApplyBtnClick(s);
}

}  // namespace

void AddEditCommands(Batch& b) {
  Sim& s = b.sim();
  auto d = std::make_shared<Dialogs>();

  b.Add({"click", "ID", "A left click on block ID: switches it on or off",
         "A Witch switch in mode 0 without an A connection steps its input aa through 0, 1, 2, 3, 4 instead. "
         "Then one compute pass and a redraw, as the click does in the window, also while a run is held.",
         "click 105"},
        [&s](const Command& c) { ToggleBlock(s, IntArgument(c[1])); });

  b.Add({"create", "TYPE [X Y]", "The Create menu: a new block of type letter TYPE",
         "With X Y, a click on empty diagram space at (X, Y) first, which places the new block. Then the Create "
         "menu item of TYPE and Apply in the block dialog as it opened. The block gets the ID HighestBlock + 1 "
         "and its type's defaults; there is no item for O and U, and P does nothing.",
         "create I 200 120"},
        [&s, d](const Command& c) {
          const BlockType type = CreateMenuType(c[1]);
          ClickAt(s, c, 2);
          if (type == BlockType::Pid) return;  // "&P not assigned" does nothing
          s.PickedBlock = CreateBlockFromMenu(s, type);
          ApplyAsOpened(s, d->block);
        });

  b.Add({"insert", "TYPE SEQ [X Y]", "Edit, Insert: a new block of TYPE at sequence number SEQ",
         "With X Y, a click at (X, Y) first. Every block from SEQ up moves one ID higher, the links to them "
         "follow, and the new block takes ID SEQ, so that it computes at that place of the order. Then Apply in "
         "the block dialog as it opened.",
         "insert X 105 300 80"},
        [&s, d](const Command& c) {
          ClickAt(s, c, 3);
          d->insert.Open(s);
          d->insert.TypEdit.text = c[1];
          d->insert.Edit2.text = c[2];
          d->insert.ApplyBtnClick(s, [&s, d] { ApplyAsOpened(s, d->block); });
        });

  b.Add({"copy", "FROM TO [X Y]", "Edit, Copy: copies block FROM, links included, into ID TO",
         "With X Y, a click at (X, Y) first, which places the copy. A system block (IDs up to 100) cannot be "
         "a target.",
         "copy 105 120 400 200"},
        [&s, d](const Command& c) {
          ClickAt(s, c, 3);
          d->copy.Open(s);
          d->copy.FromID.text = c[1];
          d->copy.ToID.text = c[2];
          d->copy.ApplyBtnClick(s);
        });

  b.Add({"delete", "ID", "The block dialog opened on block ID, Delete", "The slot of the table becomes empty.",
         "delete 120"},
        [&s, d](const Command& c) {
          const int32_t id = IntArgument(c[1]);
          s.PickedBlock = id;
          d->block.FormActivate(s);
          d->block.DeleteBtnClick(s);
        });

  b.Add({"apply", "ID [FIELD=TEXT]...", "The block dialog on block ID: fields typed over, Apply",
         "Each TEXT is typed into its field as a person would, then Apply; a FIELD=TEXT with blanks is quoted "
         "as a whole (comment=\"two words\"). Fields: " +
             DialogFieldNames(BlockFormLayout()) +
             ", and the cells of the stored-data grid as gR.C (row R from 1, column C 0 or 1). A field the dialog "
             "hides for the type can still be named.",
         "apply 105 aa=2.5 name=buffer g1.1=0.5"},
        [&s, d](const Command& c) { commands::ApplyBlockDialog(s, d->block, c[1], commands::SplitAssignments(c, 2)); });

  b.Add({"timing", "[FIELD=TEXT]...", "The timing dialog: fields typed over, Apply any Changes",
         "Fields: " + DialogFieldNames(TimingFormLayout()) +
             ". The dialog checks the timing and updates the system blocks as its Apply does.",
         "timing delt=0.01 finish=500"},
        [&s, d](const Command& c) { commands::ApplyTimingDialog(s, d->timing, commands::SplitAssignments(c, 1)); });

  b.Add({"timing-defaults", "", "The timing dialog: Restore Defaults, then Cancel",
         "What Restore Defaults changes stays changed; Cancel only closes the dialog.", "timing-defaults"},
        [&s, d](const Command&) {
          d->timing.FormActivate(s);
          d->timing.DefaultsBtnClick(s);
          d->timing.CancelClick(s);
        });

  b.Add({"numbers", "[FIELD=TEXT]...", "The number display dialog: fields typed over, Apply Changes",
         "Fields: " + DialogFieldNames(NumberFormLayout()) +
             ". min and max are the colour scale's range, origin and factor the scale of the number lines.",
         "numbers min=0 max=100"},
        [&s, d](const Command& c) { commands::ApplyNumberDialog(s, d->numbers, commands::SplitAssignments(c, 1)); });

  b.Add({"numbers-defaults", "", "The number display dialog: Restore Defaults",
         "The colour range and the number scale go back to their defaults.", "numbers-defaults"},
        [&s, d](const Command&) {
          d->numbers.FormActivate(s);
          d->numbers.DefaultsBtnClick(s);
        });
}

}  // namespace trevolan::cli

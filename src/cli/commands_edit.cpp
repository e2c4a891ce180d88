#include <memory>

#include "blocks/catalogue.h"
#include "cli/batch.h"
#include "cli/dialog_typing.h"
#include "display/number_form.h"
#include "editing/block_form.h"
#include "editing/insert_copy.h"
#include "editing/new_block.h"
#include "editing/toggle.h"
#include "engine/timing_form.h"
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

int32_t IntArgument(const std::string& text) { return ToInt32(NumberArgument(text)); }

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
char CreateMenuType(const std::string& arg) {
  if (arg.size() != 1) throw UsageError("create takes one type letter: " + arg);
  const char type = TypeFieldLetter(arg);
  const BlockTypeInfo* info = FindBlockType(type);
  if (!info || !info->menu_caption) throw UsageError("no Create menu item for type " + arg);
  return type;
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

  b.Add("click", 1, 1, [&s](const Command& c) { ToggleBlock(s, IntArgument(c[1])); });

  b.Add("create", 1, 3, [&s, d](const Command& c) {
    const char type = CreateMenuType(c[1]);
    ClickAt(s, c, 2);
    if (type == 'P') return;  // "&P not assigned" does nothing
    s.PickedBlock = CreateBlockFromMenu(s, type);
    ApplyAsOpened(s, d->block);
  });

  b.Add("insert", 2, 4, [&s, d](const Command& c) {
    ClickAt(s, c, 3);
    d->insert.Open(s);
    d->insert.TypEdit.text = c[1];
    d->insert.Edit2.text = c[2];
    d->insert.ApplyBtnClick(s, [&s, d] { ApplyAsOpened(s, d->block); });
  });

  b.Add("copy", 2, 4, [&s, d](const Command& c) {
    ClickAt(s, c, 3);
    d->copy.Open(s);
    d->copy.FromID.text = c[1];
    d->copy.ToID.text = c[2];
    d->copy.ApplyBtnClick(s);
  });

  b.Add("delete", 1, 1, [&s, d](const Command& c) {
    const int32_t id = IntArgument(c[1]);
    s.PickedBlock = id;
    d->block.FormActivate(s);
    d->block.DeleteBtnClick(s);
  });

  b.Add("apply", 1, Batch::kMany,
        [&s, d](const Command& c) { ApplyBlockDialog(s, d->block, c[1], SplitAssignments(c, 2)); });

  b.Add("timing", 0, Batch::kMany,
        [&s, d](const Command& c) { ApplyTimingDialog(s, d->timing, SplitAssignments(c, 1)); });

  b.Add("timing-defaults", 0, 0, [&s, d](const Command&) {
    d->timing.FormActivate(s);
    d->timing.DefaultsBtnClick(s);
    d->timing.CancelClick(s);
  });

  b.Add("numbers", 0, Batch::kMany,
        [&s, d](const Command& c) { ApplyNumberDialog(s, d->numbers, SplitAssignments(c, 1)); });

  b.Add("numbers-defaults", 0, 0, [&s, d](const Command&) {
    d->numbers.FormActivate(s);
    d->numbers.DefaultsBtnClick(s);
  });
}

}  // namespace trevolan::cli

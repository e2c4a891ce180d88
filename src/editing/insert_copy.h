#pragma once
#include <cstdint>
#include <functional>

#include "editing/form_fields.h"
#include "model/sim.h"

// Inserting a block at a chosen place in the evaluation order, and copying a block.
namespace trevolan {

// In block k, every reference to ID `old_id` becomes `new_id`: the link fields (with
// their sign kept), the input lists of the oscilloscope and the user block, and, for
// block 19, the tape's channel list.
void RenumberLinks(Sim& s, int64_t k, int64_t old_id, int64_t new_id);

// Copies block `from` into block `to` at (x, y), links unchanged; element 0 of the
// stored list is not copied.
void CopyBlock(Sim& s, int64_t from, int64_t to, int32_t x, int32_t y);

// The Insert dialog: the type and the sequence number where the new block goes.
struct TInsertFm {
  TInsertFm();

  std::string Caption;
  LabelField InstructLb, TypeLb, SequenceLb, LocationLb;
  EditField TypEdit;  // the type letter; keeps what was typed from one opening to the next
  EditField Edit2;    // the sequence number
  ButtonField ApplyBtn, CancelBtn;
  bool closed = true;

  // The Edit menu's "&Insert": proposes HighestBlock as the sequence number.
  void Open(const Sim& s);
  // Makes room at the sequence number, renumbers every link to a moved block, creates
  // the new block there and runs `show_block_dialog` (the modal block dialog on it).
  void ApplyBtnClick(Sim& s, const std::function<void()>& show_block_dialog);
  void CancelBtnClick(Sim& s);
};

// The Copy dialog: from which ID into which.
struct TCopyFm {
  TCopyFm();

  std::string Caption;
  LabelField InstructLb, FromLb, ToLb, LocationLb, LinksLb;
  EditField FromID, ToID;
  ButtonField ApplyBtn, CancelBtn;
  bool closed = true;

  // The Edit menu's "&Copy": proposes block 31 (PI) into the next free ID.
  void Open(const Sim& s);
  void ApplyBtnClick(Sim& s);
  void CancelBtnClick(Sim& s);
};

}  // namespace trevolan

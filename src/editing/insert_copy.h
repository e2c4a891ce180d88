#pragma once
#include <cstdint>
#include <functional>
#include <map>

#include "editing/form_fields.h"
#include "model/sim.h"

// Inserting a block at a chosen place in the evaluation order, and copying a block.
namespace trevolan {

// The five connections of a block, in the block dialog's order.
enum class Connection : uint8_t { A, B, C, D, P };
inline constexpr Connection kConnections[] = {Connection::A, Connection::B, Connection::C, Connection::D,
                                              Connection::P};
int32_t TBlock::*ConnectionMember(Connection c);

// Whether connection c of a block of this type names a block (and so is renumbered):
// a Visualizer's B, C and D are corner coordinates, the D of a Generator or a Memory
// is its number of points.
bool IsLinkConnection(BlockType type, Connection c);

// IDs given new IDs, all at once: an ID that is both renumbered and the new ID of
// another is renumbered once.
using IdMap = std::map<int64_t, int64_t>;

// In block k, every reference to an ID of the map becomes its new ID: the link fields
// (with their sign kept), the input lists of the oscilloscope and the user block, and,
// for block 19, the tape's channel list.
void RenumberLinks(Sim& s, int64_t k, const IdMap& ids);

// Copies block `from` into block `to` at (x, y), links unchanged; element 0 of the
// stored list is not copied.
void CopyBlock(Sim& s, int64_t from, int64_t to, int32_t x, int32_t y);
// The same from a block kept aside (a copy taken earlier).
void CopyBlock(Sim& s, const TBlock& source, int64_t to, int32_t x, int32_t y);

// The Copy dialog's rule for the ID a copy is written into: none at or below 100
// ("Can not copy into System Block ", and 0), and beyond the table's end the next free
// ID ("Copy will go to block ").
int64_t CopyTarget(Sim& s, int64_t to);

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

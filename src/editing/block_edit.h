#pragma once
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "editing/field_edit.h"
#include "model/fields.h"
#include "model/sim.h"

// The block dialog's Apply and Delete as typed operations on the block table: the
// dialog parses its texts and calls these, and so does every face that edits a block
// as the dialog does (the batch runner's apply, Python's apply()).
namespace trevolan {

// One field of a block given a value.
struct FieldAssignment {
  const BlockField* field;
  FieldValue value;
};

// A cell of the stored-data grid as the edit reads it: column 0 or 1, row from 1. It
// may throw (a cell that does not convert stops the edit there).
using GridReader = std::function<double(int col, int row)>;

// What the block dialog's grid shows in a cell for block b (column 0 or 1, row from
// 1), by b's type: a number of its stored list, or a text (a label, a block's name;
// empty outside the grid). RangeError for an input ID of the Graphs or user block
// outside the table, as the dialog meets it when it opens.
using GridCell = std::variant<double, std::string>;
GridCell GridCellOf(const Sim& s, const TBlock& b, int col, int row);
// The rows of b's grid, without the header: 0 for a type without one.
int GridRowsOf(const TBlock& b);

// Whether block id can be edited: not blocks 0 and 1 ("Not allowed ID number " in
// kRepair, RuleError in kRefuse), not an ID beyond the table (RangeError in kRepair).
bool CanEditBlock(Sim& s, int64_t id, Repairs how);

// The fields written into block `id` one after the other, each by its rule in the
// context of the block's type as the edit leaves it: the first part of the dialog's
// Apply. Block 0 and 1 are no target ("Not allowed ID number " and false in kRepair);
// in kRefuse every value is checked before the first is written.
bool WriteBlockFields(Sim& s, int64_t id, const std::vector<FieldAssignment>& fields, Repairs how);

// The whole of the dialog's Apply: the fields, the grid read back into the stored list
// by the block's new type, a system block's timing loaded and checked, HighestBlock
// raised, the integrators' inlets cleared and one compute pass. False when the block
// cannot be edited (CanEditBlock).
bool EditBlock(Sim& s, int64_t id, const std::vector<FieldAssignment>& fields, const GridReader& grid,
               Repairs how);

// The dialog's Delete: block id becomes an empty slot, unless it is one of the first
// 100 ("Not allowed DELETE ID number "). False when refused.
bool DeleteBlock(Sim& s, int64_t typed_id);

}  // namespace trevolan

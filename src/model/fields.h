#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/sim.h"

// The table of fields: every field of a block and every global of the Sim that anyone
// reads or writes by name or walks as a whole, each described once. Targets (print,
// set, Python items, study options), undo records, model copies and the comparison of
// slots all walk it; a new field is added here and nowhere else.
namespace trevolan {

// A field of TBlock, by its member. The kind of the member says how the field is read,
// written and compared.
using BlockMember = std::variant<int32_t TBlock::*, double TBlock::*, BlockType TBlock::*, std::string TBlock::*,
                                 std::vector<double> TBlock::*>;

struct BlockField {
  const char* name;      // as users write it in a target: "aa", "Name", "stored"
  BlockMember member;
  bool addressable;      // a target of print and set (ID is not: a block is moved by the dialog)
  size_t max_length;     // texts: characters kept when set (UTF-8); 0 for the other kinds
  int file_column;       // its column in the model file's block line (0 is @Type); -1: the data line
  const char* dialog;    // its name in the block dialog (apply id=... name=...); null: the grid's cells
};

std::span<const BlockField> BlockFields();
// The field of that name, or null.
const BlockField* FindBlockField(std::string_view name);

// A global of the Sim, by its member.
using GlobalMember = std::variant<int32_t Sim::*, double Sim::*, bool Sim::*, std::string Sim::*,
                                  std::array<int32_t, kTapeColumns> Sim::*>;

// What else a change of a global sets off when it is applied as the model's own
// dialogs apply it.
enum class GlobalRule {
  kNone,
  kTiming,  // the timing dialog's Apply: time steps repaired, system blocks stored, one compute pass
};

struct GlobalField {
  const char* name;      // as users write it: "Delt", "HoldFlag"
  GlobalMember member;
  bool addressable;      // a target of print and set
  bool edit;             // part of the model an edit changes, so undo records it
  GlobalRule rule;
  const char* dialog;    // its name in the dialog that edits it (timing, numbers); null: none
};

// The field with that name in a dialog, or null.
const BlockField* FindBlockDialogField(std::string_view dialog_name);
const GlobalField* FindGlobalDialogField(std::string_view dialog_name);

std::span<const GlobalField> GlobalFields();
// The addressable global of that name, or null.
const GlobalField* FindGlobalField(std::string_view name);

// Calls f(member) for the member of every field of a block, in the table's order.
template <typename F>
void ForEachBlockMember(F&& f) {
  for (const BlockField& field : BlockFields()) std::visit(f, field.member);
}

// True when the two hold the same in every field, bit for bit: -0.0 is not 0.0 (the
// model file writes them differently) and a NaN equals a NaN of the same bits.
bool SameBits(double a, double b);
inline bool SameField(double a, double b) { return SameBits(a, b); }
bool SameField(const std::vector<double>& a, const std::vector<double>& b);
template <typename T>
bool SameField(const T& a, const T& b) {
  return a == b;
}
bool SameBlock(const TBlock& a, const TBlock& b);

}  // namespace trevolan

#pragma once
#include <optional>

#include "model/fields.h"

// The rules of the table of fields, one a kind of field: what values the field holds,
// and what the model's own checks make of any other. Each is the only place its rule is
// written: the dialogs repair by it, every other face refuses by it.
namespace trevolan::rules {

using Result = std::optional<Correction>;

Result BlockTypeLetter(const RuleContext& c, const FieldValue& v);  // a letter of the catalogue
Result BlockName(const RuleContext& c, const FieldValue& v);        // 1..10 characters
Result BlockComment(const RuleContext& c, const FieldValue& v);     // at most 255 characters
Result TypeState(const RuleContext& c, const FieldValue& v);        // the type's modes or states
Result Connection(const RuleContext& c, const FieldValue& v);       // a block ID, but for the Sum and the Visualizer
Result FiniteNumber(const RuleContext& c, const FieldValue& v);
Result StoredList(const RuleContext& c, const FieldValue& v);       // finite; block IDs in the Graphs and user blocks
Result StoredEntry(const RuleContext& c, const FieldValue& v);
Result TimeStep(const RuleContext& c, const FieldValue& v);         // Delt, GrDel, Holdstep as CheckTiming keeps them
Result TriggerBlock(const RuleContext& c, const FieldValue& v);     // RepCount: a block ID
Result BlockID(const RuleContext& c, const FieldValue& v);          // 0..1000
Result ChannelCount(const RuleContext& c, const FieldValue& v);     // 0..10
Result NumberMode(const RuleContext& c, const FieldValue& v);       // 0..3
Result TapeRow(const RuleContext& c, const FieldValue& v);          // -1..10000

// What CheckBlockID makes of a typed block ID n outside 0..1000: the ID it puts
// instead and its message ("Have put 1000 instead of block number   5000"); nullopt
// for an ID inside.
std::optional<Correction> BlockIDCorrection(int64_t n);

}  // namespace trevolan::rules

#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/fields.h"
#include "model/sim.h"

// Targets as people write them: ID.FIELD, ID.stored, ID.stored[K], a global by its
// name, (print only) tape.R.C, and a block by its Name where an ID would stand. Texts
// become targets and values here, at the edge where they were typed; below, every face
// hands the table of fields typed values. An unknown target is a UsageError; an ID or
// index out of range is the core's RangeError.
namespace trevolan::commands {

using TargetValue = FieldValue;

// The field or global a target names (not a tape cell). UsageError for an unknown one.
Target ParseTarget(const std::string& target);

// A target's value as the model holds it (a tape cell's too).
FieldValue ReadTarget(const Sim& s, const std::string& target);

// The target's value as print writes it (FormatFieldValue).
std::string PrintTarget(const Sim& s, const std::string& target);

// The batch runner's set: the texts written into the target without any rule or
// effect, as a model file could hold them. A number field takes a number (read as the
// model file writes numbers, rounded into an integer field), a text field its text, a
// stored list any number of values. ConversionError for a text that is no number.
void SetTarget(Sim& s, const std::string& target, const std::vector<std::string>& texts);

// Texts as the typed value of the target's kind, read as the model file writes numbers
// (the C locale): what a command line or a script gives the typed write. A text that
// is no number is a ConversionError, never 0.
FieldValue ValueOfTexts(const Target& t, const std::vector<std::string>& texts);

// A value given to the target as a program holds it: a text given to a target that
// holds no text is read as ValueOfTexts reads it (a text typed into a notebook is as
// typed as one on a command line); any other value as it is.
FieldValue ParsedForTarget(const Target& t, FieldValue v);

// The typed write of a target named by its ID or a block's name, as a program gives it
// (Python's m[target] = v, simulate(params=)): a text given to a number is read as
// ParsedForTarget reads it, then SetField checks the value by its rule and runs its
// effect.
void SetNamedTarget(Sim& s, const std::string& target, const FieldValue& value);

// The range error of a target, with the bounds it went beyond: "Range check error:
// 1001.aa: block IDs are 0..1000", "... 105.stored[3]: block 105 has no stored entries",
// "... tape.0.99: the tape has rows 0..10000 and columns 0..10".
RangeError TargetRangeError(const Sim& s, const std::string& target);

// The block a target names (ID.FIELD, ID.stored[K]), or none for a global or a tape
// cell. The ID is as written, also when it is outside the table.
std::optional<int64_t> TargetBlock(const std::string& target);

// A block named by its Name where a target wants its ID: "spring.cc" -> "104.cc", a
// bare name "position" -> "102.Value" (its value). Targets by ID, globals and tape cells
// come back as they are. UnknownName for a name that no block has, or that several
// share (the text lists their IDs).
class UnknownName : public UsageError {
 public:
  using UsageError::UsageError;
};
std::string TargetOfName(const Sim& s, const std::string& target);

// The target's value as a number, read anew at every call (cheaply: the target is
// resolved once), for statistics that read it at every step. Texts and whole lists
// are a UsageError.
std::function<double()> NumberTarget(Sim& s, const std::string& target);

// Every addressable field and global as a target names it, for help texts.
std::string TargetFieldNames();
std::string TargetGlobalNames();

}  // namespace trevolan::commands

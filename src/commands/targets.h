#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "model/sim.h"

namespace trevolan::commands {

// The targets of `print` and `set`: ID.FIELD, ID.stored, ID.stored[K], a global by its
// name, and (print only) tape.R.C. An unknown target is a UsageError; an ID or index
// out of range is the core's RangeError.

// A target's value as the model holds it: an integer field, a double, a flag, a text
// (Type is a one-letter text) or the whole stored list.
using TargetValue = std::variant<int64_t, double, bool, std::string, std::vector<double>>;
TargetValue ReadTarget(const Sim& s, const std::string& target);

// A value as print writes it: doubles in the general float format, flags as 0 or 1,
// a list with one blank between its entries.
std::string FormatTargetValue(const TargetValue& value);

// The target's value as print writes it.
std::string PrintTarget(const Sim& s, const std::string& target);

// A value given to set: a text as typed (parsed as the field's kind needs), or a number
// or flag as a program holds it.
using SetValue = std::variant<std::string, double, int64_t, bool>;

// Writes the values into the target, without any dialog logic: a number field takes a
// number (a text is read as the model file writes numbers), a text field a text (a
// number is written in its shortest exact form), a stored list any number of values.
void SetTarget(Sim& s, const std::string& target, const std::vector<SetValue>& values);
void SetTarget(Sim& s, const std::string& target, const std::vector<std::string>& values);

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

}  // namespace trevolan::commands

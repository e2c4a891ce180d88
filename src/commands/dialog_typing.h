#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "display/number_form.h"
#include "editing/block_form.h"
#include "editing/timing_form.h"
#include "commands/targets.h"
#include "model/fields.h"
#include "model/sim.h"

// The dialogs' operations by field name: typed into the dialogs as the batch runner's
// apply, timing and numbers do, or given as values, as the Python module and the
// studies give them.
namespace trevolan::commands {

// FIELD=TEXT pairs in the order they are typed.
using FieldTexts = std::vector<std::pair<std::string, std::string>>;

// The FIELD=TEXT arguments of a command from `first` on, split at the first '='.
// UsageError for an argument without one.
FieldTexts SplitAssignments(const std::vector<std::string>& c, size_t first);

// A number argument of a command, as the model file writes numbers; ConversionError
// for anything else.
double NumberArgument(const std::string& text);

// Each checks every field name first, so that a misspelt one (UsageError) stops the
// command before the dialog has done anything.

// The block dialog opened on block `id` (a number text), the fields typed over, Apply.
// The stored-data grid's cells are named gR.C (row R from 1, column C 0 or 1).
void ApplyBlockDialog(Sim& s, TBlockFm& form, const std::string& id, const FieldTexts& fields);

// The timing dialog, the fields typed over, Apply any Changes.
void ApplyTimingDialog(Sim& s, TTimingFm& form, const FieldTexts& fields);

// The number display dialog, the fields typed over, Apply Changes.
void ApplyNumberDialog(Sim& s, TNumberDatFm& form, const FieldTexts& fields);

// Fields of the block dialog by name, with values as a program holds them.
using FieldValues = std::vector<std::pair<std::string, SetValue>>;

// Applies fields to block `id` as the block dialog does: opened on the block, each
// field given its value, Apply. A number is typed in the shortest form that reads back
// to it, with the decimal separator a person would type; a text as it is.
void ApplyBlockFields(Sim& s, TBlockFm& form, int64_t id, const FieldValues& fields);

// Sets timing globals (those whose rule is the timing dialog's) and applies them with
// the timing dialog's rules (ApplyTimingRules). UsageError for any other global, and
// ConversionError for a value a person could not type (not finite), both before
// anything changes.
void SetTiming(Sim& s, const std::vector<std::pair<const GlobalField*, double>>& values);

// The same by the timing dialog's field names, as the timing command takes them:
// start current finish delt graph graphnext hold holdnext trigger highest (shown only:
// its value is not taken).
void SetTimingFields(Sim& s, const std::vector<std::pair<std::string, double>>& fields);

// The first of `values` (timing globals, applied in this order) that the model's own
// rules would run as another value, with why: "Delt 0 would run as 1: the time step must
// be above 0", "GrDel 1 would run Delt 2 as 1: ...", "FinTim must be a finite number", a
// block ID that is no whole number. nullopt when the rules keep every value. Every face
// refuses such a value rather than run another one silently.
struct TimingRuleChange {
  size_t index;     // into values
  std::string why;
};
std::optional<TimingRuleChange> TimingRuleChangeOf(const Sim& s,
                                                   const std::vector<std::pair<const GlobalField*, double>>& values);

}  // namespace trevolan::commands

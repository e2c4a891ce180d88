#pragma once
#include <string>
#include <utility>
#include <vector>

#include "display/number_form.h"
#include "editing/block_edit.h"
#include "editing/block_form.h"
#include "editing/timing_form.h"
#include "model/fields.h"
#include "model/sim.h"

// The dialogs' operations by field name: typed into the dialogs as the batch runner's
// apply, timing and numbers do (a script is what a person types), or given as typed
// values, as the Python module gives them, straight to the same edit operations.
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

// Fields by their dialog names, with typed values.
using NamedValues = std::vector<std::pair<std::string, FieldValue>>;

// Block `id` edited as the block dialog's Apply edits it (EditBlock), with the fields
// given by their dialog names (id moves the edit to another block) and the grid's
// cells as gR.C; the fields and cells not given keep what the block holds. Every value
// is checked by its rule before anything changes (RuleError, ValueTypeError; UsageError
// for an unknown name).
void EditBlockFields(Sim& s, int64_t id, const NamedValues& fields, Repairs how = Repairs::kRefuse);

// The timing dialog's fields by name given values, then its Apply (EditTiming): start
// current finish delt graph graphnext hold holdnext trigger; highest is shown only and
// its value is not taken.
void EditTimingFields(Sim& s, const NamedValues& fields, Repairs how = Repairs::kRefuse);

}  // namespace trevolan::commands

#pragma once
#include <string>
#include <utility>
#include <vector>

#include "display/number_form.h"
#include "editing/block_form.h"
#include "editing/timing_form.h"
#include "model/sim.h"

// Typing into the dialogs by field name, as the batch runner's apply, timing and
// numbers do and the Python module's apply and timing do.
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

}  // namespace trevolan::commands

#pragma once
#include <utility>
#include <vector>

#include "model/fields.h"
#include "model/sim.h"

// The one typed write of every face: a value given to a field or global is made of the
// field's kind, checked by the field's rule in the table of fields, stored, and the
// field's effect is run. The dialogs repair what the rule repairs; every other face
// refuses it, so that no face runs a value other than the one it was given.
namespace trevolan {

// How a face meets a value that breaks a field's rule.
enum class Repairs : bool {
  kRefuse,  // RuleError naming the target, the value and the rule; nothing changes
  kRepair,  // the dialogs: the value the rule makes of it, with the dialog's own message
};

// The value as it would be stored: of the field's kind, then by the rule (repaired,
// kept, or RuleError). `type` is the block's type as the edit leaves it, `steps` the
// time steps with the edit's earlier values. In kRepair a double given to a whole
// number field is rounded as the dialogs round what is typed.
FieldValue CheckedValue(Sim& s, const Target& t, FieldValue v, Repairs how, BlockType type, const TimeSteps& steps);

// Check, store, effect: Python's m[target] = value, a study's --set and --vary, the
// undo of an edit. RuleError when the rule refuses the value (ValueTypeError for a value
// of another kind), with nothing changed. A derived global (TimeTol) is no target.
void SetField(Sim& s, const Target& t, FieldValue v, Repairs how = Repairs::kRefuse);

// Only the check of SetField, on the model as it stands.
void CheckField(Sim& s, const Target& t, const FieldValue& v);

// What a change of the target sets off (FieldEffect), after it was stored.
void RunEffect(Sim& s, const Target& t);

// Globals of one dialog given values, in the dialog's order.
using GlobalValues = std::vector<std::pair<const GlobalField*, FieldValue>>;

// The globals written in their order, checked by their rules; in kRefuse every one is
// checked before any is written. No effect is run: the dialogs' Apply stops here when a
// later field does not convert.
void WriteGlobals(Sim& s, const GlobalValues& values, Repairs how);
// Only the checks of WriteGlobals in kRefuse: RuleError for the first value refused,
// whose index is left in `at`.
void CheckGlobals(Sim& s, const GlobalValues& values, size_t& at);
// The timing dialog's Apply: the globals written, then ApplyTimingRules.
void EditTiming(Sim& s, const GlobalValues& values, Repairs how);
// The number display dialog's Apply: the globals written, then the system blocks stored.
void EditNumbers(Sim& s, const GlobalValues& values, Repairs how);

// What the timing dialog's Apply does once it has taken its fields, whoever changed the
// timing globals: the time steps repaired, the globals stored into the system blocks,
// one compute pass, and the diagram and the plot drawn anew.
void ApplyTimingRules(Sim& s);

// The tape's channels taken from the Graphs block's stored inputs 1..10, as the block
// dialog's Apply on that block takes them: the last non-zero input is the last channel,
// and the count goes into the list's entry 0.
void TakeScopeChannels(Sim& s);

}  // namespace trevolan

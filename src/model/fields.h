#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/sim.h"

// The table of fields: every field of a block and every global of the Sim that anyone
// reads or writes by name or walks as a whole, each described once with its rule (the
// values it can hold and what the model's own checks make of any other), the effect
// of a change, its place in the model file and its name in the dialogs. Targets (print,
// set, Python items, study options), the one typed write of every face, undo records,
// model copies, the model file and the forms all walk it; a new field is added here
// and nowhere else.
namespace trevolan {

// A value as a face hands it to the model: typed, never a text to be parsed (a text
// field's value is its text, a type's value its one-letter text).
using FieldValue = std::variant<int64_t, double, bool, std::string, std::vector<double>>;

// The value as print writes it: doubles in the general float format, flags as 0 or 1,
// a list with one blank between its entries.
std::string FormatFieldValue(const FieldValue& value);

// What the model's own checks make of a value that breaks a field's rule.
enum class Fix : uint8_t {
  kRepair,  // the dialogs store `value` instead (and say `message` when they have one)
  kKeep,    // the dialogs store it as given; the model's own checks then run it as `value`
            // (when it holds one: the timing check, a block's computation) or fail on it
  kRefuse,  // no face stores it
};
struct Correction {
  Fix fix = Fix::kRefuse;
  FieldValue value;       // kRepair: what is stored instead
  std::string rule;       // why, as a user reads it: "a connection is a block ID in 0..1000"
  std::string message;    // kRepair: the dialogs' own message, or empty
  std::string would_run;  // what the model would run instead, when it is known: "as 0.1", "Delt 2 as 1"
  bool index = false;     // the value is an ID, a row or a count outside the bounds it indexes
};

// Where a rule is checked. A block field's rule sees the block's ID and its type as the
// edit leaves it; a timing global's the time steps with the edit's earlier values.
struct Target;
struct RuleContext {
  const Sim& s;
  const Target& target;
  int64_t id = 0;
  BlockType type = BlockType::Empty;
  TimeSteps steps{};
};

// A field's rule: nullopt when the value (already of the field's kind) is kept as given.
using FieldRule = std::optional<Correction> (*)(const RuleContext&, const FieldValue&);

// What else a change sets off, as the model's own dialogs set it off.
enum class FieldEffect : uint8_t {
  kNone,
  kTiming,         // the timing dialog's Apply: steps repaired, system blocks stored, one compute pass
  kNumberDisplay,  // the number dialog's Apply: the system blocks stored
  kChannels,       // the Graphs block's stored inputs become the tape's channels
};

// A field of TBlock, by its member. The kind of the member says how the field is read,
// written and compared.
using BlockMember = std::variant<int32_t TBlock::*, double TBlock::*, BlockType TBlock::*, std::string TBlock::*,
                                 std::vector<double> TBlock::*>;

struct BlockField {
  const char* name;              // as users write it in a target: "aa", "Name", "stored"
  BlockMember member;
  bool addressable = true;       // a target of print and set (ID is not: a block is moved by the dialog)
  size_t max_length = 0;         // texts: the characters it holds (UTF-8), as a model file holds them
  int file_column = -1;          // its column in the model file's block line (0 is @Type)
  const char* file_name = nullptr;  // its name in the file's column line; null: the field's name
  const char* dialog = nullptr;  // its name in the block dialog (apply id=... name=...); null: the grid's cells
  FieldRule rule = nullptr;      // null: every value of its kind is kept
  FieldEffect effect = FieldEffect::kNone;
};

std::span<const BlockField> BlockFields();
// The field of that name, or null.
const BlockField* FindBlockField(std::string_view name);
// The field of that member.
const BlockField& BlockFieldOf(const BlockMember& member);

// A global of the Sim, by its member.
using GlobalMember = std::variant<int32_t Sim::*, double Sim::*, bool Sim::*, std::string Sim::*,
                                  std::array<int32_t, kTapeColumns> Sim::*>;

struct GlobalField {
  const char* name;              // as users write it: "Delt", "HoldFlag"
  GlobalMember member;
  bool addressable = true;       // a target of print and set
  bool edit = false;             // part of the model an edit changes, so undo records it
  const char* dialog = nullptr;  // its name in the dialog that edits it (timing, numbers); null: none
  FieldRule rule = nullptr;
  FieldEffect effect = FieldEffect::kNone;
  // A global that mirrors a field of a system block: the block, its field, and the
  // value the system blocks start with (the one default of both; SetSystemDefaults
  // writes it). None for a field the defaults leave as it is (RepCount's trigger).
  int mirror_block = -1;
  BlockMember mirror_field = &TBlock::Value;
  std::optional<double> initial = std::nullopt;
  // Set by the model itself, never by a face's typed write (TimeTol follows Delt).
  bool derived = false;
  // Set anew by RESET (Time, GrNext, Holdnext, TapeIndex) or by the run's buttons
  // (HoldFlag, RunBusy): a value given before a run does not stand, so no study sets it.
  bool run_sets = false;
};

// The field with that name in a dialog, or null.
const BlockField* FindBlockDialogField(std::string_view dialog_name);
const GlobalField* FindGlobalDialogField(std::string_view dialog_name);

std::span<const GlobalField> GlobalFields();
// The addressable global of that name, or null.
const GlobalField* FindGlobalField(std::string_view name);
// The global that a system block's field mirrors, or null.
const GlobalField* MirroredGlobal(int64_t id, const BlockMember& member);

// Calls f(member) for the member of every field of a block, in the table's order.
template <typename F>
void ForEachBlockMember(F&& f) {
  for (const BlockField& field : BlockFields()) std::visit(f, field.member);
}

// A field or global as a face names it: "102.An", "Delt", "19.stored[3]".
struct Target {
  const BlockField* field = nullptr;    // a field of block `id`, or
  const GlobalField* global = nullptr;  // a global
  int64_t id = 0;
  std::optional<int64_t> element = std::nullopt;  // stored[K]: one entry of the list
  // As a user writes it.
  std::string Name() const;
};

// The target's value as the model holds it: integer fields as int64, Type as its
// letter. RangeError for an ID or element outside the table or the list.
FieldValue ReadField(const Sim& s, const Target& t);

// A value of the target's kind: 0, 0.0, false, "", an empty list (a type is a text).
FieldValue ZeroOfKind(const Target& t);

// The value as the field's kind holds it: a whole number for an integer field (a
// double that is whole is one), a double for a number, a flag for a flag, a one-letter
// text for a type. ValueTypeError for a value of another kind; RuleError for a number
// that cannot be one of the kind (2.5 or 1e10 for a 32-bit field, 2 for a flag).
FieldValue OfFieldKind(const Target& t, FieldValue v, bool round_whole = false);

// The rule of the target for a value of its kind: nullopt when the value is kept as
// given, else what the model's checks make of it. A value that is what the field
// holds already is never refused for being no finite number (a model file may hold a
// NAN that an edit of other fields leaves alone).
std::optional<Correction> CheckRule(const Sim& s, const Target& t, const FieldValue& v, BlockType type,
                                    const TimeSteps& steps);

// Writes the value (of the field's kind) into the target, without any rule or effect:
// what a model file could hold. RangeError for an ID or element outside.
void StoreField(Sim& s, const Target& t, const FieldValue& v);

// Where a model holds an index outside its bounds (an ID beyond the table, a channel
// count beyond the tape), as the run's range error meets it: "block 102 (position): An
// 5000: a connection is a block ID in 0..1000"; empty when every index is within. A
// raw write (the batch runner's set, a model file) can store such a value; this says
// which one a "Range check error" of the run came from.
std::string RangeFaultDetail(const Sim& s);

// A value refused by a field's rule: what() names the target, the value, what the model
// would run instead when that is known, and the rule: "102.An 5000 would run as 1000: a
// connection is a block ID in 0..1000".
class RuleError : public UsageError {
 public:
  RuleError(const std::string& target, const std::string& value, const std::string& rule,
            const std::string& would_run = "")
      : UsageError(target + " " + value + (would_run.empty() ? "" : " would run " + would_run) + ": " + rule),
        rule_(rule) {}
  const std::string& rule() const { return rule_; }

 private:
  std::string rule_;
};

// A value of another kind than the target holds (a text for a number, a list for a
// name).
class ValueTypeError : public UsageError {
 public:
  using UsageError::UsageError;
};

// Writes v into the time step that g names (Delt, GrDel, Holdstep), if it names one.
void SetTimeStep(TimeSteps& t, const GlobalField& g, double v);

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
bool SameValue(const FieldValue& a, const FieldValue& b);

}  // namespace trevolan

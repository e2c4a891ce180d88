#include "model/field_rules.h"

#include <cmath>
#include <string>

#include "model/catalogue.h"
#include "model/numbers.h"
#include "model/text.h"

namespace trevolan::rules {

namespace {

Correction Refuse(std::string rule) { return {Fix::kRefuse, {}, std::move(rule), {}, {}}; }
// would_run: what the model then runs instead, when it is known ("as 3").
Correction Keep(std::string rule, std::string would_run = {}) {
  return {Fix::kKeep, {}, std::move(rule), {}, std::move(would_run)};
}
Correction Repair(FieldValue v, std::string rule, std::string message = {}) {
  std::string would_run = "as " + FormatFieldValue(v);
  return {Fix::kRepair, std::move(v), std::move(rule), std::move(message), std::move(would_run)};
}

std::string Range(int64_t low, int64_t high) { return std::to_string(low) + ".." + std::to_string(high); }

// A whole number's value; the table gives every integer field an int64.
int64_t Whole(const FieldValue& v) { return std::get<int64_t>(v); }

Correction Index(Correction c) {
  c.index = true;
  return c;
}

Result Within(const FieldValue& v, int64_t low, int64_t high, const std::string& what) {
  const int64_t n = Whole(v);
  if (n >= low && n <= high) return std::nullopt;
  return Index(Refuse(what + " in " + Range(low, high)));
}

// A text cut to max characters, or empty when it fits.
std::optional<std::string> TooLong(const FieldValue& v, size_t max) {
  const std::string& text = std::get<std::string>(v);
  std::string cut = FitText(text, max);
  if (cut == text) return std::nullopt;
  return cut;
}

// Whether entry k of a list of a block of that type is a block ID: the channels of the
// Graphs block and the links of the user block, entries 1..10.
bool IsIDEntry(BlockType type, int64_t k) {
  return (type == BlockType::Oscilloscope || type == BlockType::User) && k >= 1 && k <= kMaxTapeChannels;
}

Result ListEntry(BlockType type, int64_t k, double x) {
  if (!std::isfinite(x)) return Refuse("each entry must be a finite number");
  if (IsIDEntry(type, k) && !(x >= 0 && x <= kMaxBlockID && std::nearbyint(x) == x)) {
    return Index(Keep("entries 1..10 of the Graphs and user blocks are block IDs in " + Range(0, kMaxBlockID)));
  }
  return std::nullopt;
}


}  // namespace

std::optional<Correction> BlockIDCorrection(int64_t n) {
  if (n > kMaxBlockID) {
    return Index(Repair(int64_t{kMaxBlockID}, "a connection is a block ID in " + Range(0, kMaxBlockID),
                  "Have put " + std::to_string(kMaxBlockID) + " instead of block number   " + std::to_string(n)));
  }
  if (n < 0) {
    return Index(Repair(int64_t{0}, "a connection is a block ID in " + Range(0, kMaxBlockID),
                        "Have put 0 (zero) instead of block number   " + std::to_string(n)));
  }
  return std::nullopt;
}

Result BlockTypeLetter(const RuleContext&, const FieldValue& v) {
  const std::string& text = std::get<std::string>(v);
  const char letter = text[0] >= 'a' && text[0] <= 'z' ? static_cast<char>(text[0] - 'a' + 'A') : text[0];
  // The dialog takes the first character of what is typed, in upper case.
  if (text.size() != 1 || letter != text[0]) {
    return Repair(std::string(1, letter), "a type is one capital letter: A..X, Z, %, & or @");
  }
  if (IsBlockType(letter)) return std::nullopt;
  return Keep("a block's type is one of the letters A..X, Z, %, & and @");
}

Result BlockName(const RuleContext&, const FieldValue& v) {
  if (std::get<std::string>(v).empty()) return Repair(std::string("blank"), "a name may not be empty");
  if (auto cut = TooLong(v, kMaxNameLength)) return Repair(*cut, "a name holds at most 10 characters");
  return std::nullopt;
}

Result BlockComment(const RuleContext&, const FieldValue& v) {
  if (auto cut = TooLong(v, kMaxCommentLength)) return Repair(*cut, "a comment holds at most 255 characters");
  return std::nullopt;
}

Result TypeState(const RuleContext& c, const FieldValue& v) {
  const BlockTypeInfo* info = FindBlockType(c.type);
  if (!info || info->states.Any()) return std::nullopt;
  const StateRange r = info->states;
  const int64_t n = Whole(v);
  if (n >= r.low && n <= r.high) return std::nullopt;
  const std::string rule = std::string("a block of type ") + TypeLetter(c.type) + " runs in the modes or states " +
                           Range(r.low, r.high);
  // The Fuzz generator takes the nearest of its modes at its next computation.
  if (c.type == BlockType::Fuzz) return Keep(rule, "as " + std::to_string(n < r.low ? r.low : r.high));
  return Keep(rule);
}

Result Connection(const RuleContext& c, const FieldValue& v) {
  // The Sum uses the sign of its IDs and the Visualizer reads B, C and D as pixel sizes.
  if (c.type == BlockType::Sum || c.type == BlockType::Visualizer) return std::nullopt;
  return BlockIDCorrection(Whole(v));
}

Result FiniteNumber(const RuleContext&, const FieldValue& v) {
  if (std::isfinite(std::get<double>(v))) return std::nullopt;
  return Refuse("it must be a finite number");
}

Result StoredList(const RuleContext& c, const FieldValue& v) {
  const auto& list = std::get<std::vector<double>>(v);
  for (size_t k = 0; k < list.size(); ++k) {
    if (auto r = ListEntry(c.type, static_cast<int64_t>(k), list[k])) {
      r->rule = "entry " + std::to_string(k) + " is " + FormatGeneral(list[k]) + ": " + r->rule;
      return r;
    }
  }
  return std::nullopt;
}

Result StoredEntry(const RuleContext& c, const FieldValue& v) {
  return ListEntry(c.type, c.target.element.value_or(0), std::get<double>(v));
}

Result TimeStep(const RuleContext& c, const FieldValue& v) {
  const double x = std::get<double>(v);
  if (!std::isfinite(x)) return Refuse("it must be a finite number");
  const std::string name = c.target.global->name;
  TimeSteps t = c.steps;
  SetTimeStep(t, *c.target.global, x);
  const TimeSteps checked = CheckedTimeSteps(t);
  const std::string graph_rule =
      "the graph step may not exceed the hold step Holdstep (" + FormatGeneral(t.Holdstep) + ")";
  const std::string step_rule =
      !(t.Delt > 0) ? std::string("the time step must be above 0")
                    : "the time step may not exceed the graph step GrDel (" + FormatGeneral(checked.GrDel) + ")";
  const auto lowers = [&](const char* step, double before, double after, const std::string& rule) {
    return Keep(rule, std::string(step) + " " + FormatGeneral(before) + " as " + FormatGeneral(after));
  };
  // The timing check (CheckTiming) repairs them once every step is given: a step is
  // blamed for its own change, or for a step below it that it lowers.
  if (name == "GrDel" && checked.GrDel != t.GrDel) return Keep(graph_rule, "as " + FormatGeneral(checked.GrDel));
  if (name == "Delt" && checked.Delt != t.Delt) return Keep(step_rule, "as " + FormatGeneral(checked.Delt));
  if (name == "Holdstep" && checked.GrDel != t.GrDel) return lowers("GrDel", t.GrDel, checked.GrDel, graph_rule);
  if (name != "Delt" && checked.Delt != t.Delt) return lowers("Delt", t.Delt, checked.Delt, step_rule);
  // A step below the resolution of the clock's times never reaches the next hold.
  if (name == "Delt" && (c.s.Start + x == c.s.Start || c.s.FinTim + x == c.s.FinTim)) {
    return Keep("the time step is too small to move the clock between Start " + FormatGeneral(c.s.Start) +
                " and FinTim " + FormatGeneral(c.s.FinTim));
  }
  return std::nullopt;
}

Result TriggerBlock(const RuleContext&, const FieldValue& v) {
  const int64_t n = Whole(v);
  if (n >= 0 && n <= kMaxBlockID) return std::nullopt;
  return Index(Keep("the hold trigger is a block ID in " + Range(0, kMaxBlockID)));
}

Result BlockID(const RuleContext&, const FieldValue& v) { return Within(v, 0, kMaxBlockID, "a block ID"); }

Result ChannelCount(const RuleContext&, const FieldValue& v) {
  return Within(v, 0, kMaxTapeChannels, "the number of channels");
}

Result NumberMode(const RuleContext&, const FieldValue& v) { return Within(v, 0, 3, "a number display mode"); }

Result TapeRow(const RuleContext&, const FieldValue& v) { return Within(v, -1, kTapeRows - 1, "the tape's last row"); }

}  // namespace trevolan::rules

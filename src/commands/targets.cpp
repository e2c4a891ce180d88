#include "commands/targets.h"

#include <limits>
#include <optional>
#include <string_view>

#include "editing/field_edit.h"
#include "model/numbers.h"

namespace trevolan::commands {

namespace {

double ParseDouble(const std::string& text) {
  const auto v = ParseFileNumber(text);
  if (!v) throw ConversionError(text);
  return *v;
}

// An ID or index as typed: nothing when the text is no decimal integer at all. One too
// large for 32 bits becomes a value outside every range, so that using it raises the
// range error of any other index out of range rather than a usage error.
std::optional<int64_t> ParseIndex(std::string_view text) {
  if (const auto v = ParseFileInteger(text)) return *v;
  const size_t sign = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
  if (text.size() == sign) return std::nullopt;
  for (size_t i = sign; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  return text[0] == '-' ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
}

bool IsTapeCell(const std::string& target) { return target.rfind("tape.", 0) == 0; }

// tape.R.C: its row and column.
std::pair<int64_t, int64_t> TapeCellOf(const std::string& target) {
  const size_t dot = target.find('.', 5);
  if (dot == std::string::npos) throw UsageError("tape targets are tape.R.C: " + target);
  const auto r = ParseIndex(std::string_view(target).substr(5, dot - 5));
  const auto c = ParseIndex(std::string_view(target).substr(dot + 1));
  if (!r || !c) throw UsageError("tape targets are tape.R.C: " + target);
  return {*r, *c};
}

// Whether the target names a list (a block's stored list; set takes any number of values).
bool IsList(const Target& t) { return t.field && !t.element && std::holds_alternative<std::vector<double> TBlock::*>(t.field->member); }

// A number field read through its own address.
struct Reader {
  Sim& s;
  int64_t id;
  std::function<double()> operator()(double TBlock::*m) const { return [&f = s.block(id).*m] { return f; }; }
  std::function<double()> operator()(int32_t TBlock::*m) const {
    return [&f = s.block(id).*m] { return static_cast<double>(f); };
  }
  std::function<double()> operator()(double Sim::*m) const { return [&f = s.*m] { return f; }; }
  std::function<double()> operator()(int32_t Sim::*m) const { return [&f = s.*m] { return static_cast<double>(f); }; }
  std::function<double()> operator()(bool Sim::*m) const { return [&f = s.*m] { return f ? 1.0 : 0.0; }; }
  template <typename M>
  std::function<double()> operator()(M) const {
    throw UsageError("not a number");
  }
};

}  // namespace

Target ParseTarget(const std::string& target) {
  if (const GlobalField* g = FindGlobalField(target)) return {.global = g};
  const size_t dot = target.find('.');
  const auto id = dot == std::string::npos ? std::nullopt : ParseIndex(std::string_view(target).substr(0, dot));
  if (!id || IsTapeCell(target)) throw UsageError("unknown target: " + target);
  const std::string field = target.substr(dot + 1);
  if (const BlockField* f = FindBlockField(field); f && f->addressable) return {.field = f, .id = *id};
  if (field.rfind("stored[", 0) == 0 && field.back() == ']') {
    const auto k = ParseIndex(std::string_view(field).substr(7, field.size() - 8));
    if (!k) throw UsageError("bad stored index in: " + field);
    return {.field = FindBlockField("stored"), .id = *id, .element = *k};
  }
  throw UsageError("unknown block field: " + field);
}

FieldValue ReadTarget(const Sim& s, const std::string& target) {
  if (IsTapeCell(target)) {
    const auto [r, c] = TapeCellOf(target);
    return s.TapeCell(c, r);
  }
  return ReadField(s, ParseTarget(target));
}

std::string PrintTarget(const Sim& s, const std::string& target) { return FormatFieldValue(ReadTarget(s, target)); }

FieldValue ValueOfTexts(const Target& t, const std::vector<std::string>& texts) {
  if (IsList(t)) {
    std::vector<double> list;
    for (const std::string& text : texts) list.push_back(ParseDouble(text));
    return list;
  }
  if (texts.size() != 1) throw UsageError(t.Name() + " takes one value");
  const std::string& text = texts[0];
  const FieldValue kind = ZeroOfKind(t);
  if (std::holds_alternative<std::string>(kind)) return text;
  return ParseDouble(text);
}

FieldValue ParsedForTarget(const Target& t, FieldValue v) {
  const auto* text = std::get_if<std::string>(&v);
  if (!text || std::holds_alternative<std::string>(ZeroOfKind(t))) return v;
  return ValueOfTexts(t, {*text});
}

void SetTarget(Sim& s, const std::string& target, const std::vector<std::string>& texts) {
  if (IsTapeCell(target)) throw UsageError("cannot set: " + target);
  const Target t = ParseTarget(target);
  if (t.field) s.block(t.id);  // an ID outside the table is a range error before anything else
  FieldValue v = ValueOfTexts(t, texts);
  // As the model file reads them: a number rounded into an integer field (beyond 32
  // bits a range error), any number but 0 a set flag, the first letter of a type.
  if (const auto* d = std::get_if<double>(&v)) {
    const FieldValue kind = ZeroOfKind(t);
    if (std::holds_alternative<int64_t>(kind)) v = int64_t{ToInt32(*d)};
    if (std::holds_alternative<bool>(kind)) v = *d != 0;
  }
  if (auto* text = std::get_if<std::string>(&v); text && t.field && t.field->member == BlockMember{&TBlock::Type}) {
    if (text->empty()) throw RangeError();
    text->resize(1);
  }
  StoreField(s, t, v);
}

void SetNamedTarget(Sim& s, const std::string& target, const FieldValue& value) {
  const Target t = ParseTarget(TargetOfName(s, target));
  SetField(s, t, ParsedForTarget(t, value));
}

RangeError TargetRangeError(const Sim& s, const std::string& target) {
  const std::string text = "Range check error: " + target;
  const auto id = TargetBlock(target);
  if (id && (*id < 0 || *id > kMaxBlockID)) {
    return RangeError(text + ": block IDs are 0.." + std::to_string(kMaxBlockID));
  }
  if (id && target.find(".stored[") != std::string::npos) {
    const size_t n = s.block(*id).stored.size();
    return RangeError(text + ": block " + std::to_string(*id) +
                      (n == 0 ? " has no stored entries" : " has stored entries 0.." + std::to_string(n - 1)));
  }
  if (IsTapeCell(target)) {
    return RangeError(text + ": the tape has rows 0.." + std::to_string(kTapeRows - 1) + " and columns 0.." +
                      std::to_string(kTapeColumns - 1));
  }
  return RangeError(text);
}

std::optional<int64_t> TargetBlock(const std::string& target) {
  if (IsTapeCell(target) || FindGlobalField(target)) return std::nullopt;
  const size_t dot = target.find('.');
  if (dot == std::string::npos) return std::nullopt;
  return ParseIndex(std::string_view(target).substr(0, dot));
}

std::string TargetOfName(const Sim& s, const std::string& target) {
  if (target.empty() || IsTapeCell(target) || FindGlobalField(target)) return target;
  const size_t dot = target.find('.');
  const std::string head = target.substr(0, dot);
  if (ParseIndex(head)) return target;
  std::vector<int> ids;
  for (int id = 0; id <= kMaxBlockID; ++id) {
    const TBlock& b = s.block(id);
    if (b.Type != BlockType::Empty && b.Name == head) ids.push_back(id);
  }
  if (ids.empty()) {
    if (dot == std::string::npos) throw UnknownName("unknown target: " + target + " (no global and no block is named so)");
    throw UnknownName("no block is named '" + head + "'");
  }
  if (ids.size() > 1) {
    std::string list;
    for (const int id : ids) list += (list.empty() ? "" : ", ") + std::to_string(id);
    throw UnknownName("the name '" + head + "' is shared by blocks " + list + ": name one by its ID");
  }
  return std::to_string(ids[0]) + (dot == std::string::npos ? ".Value" : target.substr(dot));
}

std::function<double()> NumberTarget(Sim& s, const std::string& target) {
  if (IsTapeCell(target)) {
    const auto cell = TapeCellOf(target);
    s.TapeCell(cell.second, cell.first);
    return [&s, cell] { return s.TapeCell(cell.second, cell.first); };
  }
  const Target t = ParseTarget(target);
  const FieldValue now = ReadField(s, t);  // an ID or index out of range fails here
  if (std::holds_alternative<std::string>(now) || std::holds_alternative<std::vector<double>>(now)) {
    throw UsageError("not a number: " + target);
  }
  if (t.element) return [&b = s.block(t.id), k = *t.element] { return StoredAt(b, k); };
  // Read through the field's own address: statistics read it at every step.
  return t.global ? std::visit(Reader{s, 0}, t.global->member) : std::visit(Reader{s, t.id}, t.field->member);
}

std::string TargetFieldNames() {
  std::string names;
  for (const BlockField& f : BlockFields()) {
    if (f.addressable) names += (names.empty() ? "" : ", ") + std::string(f.name);
  }
  return names;
}

std::string TargetGlobalNames() {
  std::string names;
  for (const GlobalField& g : GlobalFields()) {
    if (g.addressable) names += (names.empty() ? "" : ", ") + std::string(g.name);
  }
  return names;
}

}  // namespace trevolan::commands

#include "model/fields.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "model/field_rows.h"
#include "model/numbers.h"
#include "model/text.h"

namespace trevolan {

namespace {

using table::kBlockFields;
using table::kGlobalFields;

template <typename Table>
auto FindByName(const Table& table, std::string_view name) -> decltype(&table[0]) {
  const auto it = std::find_if(std::begin(table), std::end(table), [name](const auto& f) { return f.name == name; });
  return it == std::end(table) ? nullptr : &*it;
}

template <typename Table>
auto FindByDialogName(const Table& table, std::string_view name) -> decltype(&table[0]) {
  const auto it =
      std::find_if(std::begin(table), std::end(table), [name](const auto& f) { return f.dialog && f.dialog == name; });
  return it == std::end(table) ? nullptr : &*it;
}

}  // namespace

std::span<const BlockField> BlockFields() { return kBlockFields; }

const BlockField* FindBlockField(std::string_view name) { return FindByName(kBlockFields, name); }

const BlockField& BlockFieldOf(const BlockMember& member) {
  for (const BlockField& f : kBlockFields) {
    if (f.member == member) return f;
  }
  throw UsageError("not a field of a block");
}

std::span<const GlobalField> GlobalFields() { return kGlobalFields; }

const GlobalField* FindGlobalField(std::string_view name) {
  const GlobalField* f = FindByName(kGlobalFields, name);
  return f && f->addressable ? f : nullptr;
}

const GlobalField* MirroredGlobal(int64_t id, const BlockMember& member) {
  for (const GlobalField& g : kGlobalFields) {
    if (g.mirror_block == id && g.mirror_field == member) return &g;
  }
  return nullptr;
}

const BlockField* FindBlockDialogField(std::string_view dialog_name) {
  return FindByDialogName(kBlockFields, dialog_name);
}

const GlobalField* FindGlobalDialogField(std::string_view dialog_name) {
  return FindByDialogName(kGlobalFields, dialog_name);
}

std::string Target::Name() const {
  if (global) return global->name;
  std::string name = std::to_string(id) + "." + (field ? field->name : "?");
  if (element) name += "[" + std::to_string(*element) + "]";
  return name;
}

std::string FormatFieldValue(const FieldValue& value) {
  struct Format {
    std::string operator()(int64_t v) const { return std::to_string(v); }
    std::string operator()(double v) const { return FormatGeneral(v); }
    std::string operator()(bool v) const { return v ? "1" : "0"; }
    std::string operator()(const std::string& v) const { return v; }
    std::string operator()(const std::vector<double>& list) const {
      std::string out;
      for (size_t i = 0; i < list.size(); ++i) out += (i ? " " : "") + FormatGeneral(list[i]);
      return out;
    }
  };
  return std::visit(Format{}, value);
}

namespace {

// A member's value as a FieldValue.
struct Read {
  FieldValue operator()(int32_t v) const { return int64_t{v}; }
  FieldValue operator()(double v) const { return v; }
  FieldValue operator()(bool v) const { return v; }
  FieldValue operator()(BlockType v) const { return std::string(1, TypeLetter(v)); }
  FieldValue operator()(const std::string& v) const { return v; }
  FieldValue operator()(const std::vector<double>& v) const { return v; }
  FieldValue operator()(const std::array<int32_t, kTapeColumns>&) const { throw UsageError("not a target"); }
};

// A FieldValue written into a member of its kind (OfFieldKind made it so).
struct Write {
  const FieldValue& v;
  size_t max_length;
  void operator()(int32_t& m) const { m = static_cast<int32_t>(std::get<int64_t>(v)); }
  void operator()(double& m) const { m = std::get<double>(v); }
  void operator()(bool& m) const { m = std::get<bool>(v); }
  void operator()(BlockType& m) const { m = TypeOfLetter(std::get<std::string>(v).at(0)); }
  void operator()(std::string& m) const {
    const std::string& text = std::get<std::string>(v);
    m = max_length == 0 ? text : FitText(text, max_length);
  }
  void operator()(std::vector<double>& m) const { m = std::get<std::vector<double>>(v); }
  void operator()(std::array<int32_t, kTapeColumns>&) const { throw UsageError("not a target"); }
};

// What kind of value a target holds: the index of its kind in FieldValue, 5 for a type.
enum class Kind { kWhole, kNumber, kFlag, kText, kList, kLetter };

Kind KindOf(const Target& t) {
  if (t.element) return Kind::kNumber;
  struct Of {
    Kind operator()(int32_t TBlock::*) const { return Kind::kWhole; }
    Kind operator()(double TBlock::*) const { return Kind::kNumber; }
    Kind operator()(BlockType TBlock::*) const { return Kind::kLetter; }
    Kind operator()(std::string TBlock::*) const { return Kind::kText; }
    Kind operator()(std::vector<double> TBlock::*) const { return Kind::kList; }
    Kind operator()(int32_t Sim::*) const { return Kind::kWhole; }
    Kind operator()(double Sim::*) const { return Kind::kNumber; }
    Kind operator()(bool Sim::*) const { return Kind::kFlag; }
    Kind operator()(std::string Sim::*) const { return Kind::kText; }
    Kind operator()(std::array<int32_t, kTapeColumns> Sim::*) const { return Kind::kList; }
  };
  return t.global ? std::visit(Of{}, t.global->member) : std::visit(Of{}, t.field->member);
}

const char* KindName(Kind k) {
  switch (k) {
    case Kind::kWhole: return "a whole number";
    case Kind::kNumber: return "a number";
    case Kind::kFlag: return "a flag (0 or 1)";
    case Kind::kText: return "a text";
    case Kind::kList: return "a list of numbers";
    case Kind::kLetter: return "a type letter";
  }
  return "";
}

const char* ValueKindName(const FieldValue& v) {
  static const char* const names[] = {"a whole number", "a number", "a flag", "a text", "a list"};
  return names[v.index()];
}

}  // namespace

FieldValue ReadField(const Sim& s, const Target& t) {
  if (t.global) return std::visit([&s](auto m) { return Read{}(s.*m); }, t.global->member);
  const TBlock& b = s.block(t.id);
  if (t.element) return StoredAt(b, *t.element);
  return std::visit([&b](auto m) { return Read{}(b.*m); }, t.field->member);
}

FieldValue ZeroOfKind(const Target& t) {
  switch (KindOf(t)) {
    case Kind::kWhole: return int64_t{0};
    case Kind::kNumber: return 0.0;
    case Kind::kFlag: return false;
    case Kind::kText:
    case Kind::kLetter: return std::string();
    case Kind::kList: return std::vector<double>();
  }
  return int64_t{0};
}

FieldValue OfFieldKind(const Target& t, FieldValue v, bool round_whole) {
  const Kind kind = KindOf(t);
  const auto wrong = [&] {
    return ValueTypeError(t.Name() + " takes " + KindName(kind) + ", not " + ValueKindName(v) +
                          (std::holds_alternative<std::string>(v) ? " ('" + std::get<std::string>(v) + "')" : ""));
  };
  const auto refuse = [&](const std::string& rule) { return RuleError(t.Name(), FormatFieldValue(v), rule); };
  if (const auto* b = std::get_if<bool>(&v); b && kind != Kind::kFlag && kind != Kind::kText) v = int64_t{*b};
  switch (kind) {
    case Kind::kWhole: {
      if (const auto* d = std::get_if<double>(&v)) {
        const double whole = round_whole ? RoundHalfEven(*d) : *d;
        if (!std::isfinite(*d)) throw refuse("it is a whole number");
        if (std::nearbyint(whole) != whole) {
          throw RuleError(t.Name(), FormatFieldValue(v), "it is a whole number", "as " + FormatGeneral(RoundHalfEven(*d)));
        }
        if (!(std::fabs(whole) < 0x1p31) && whole != -0x1p31) throw refuse("it is a 32-bit number");
        return static_cast<int64_t>(whole);
      }
      const auto* i = std::get_if<int64_t>(&v);
      if (!i) throw wrong();
      if (*i < INT32_MIN || *i > INT32_MAX) throw refuse("it is a 32-bit number");
      return v;
    }
    case Kind::kNumber:
      if (const auto* i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
      if (!std::holds_alternative<double>(v)) throw wrong();
      return v;
    case Kind::kFlag:
      if (const auto* i = std::get_if<int64_t>(&v)) {
        if (*i != 0 && *i != 1) throw refuse("a flag is 0 or 1");
        return *i == 1;
      }
      if (const auto* d = std::get_if<double>(&v)) {
        if (*d != 0 && *d != 1) throw refuse("a flag is 0 or 1");
        return *d == 1;
      }
      if (!std::holds_alternative<bool>(v)) throw wrong();
      return v;
    case Kind::kText:
      if (!std::holds_alternative<std::string>(v)) throw wrong();
      return v;
    case Kind::kLetter:
      if (!std::holds_alternative<std::string>(v)) throw wrong();
      if (std::get<std::string>(v).empty()) throw refuse("a type is one letter");
      return v;
    case Kind::kList:
      if (const auto* d = std::get_if<double>(&v)) return std::vector<double>{*d};
      if (const auto* i = std::get_if<int64_t>(&v)) return std::vector<double>{static_cast<double>(*i)};
      if (!std::holds_alternative<std::vector<double>>(v)) throw wrong();
      return v;
  }
  throw wrong();
}

std::optional<Correction> CheckRule(const Sim& s, const Target& t, const FieldValue& v, BlockType type,
                                    const TimeSteps& steps) {
  RuleContext context{s, t, t.id, type, steps};
  if (t.global) return t.global->rule ? t.global->rule(context, v) : std::nullopt;
  if (t.element) return rules::StoredEntry(context, v);
  // A system block's field that mirrors a global takes the global's rule.
  if (const GlobalField* g = MirroredGlobal(t.id, t.field->member); g && g->rule) {
    const Target global{.global = g};
    return g->rule(RuleContext{s, global, 0, type, steps}, OfFieldKind(global, v));
  }
  if (!t.field->rule) return std::nullopt;
  // A number the field holds already stays, finite or not: a model file may hold one.
  if (const auto* d = std::get_if<double>(&v); d && !std::isfinite(*d) && SameValue(ReadField(s, t), v)) {
    return std::nullopt;
  }
  return t.field->rule(context, v);
}

void StoreField(Sim& s, const Target& t, const FieldValue& v) {
  if (t.global) {
    std::visit([&](auto m) { Write{v, 0}(s.*m); }, t.global->member);
    return;
  }
  TBlock& b = s.block(t.id);
  if (t.element) {
    StoredAt(b, *t.element) = std::get<double>(v);
    return;
  }
  std::visit([&](auto m) { Write{v, t.field->max_length}(b.*m); }, t.field->member);
}

namespace {

// The first index of that field or global outside its bounds, as the detail says it.
std::optional<std::string> IndexFault(const Sim& s, const Target& t, BlockType type) {
  const FieldValue v = ReadField(s, t);
  const std::optional<Correction> c = CheckRule(s, t, v, type, {s.Delt, s.GrDel, s.Holdstep});
  if (!c || !c->index) return std::nullopt;
  std::string name = t.global ? t.global->name : t.field->name;
  if (t.element) name += "[" + std::to_string(*t.element) + "]";
  return name + " " + FormatFieldValue(v) + ": " + c->rule;
}

}  // namespace

std::string RangeFaultDetail(const Sim& s) {
  for (const GlobalField& g : kGlobalFields) {
    if (!g.addressable || !g.rule) continue;
    if (auto fault = IndexFault(s, {.global = &g}, BlockType::Empty)) return *fault;
  }
  const int64_t last = std::clamp<int64_t>(s.HighestBlock, 0, kMaxBlockID);
  for (int64_t id = 0; id <= last; ++id) {
    const TBlock& b = s.block(id);
    if (b.Type == BlockType::Empty) continue;
    for (const BlockField& f : kBlockFields) {
      if (!f.addressable || !f.rule) continue;
      if (f.member == BlockMember{&TBlock::stored}) {
        for (int64_t k = 1; k < static_cast<int64_t>(b.stored.size()) && k <= kMaxTapeChannels; ++k) {
          if (auto fault = IndexFault(s, {.field = &f, .id = id, .element = k}, b.Type)) {
            return "block " + std::to_string(id) + " (" + b.Name + "): " + *fault;
          }
        }
        continue;
      }
      if (auto fault = IndexFault(s, {.field = &f, .id = id}, b.Type)) {
        return "block " + std::to_string(id) + " (" + b.Name + "): " + *fault;
      }
    }
  }
  return "";
}

void SetTimeStep(TimeSteps& t, const GlobalField& g, double v) {
  if (g.member == GlobalMember{&Sim::Delt}) t.Delt = v;
  if (g.member == GlobalMember{&Sim::GrDel}) t.GrDel = v;
  if (g.member == GlobalMember{&Sim::Holdstep}) t.Holdstep = v;
}

bool SameBits(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }

bool SameField(const std::vector<double>& a, const std::vector<double>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](double x, double y) { return SameBits(x, y); });
}

bool SameBlock(const TBlock& a, const TBlock& b) {
  bool same = true;
  ForEachBlockMember([&](auto member) { same = same && SameField(a.*member, b.*member); });
  return same;
}

bool SameValue(const FieldValue& a, const FieldValue& b) {
  if (a.index() != b.index()) return false;
  return std::visit(
      [&b](const auto& x) {
        using T = std::decay_t<decltype(x)>;
        return SameField(x, std::get<T>(b));
      },
      a);
}

}  // namespace trevolan

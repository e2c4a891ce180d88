#include "model/fields.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "model/field_rules.h"
#include "model/numbers.h"
#include "model/text.h"

namespace trevolan {

namespace {

using S = Sim;
using B = TBlock;
using E = FieldEffect;

// In the order of the model file's block line, then the data line.
constexpr BlockField kBlockFields[] = {
    {.name = "Type", .member = &B::Type, .file_column = 0, .file_name = "@Type", .dialog = "type",
     .rule = rules::BlockTypeLetter},
    {.name = "ID", .member = &B::ID, .addressable = false, .file_column = 1, .file_name = "ID#", .dialog = "id"},
    {.name = "Name", .member = &B::Name, .max_length = kMaxNameLength, .file_column = 2, .dialog = "name",
     .rule = rules::BlockName},
    {.name = "XX", .member = &B::XX, .file_column = 3, .dialog = "x"},
    {.name = "YY", .member = &B::YY, .file_column = 4, .dialog = "y"},
    {.name = "OnOff", .member = &B::OnOff, .file_column = 5, .dialog = "onoff"},
    {.name = "Displ", .member = &B::Displ, .file_column = 6, .dialog = "display"},
    {.name = "State", .member = &B::State, .file_column = 7, .dialog = "mode", .rule = rules::TypeState},
    {.name = "An", .member = &B::An, .file_column = 8, .dialog = "an", .rule = rules::Connection},
    {.name = "Bn", .member = &B::Bn, .file_column = 9, .dialog = "bn", .rule = rules::Connection},
    {.name = "Cn", .member = &B::Cn, .file_column = 10, .dialog = "cn", .rule = rules::Connection},
    {.name = "Dn", .member = &B::Dn, .file_column = 11, .dialog = "dn", .rule = rules::Connection},
    {.name = "Pn", .member = &B::Pn, .file_column = 12, .dialog = "pn", .rule = rules::Connection},
    {.name = "aa", .member = &B::aa, .file_column = 14, .dialog = "aa", .rule = rules::FiniteNumber},
    {.name = "bb", .member = &B::bb, .file_column = 15, .dialog = "bb", .rule = rules::FiniteNumber},
    {.name = "cc", .member = &B::cc, .file_column = 16, .dialog = "cc", .rule = rules::FiniteNumber},
    {.name = "dd", .member = &B::dd, .file_column = 17, .dialog = "dd", .rule = rules::FiniteNumber},
    {.name = "pp", .member = &B::pp, .file_column = 18, .dialog = "pp", .rule = rules::FiniteNumber},
    {.name = "Value", .member = &B::Value, .file_column = 19, .dialog = "value", .rule = rules::FiniteNumber},
    {.name = "Comment", .member = &B::Comment, .max_length = kMaxCommentLength, .file_column = 20,
     .dialog = "comment", .rule = rules::BlockComment},
    // Its length in the block line's column 13, its entries on the data line after it.
    {.name = "stored", .member = &B::stored, .file_column = 13, .file_name = "#stored", .rule = rules::StoredList,
     .effect = E::kChannels},
};
// A field added to TBlock needs a row above: every copy, comparison and target walks
// the table, so a field missing from it would be silently lost by undo.
static_assert(sizeof(TBlock) == 4 * 12 + 8 * 6 + 2 * sizeof(std::string) + sizeof(std::vector<double>));

constexpr E kTiming = E::kTiming;
constexpr E kNumbers = E::kNumberDisplay;

// Every global a user can address or an edit can change. The timing globals are
// changed by the timing dialog, so every face applies them with its rules; the plot
// and number globals by the block dialog of the Graphs block and the number dialog.
// Blocks 2..17 mirror the first sixteen, and their defaults are the system blocks'.
constexpr GlobalField kGlobalFields[] = {
    {.name = "Time", .member = &S::Time, .edit = true, .dialog = "current", .rule = rules::FiniteNumber,
     .effect = kTiming, .mirror_block = 2, .initial = 0, .reset_sets = true},
    {.name = "Delt", .member = &S::Delt, .edit = true, .dialog = "delt", .rule = rules::TimeStep, .effect = kTiming,
     .mirror_block = 3, .initial = 1},
    {.name = "Start", .member = &S::Start, .edit = true, .dialog = "start", .rule = rules::FiniteNumber,
     .effect = kTiming, .mirror_block = 4, .initial = 0},
    {.name = "FinTim", .member = &S::FinTim, .edit = true, .dialog = "finish", .rule = rules::FiniteNumber,
     .effect = kTiming, .mirror_block = 5, .initial = 1000},
    {.name = "GrDel", .member = &S::GrDel, .edit = true, .dialog = "graph", .rule = rules::TimeStep,
     .effect = kTiming, .mirror_block = 6, .initial = 10},
    {.name = "GrNext", .member = &S::GrNext, .edit = true, .dialog = "graphnext", .rule = rules::FiniteNumber,
     .effect = kTiming, .mirror_block = 7, .initial = 10, .reset_sets = true},
    {.name = "Holdstep", .member = &S::Holdstep, .edit = true, .dialog = "hold", .rule = rules::TimeStep,
     .effect = kTiming, .mirror_block = 8, .initial = 100},
    {.name = "Holdnext", .member = &S::Holdnext, .edit = true, .dialog = "holdnext", .rule = rules::FiniteNumber,
     .effect = kTiming, .mirror_block = 9, .initial = 100, .reset_sets = true},
    {.name = "ScaleOrgn", .member = &S::ScaleOrgn, .edit = true, .dialog = "origin", .rule = rules::FiniteNumber,
     .effect = kNumbers, .mirror_block = 10, .initial = 0},
    {.name = "ScaleFactr", .member = &S::ScaleFactr, .edit = true, .dialog = "factor", .rule = rules::FiniteNumber,
     .effect = kNumbers, .mirror_block = 11, .initial = 1},
    {.name = "ColourMin", .member = &S::ColourMin, .edit = true, .dialog = "min", .rule = rules::FiniteNumber,
     .effect = kNumbers, .mirror_block = 12, .initial = 0},
    {.name = "ColourMax", .member = &S::ColourMax, .edit = true, .dialog = "max", .rule = rules::FiniteNumber,
     .effect = kNumbers, .mirror_block = 13, .initial = 100},
    {.name = "GrMinT", .member = &S::GrMinT, .edit = true, .rule = rules::FiniteNumber, .effect = kNumbers,
     .mirror_block = 14, .initial = 0},
    {.name = "GrMaxT", .member = &S::GrMaxT, .edit = true, .rule = rules::FiniteNumber, .effect = kNumbers,
     .mirror_block = 15, .initial = 1000},
    {.name = "GrMinY", .member = &S::GrMinY, .edit = true, .rule = rules::FiniteNumber, .effect = kNumbers,
     .mirror_block = 16, .initial = 0},
    {.name = "GrMaxY", .member = &S::GrMaxY, .edit = true, .rule = rules::FiniteNumber, .effect = kNumbers,
     .mirror_block = 17, .initial = 100},
    {.name = "TimeTol", .member = &S::TimeTol, .edit = true, .derived = true},
    {.name = "RepCount", .member = &S::RepCount, .edit = true, .dialog = "trigger", .rule = rules::TriggerBlock,
     .effect = kTiming, .mirror_block = kRepCountBlock, .mirror_field = &B::Dn},
    {.name = "VertIntv", .member = &S::VertIntv, .addressable = false, .edit = true, .mirror_block = kGraphsBlock,
     .mirror_field = &B::Value, .initial = 10},
    {.name = "HorizIntv", .member = &S::HorizIntv, .addressable = false, .edit = true, .mirror_block = kGraphsBlock,
     .mirror_field = &B::pp, .initial = 10},
    {.name = "HighestBlock", .member = &S::HighestBlock, .edit = true, .dialog = "highest", .rule = rules::BlockID},
    {.name = "TapeChannels", .member = &S::TapeChannels, .edit = true, .rule = rules::ChannelCount},
    {.name = "TapeChannelIDs", .member = &S::TapeChannelIDs, .addressable = false, .edit = true},
    {.name = "NumberMode", .member = &S::NumberMode, .rule = rules::NumberMode},
    {.name = "PickedBlock", .member = &S::PickedBlock, .rule = rules::BlockID},
    {.name = "LastX", .member = &S::LastX},
    {.name = "LastY", .member = &S::LastY},
    {.name = "TapeIndex", .member = &S::TapeIndex, .rule = rules::TapeRow, .reset_sets = true},
    {.name = "HoldFlag", .member = &S::HoldFlag},
    {.name = "RunBusy", .member = &S::RunBusy},
    {.name = "AnimFlag", .member = &S::AnimFlag},
    {.name = "GridFlag", .member = &S::GridFlag},
    {.name = "PlotFlag", .member = &S::PlotFlag},
    {.name = "DataFileName", .member = &S::DataFileName},
    {.name = "SaveFileName", .member = &S::SaveFileName},
    {.name = "TapeFileName", .member = &S::TapeFileName},
};

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

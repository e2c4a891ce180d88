#include "commands/targets.h"

#include <charconv>
#include <functional>
#include <limits>
#include <optional>
#include <string_view>

#include "model/fields.h"
#include "model/numbers.h"
#include "model/text.h"

namespace trevolan::commands {

namespace {

// A field or global: its value as it is held, and how set writes it from texts.
struct Accessor {
  std::function<TargetValue()> get;
  std::function<void(const std::vector<SetValue>&)> set;  // empty for read-only targets
  bool many_values = false;                                    // set takes a list
  std::function<double()> number = nullptr;                    // empty for texts and lists
};

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

// A set value as a double: a text as the model file writes numbers.
double NumberOf(const SetValue& v) {
  if (const auto* text = std::get_if<std::string>(&v)) return ParseDouble(*text);
  if (const auto* d = std::get_if<double>(&v)) return *d;
  if (const auto* i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
  return std::get<bool>(v) ? 1.0 : 0.0;
}

// A set value as a text: a number in the shortest form that reads back to it.
std::string TextOf(const SetValue& v) {
  if (const auto* text = std::get_if<std::string>(&v)) return *text;
  if (const auto* b = std::get_if<bool>(&v)) return *b ? "1" : "0";
  if (const auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
  char buf[32];
  const auto end = std::to_chars(buf, buf + sizeof buf, std::get<double>(v)).ptr;
  return std::string(buf, end);
}

// The accessor of one field, whichever object holds it; made from the field's member
// by its kind.
template <typename Object>
struct FieldAccessor {
  Object& o;
  size_t max_length;  // texts: characters kept; 0 keeps the whole text (paths)

  Accessor operator()(int32_t Object::*m) const {
    int32_t& f = o.*m;
    return {[&f] { return TargetValue{int64_t{f}}; }, [&f](const auto& v) { f = ToInt32(NumberOf(v[0])); }, false,
            [&f] { return static_cast<double>(f); }};
  }
  Accessor operator()(double Object::*m) const {
    double& f = o.*m;
    return {[&f] { return TargetValue{f}; }, [&f](const auto& v) { f = NumberOf(v[0]); }, false, [&f] { return f; }};
  }
  Accessor operator()(bool Object::*m) const {
    bool& f = o.*m;
    return {[&f] { return TargetValue{f}; }, [&f](const auto& v) { f = NumberOf(v[0]) != 0; }, false,
            [&f] { return f ? 1.0 : 0.0; }};
  }
  // Names and comments are kept as UTF-8 and cut by characters; paths are kept as given.
  Accessor operator()(std::string Object::*m) const {
    std::string& f = o.*m;
    return {[&f] { return TargetValue{f}; }, [&f, n = max_length](const auto& v) {
              f = n == 0 ? TextOf(v[0]) : FitText(TextOf(v[0]), n);
            }};
  }
  Accessor operator()(BlockType Object::*m) const {
    BlockType& f = o.*m;
    return {[&f] { return TargetValue{std::string(1, TypeLetter(f))}; }, [&f](const auto& v) {
              const std::string letter = TextOf(v[0]);
              if (letter.empty()) throw RangeError();
              f = TypeOfLetter(letter[0]);
            }};
  }
  Accessor operator()(std::vector<double> Object::*m) const {
    std::vector<double>& f = o.*m;
    Accessor a{[&f] { return TargetValue{f}; }, [&f](const auto& v) {
                 std::vector<double> list;
                 for (const auto& item : v) list.push_back(NumberOf(item));
                 f = std::move(list);
               }};
    a.many_values = true;
    return a;
  }
  // Lists of IDs are no targets.
  Accessor operator()(std::array<int32_t, kTapeColumns> Object::*) const { throw UsageError("not a target"); }
};

Accessor BlockField(TBlock& b, const std::string& field) {
  if (const trevolan::BlockField* f = FindBlockField(field); f && f->addressable) {
    return std::visit(FieldAccessor<TBlock>{b, f->max_length}, f->member);
  }
  const size_t open = field.find('[');
  if (field.rfind("stored[", 0) == 0 && field.back() == ']') {
    const auto k = ParseIndex(std::string_view(field).substr(open + 1, field.size() - open - 2));
    if (!k) throw UsageError("bad stored index in: " + field);
    const int64_t i = *k;
    StoredAt(b, i);  // an index outside the list is a range error, also for print
    return {[&b, i] { return TargetValue{StoredAt(b, i)}; },
            [&b, i](const auto& v) { StoredAt(b, i) = NumberOf(v[0]); }, false,
            [&b, i] { return StoredAt(b, i); }};
  }
  throw UsageError("unknown block field: " + field);
}

std::optional<Accessor> GlobalField(Sim& s, const std::string& name) {
  const trevolan::GlobalField* f = FindGlobalField(name);
  if (!f) return std::nullopt;
  return std::visit(FieldAccessor<Sim>{s, 0}, f->member);
}

// tape.R.C: read only.
Accessor TapeCellTarget(Sim& s, const std::string& target) {
  const size_t dot = target.find('.', 5);
  if (dot == std::string::npos) throw UsageError("tape targets are tape.R.C: " + target);
  const auto r = ParseIndex(std::string_view(target).substr(5, dot - 5));
  const auto c = ParseIndex(std::string_view(target).substr(dot + 1));
  if (!r || !c) throw UsageError("tape targets are tape.R.C: " + target);
  const double v = s.TapeCell(*c, *r);
  return {[v] { return TargetValue{v}; }, nullptr, false, [&s, row = *r, col = *c] { return s.TapeCell(col, row); }};
}

Accessor Resolve(Sim& s, const std::string& target) {
  if (target.rfind("tape.", 0) == 0) return TapeCellTarget(s, target);
  if (auto g = GlobalField(s, target)) return *g;
  const size_t dot = target.find('.');
  if (dot != std::string::npos) {
    if (const auto id = ParseIndex(std::string_view(target).substr(0, dot))) {
      return BlockField(s.block(*id), target.substr(dot + 1));
    }
  }
  throw UsageError("unknown target: " + target);
}

}  // namespace

TargetValue ReadTarget(const Sim& s, const std::string& target) {
  // Resolving never writes; the const_cast only lets one accessor serve print and set.
  return Resolve(const_cast<Sim&>(s), target).get();
}

std::string FormatTargetValue(const TargetValue& value) {
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

std::string PrintTarget(const Sim& s, const std::string& target) { return FormatTargetValue(ReadTarget(s, target)); }

void SetTarget(Sim& s, const std::string& target, const std::vector<std::string>& values) {
  SetTarget(s, target, std::vector<SetValue>(values.begin(), values.end()));
}

void SetTarget(Sim& s, const std::string& target, const std::vector<SetValue>& values) {
  Accessor a = Resolve(s, target);
  if (!a.set) throw UsageError("cannot set: " + target);
  if (!a.many_values && values.size() != 1) throw UsageError("set " + target + " takes one value");
  a.set(values);
}

std::optional<int64_t> TargetBlock(const std::string& target) {
  if (target.rfind("tape.", 0) == 0 || FindGlobalField(target)) return std::nullopt;
  const size_t dot = target.find('.');
  if (dot == std::string::npos) return std::nullopt;
  return ParseIndex(std::string_view(target).substr(0, dot));
}

std::string TargetOfName(const Sim& s, const std::string& target) {
  if (target.empty() || target.rfind("tape.", 0) == 0 || FindGlobalField(target)) return target;
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
  Accessor a = Resolve(s, target);
  if (!a.number) throw UsageError("not a number: " + target);
  return a.number;
}

}  // namespace trevolan::commands

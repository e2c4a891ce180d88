#include "commands/targets.h"

#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string_view>

#include "model/numbers.h"
#include "model/text.h"

namespace trevolan::commands {

namespace {

// A field or global: its value as it is held, and how set writes it from texts.
struct Accessor {
  std::function<TargetValue()> get;
  std::function<void(const std::vector<std::string>&)> set;  // empty for read-only targets
  bool many_values = false;                                    // set takes a list
  std::function<double()> number = nullptr;                    // empty for texts and lists
};

double ParseDouble(const std::string& text) {
  const auto v = ParseFileNumber(text);
  if (!v) throw ConversionError(text);
  return *v;
}

int32_t ParseInt(const std::string& text) { return ToInt32(ParseDouble(text)); }

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

Accessor IntField(int32_t& f) {
  return {[&f] { return TargetValue{int64_t{f}}; }, [&f](const auto& v) { f = ParseInt(v[0]); }, false,
          [&f] { return static_cast<double>(f); }};
}
Accessor DoubleField(double& f) {
  return {[&f] { return TargetValue{f}; }, [&f](const auto& v) { f = ParseDouble(v[0]); }, false,
          [&f] { return f; }};
}
Accessor FlagField(bool& f) {
  return {[&f] { return TargetValue{f}; }, [&f](const auto& v) { f = ParseDouble(v[0]) != 0; }, false,
          [&f] { return f ? 1.0 : 0.0; }};
}
Accessor TextField(std::string& f, size_t max_length = std::string::npos) {
  // Names and comments are kept as UTF-8 and cut by characters; paths are kept as given.
  return {[&f] { return TargetValue{f}; }, [&f, max_length](const auto& v) {
            f = max_length == std::string::npos ? v[0] : FitText(v[0], max_length);
          }};
}

Accessor BlockField(TBlock& b, const std::string& field) {
  static const std::map<std::string, int32_t TBlock::*> ints = {
      {"OnOff", &TBlock::OnOff}, {"Displ", &TBlock::Displ}, {"State", &TBlock::State}, {"XX", &TBlock::XX},
      {"YY", &TBlock::YY},       {"An", &TBlock::An},       {"Bn", &TBlock::Bn},       {"Cn", &TBlock::Cn},
      {"Dn", &TBlock::Dn},       {"Pn", &TBlock::Pn}};
  static const std::map<std::string, double TBlock::*> doubles = {
      {"aa", &TBlock::aa}, {"bb", &TBlock::bb}, {"cc", &TBlock::cc},
      {"dd", &TBlock::dd}, {"pp", &TBlock::pp}, {"Value", &TBlock::Value}};
  if (auto it = ints.find(field); it != ints.end()) return IntField(b.*(it->second));
  if (auto it = doubles.find(field); it != doubles.end()) return DoubleField(b.*(it->second));
  if (field == "Name") return TextField(b.Name, kMaxNameLength);
  if (field == "Comment") return TextField(b.Comment, kMaxCommentLength);
  if (field == "Type") {
    return {[&b] { return TargetValue{std::string(1, TypeLetter(b.Type))}; },
            [&b](const auto& v) {
              if (v[0].empty()) throw RangeError();
              b.Type = TypeOfLetter(v[0][0]);
            }};
  }
  if (field == "stored") {
    Accessor a{[&b] { return TargetValue{b.stored}; },
               [&b](const auto& v) {
                 std::vector<double> list;
                 for (const auto& text : v) list.push_back(ParseDouble(text));
                 b.stored = std::move(list);
               }};
    a.many_values = true;
    return a;
  }
  const size_t open = field.find('[');
  if (field.rfind("stored[", 0) == 0 && field.back() == ']') {
    const auto k = ParseIndex(std::string_view(field).substr(open + 1, field.size() - open - 2));
    if (!k) throw UsageError("bad stored index in: " + field);
    const int64_t i = *k;
    StoredAt(b, i);  // an index outside the list is a range error, also for print
    return {[&b, i] { return TargetValue{StoredAt(b, i)}; },
            [&b, i](const auto& v) { StoredAt(b, i) = ParseDouble(v[0]); }, false,
            [&b, i] { return StoredAt(b, i); }};
  }
  throw UsageError("unknown block field: " + field);
}

std::optional<Accessor> GlobalField(Sim& s, const std::string& name) {
  const std::map<std::string, double*> doubles = {
      {"Time", &s.Time},         {"Delt", &s.Delt},           {"Start", &s.Start},         {"FinTim", &s.FinTim},
      {"GrDel", &s.GrDel},       {"GrNext", &s.GrNext},       {"Holdstep", &s.Holdstep},   {"Holdnext", &s.Holdnext},
      {"TimeTol", &s.TimeTol},   {"ScaleOrgn", &s.ScaleOrgn}, {"ScaleFactr", &s.ScaleFactr},
      {"ColourMin", &s.ColourMin}, {"ColourMax", &s.ColourMax}, {"GrMinT", &s.GrMinT},   {"GrMaxT", &s.GrMaxT},
      {"GrMinY", &s.GrMinY},     {"GrMaxY", &s.GrMaxY}};
  const std::map<std::string, int32_t*> ints = {
      {"RepCount", &s.RepCount},     {"HighestBlock", &s.HighestBlock}, {"NumberMode", &s.NumberMode},
      {"PickedBlock", &s.PickedBlock}, {"LastX", &s.LastX},             {"LastY", &s.LastY},
      {"TapeIndex", &s.TapeIndex},   {"TapeChannels", &s.TapeChannels}};
  const std::map<std::string, bool*> flags = {{"HoldFlag", &s.HoldFlag}, {"RunBusy", &s.RunBusy},
                                              {"AnimFlag", &s.AnimFlag}, {"GridFlag", &s.GridFlag},
                                              {"PlotFlag", &s.PlotFlag}};
  const std::map<std::string, std::string*> texts = {
      {"DataFileName", &s.DataFileName}, {"SaveFileName", &s.SaveFileName}, {"TapeFileName", &s.TapeFileName}};
  if (auto it = doubles.find(name); it != doubles.end()) return DoubleField(*it->second);
  if (auto it = ints.find(name); it != ints.end()) return IntField(*it->second);
  if (auto it = flags.find(name); it != flags.end()) return FlagField(*it->second);
  if (auto it = texts.find(name); it != texts.end()) return TextField(*it->second);  // paths are kept whole
  return std::nullopt;
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
  Accessor a = Resolve(s, target);
  if (!a.set) throw UsageError("cannot set: " + target);
  if (!a.many_values && values.size() != 1) throw UsageError("set " + target + " takes one value");
  a.set(values);
}

std::function<double()> NumberTarget(Sim& s, const std::string& target) {
  Accessor a = Resolve(s, target);
  if (!a.number) throw UsageError("not a number: " + target);
  return a.number;
}

}  // namespace trevolan::commands

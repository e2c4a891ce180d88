#include "editing/field_edit.h"

#include "blocks/compute.h"
#include "model/numbers.h"

namespace trevolan {

namespace {

TimeSteps StepsOf(const Sim& s) { return {s.Delt, s.GrDel, s.Holdstep}; }

// The type a block field's rule sees: the block's, or the type being given.
BlockType TypeFor(const Sim& s, const Target& t, const FieldValue& v) {
  if (t.global) return BlockType::Empty;
  if (t.field->member == BlockMember{&TBlock::Type} && !t.element) return TypeOfLetter(std::get<std::string>(v)[0]);
  return s.block(t.id).Type;
}

}  // namespace

FieldValue CheckedValue(Sim& s, const Target& t, FieldValue v, Repairs how, BlockType type, const TimeSteps& steps) {
  if (t.global && t.global->derived) {
    throw RuleError(t.Name(), FormatFieldValue(v), "it follows from the model (TimeTol is 0.001 x Delt): set Delt");
  }
  v = OfFieldKind(t, std::move(v), how == Repairs::kRepair);
  const std::optional<Correction> c = CheckRule(s, t, v, type, steps);
  if (!c) return v;
  if (how == Repairs::kRefuse || c->fix == Fix::kRefuse) {
    throw RuleError(t.Name(), FormatFieldValue(v), c->rule, c->would_run);
  }
  if (c->fix == Fix::kKeep) return v;
  if (!c->message.empty()) s.ShowMessage(c->message);
  return c->value;
}

void SetField(Sim& s, const Target& t, FieldValue v, Repairs how) {
  if (t.field) s.block(t.id);  // an ID outside the table is the range error of any access
  const BlockType type = TypeFor(s, t, OfFieldKind(t, v));
  StoreField(s, t, CheckedValue(s, t, std::move(v), how, type, StepsOf(s)));
  RunEffect(s, t);
}

void CheckField(Sim& s, const Target& t, const FieldValue& v) {
  if (t.field) s.block(t.id);
  CheckedValue(s, t, v, Repairs::kRefuse, TypeFor(s, t, OfFieldKind(t, v)), StepsOf(s));
}

void RunEffect(Sim& s, const Target& t) {
  const GlobalField* g = t.global;
  if (t.field) {
    g = MirroredGlobal(t.id, t.field->member);
    // A system block's edit acts on the simulation at once, as the block dialog's does.
    if (g) LoadTimingGlobals(s);
    if (t.field->effect == FieldEffect::kChannels && t.id == kGraphsBlock) TakeScopeChannels(s);
  }
  if (!g) return;
  switch (g->effect) {
    case FieldEffect::kTiming: ApplyTimingRules(s); break;
    case FieldEffect::kNumberDisplay: StoreTimingGlobals(s); break;
    default: break;
  }
}

namespace {

// The time steps as an edit of the globals leaves them all, as the timing check sees
// them once every field is taken.
TimeSteps StepsAfter(const Sim& s, const GlobalValues& values) {
  TimeSteps steps = StepsOf(s);
  for (const auto& [g, v] : values) {
    if (const auto* x = std::get_if<double>(&v)) SetTimeStep(steps, *g, *x);
    if (const auto* i = std::get_if<int64_t>(&v)) SetTimeStep(steps, *g, static_cast<double>(*i));
  }
  return steps;
}

std::vector<FieldValue> CheckedGlobals(Sim& s, const GlobalValues& values, size_t& at) {
  const TimeSteps steps = StepsAfter(s, values);
  std::vector<FieldValue> checked;
  for (at = 0; at < values.size(); ++at) {
    checked.push_back(CheckedValue(s, {.global = values[at].first}, values[at].second, Repairs::kRefuse, BlockType::Empty, steps));
  }
  return checked;
}

}  // namespace

void CheckGlobals(Sim& s, const GlobalValues& values, size_t& at) { CheckedGlobals(s, values, at); }

void WriteGlobals(Sim& s, const GlobalValues& values, Repairs how) {
  // A refusal changes nothing: every value is checked before the first is written.
  size_t at = 0;
  const std::vector<FieldValue> checked =
      how == Repairs::kRefuse ? CheckedGlobals(s, values, at) : std::vector<FieldValue>{};
  const TimeSteps steps = StepsAfter(s, values);
  for (size_t i = 0; i < values.size(); ++i) {
    const Target t{.global = values[i].first};
    StoreField(s, t, how == Repairs::kRefuse ? checked[i] : CheckedValue(s, t, values[i].second, how, BlockType::Empty, steps));
    // The trigger's block follows at once: the timing dialog writes it with the global.
    if (t.global->member == GlobalMember{&Sim::RepCount}) s.block(kRepCountBlock).Dn = s.RepCount;
  }
}

void EditTiming(Sim& s, const GlobalValues& values, Repairs how) {
  WriteGlobals(s, values, how);
  ApplyTimingRules(s);
}

void EditNumbers(Sim& s, const GlobalValues& values, Repairs how) {
  WriteGlobals(s, values, how);
  StoreTimingGlobals(s);
}

void ApplyTimingRules(Sim& s) {
  CheckTiming(s);
  StoreTimingGlobals(s);
  ComputeAllBlocks(s);
  s.NotifyRedrawDiagram();
  s.NotifyDrawTimePlot();
}

void TakeScopeChannels(Sim& s) {
  TBlock& graphs = s.block(kGraphsBlock);
  if (static_cast<int64_t>(graphs.stored.size()) < kMaxTapeChannels + 1) ResizeStored(graphs, kMaxTapeChannels + 1);
  for (int c = 1; c <= kMaxTapeChannels; ++c) {
    s.TapeChannelIDs[static_cast<size_t>(c)] = ToInt32(StoredAt(graphs, c));
  }
  for (int c = kMaxTapeChannels; c >= 1; --c) {
    if (s.TapeChannelIDs[static_cast<size_t>(c)] > 0) {
      s.TapeChannels = c;
      break;
    }
  }
  StoredAt(graphs, 0) = s.TapeChannels;
}

}  // namespace trevolan

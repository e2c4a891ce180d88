// Every way a value comes into the model, against the table of fields. The faces that
// refuse (Python's item assignment and simulate(params=) with a number or a text,
// apply(), timing(), a study's --set and --vary) and the dialogs that repair (the
// window's forms, into which the batch runner's apply, timing and numbers type) meet
// every row of the table with values across the bounds of every rule: each refusing
// face stores exactly what the rule keeps or refuses with the rule's own text, and a
// dialog does what the typed edit does with the rule's repair. A row added to the table
// is tested here without a case of its own.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "commands/dialog_typing.h"
#include "commands/targets.h"
#include "editing/block_edit.h"
#include "editing/field_edit.h"
#include "editing/new_block.h"
#include "model/catalogue.h"
#include "model/numbers.h"
#include "model/sim_copy.h"
#include "study/study.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

constexpr int kBlock = 150;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Values across every bound the rules have (block IDs 0..1000, modes, channel counts,
// tape rows, 32 bits, lengths, time steps against GrDel 10 and Holdstep 100), the
// values no rule keeps and the values of another kind.
std::vector<FieldValue> ProbesFor(const FieldValue& kind) {
  std::vector<FieldValue> probes;
  if (std::holds_alternative<std::string>(kind)) {
    for (const char* text : {"", "A", "Y", "?", "a", "AB", "ten chars!", "eleven char", "spring force"}) {
      probes.emplace_back(std::string(text));
    }
    probes.emplace_back(std::string(255, 'c'));
    probes.emplace_back(std::string(256, 'c'));
    probes.emplace_back(int64_t{5});
    return probes;
  }
  if (std::holds_alternative<std::vector<double>>(kind)) {
    for (const auto& list : std::vector<std::vector<double>>{{}, {0, 1, 2}, {0, 1001}, {0, kNaN}, {0, 2.5, 150}}) {
      probes.emplace_back(list);
    }
    probes.emplace_back(std::string("x"));
    return probes;
  }
  for (const int64_t n : {int64_t{-2147483649}, int64_t{-5000}, int64_t{-2}, int64_t{-1}, int64_t{0}, int64_t{1},
                          int64_t{2}, int64_t{3}, int64_t{4}, int64_t{7}, int64_t{8}, int64_t{10}, int64_t{11},
                          int64_t{100}, int64_t{1000}, int64_t{1001}, int64_t{10000}, int64_t{10001},
                          int64_t{2147483648}}) {
    probes.emplace_back(n);
  }
  for (const double x : {0.5, 2.5, 0.05, 20.0, 1e-300, 1e300, kNaN, kInf, -kInf}) probes.emplace_back(x);
  probes.emplace_back(true);
  probes.emplace_back(std::string("x"));
  probes.emplace_back(std::string("7"));
  probes.emplace_back(std::vector<double>{1});
  return probes;
}

// A copy of the model for one face. Sims are made once and reused: a model is large.
std::vector<std::unique_ptr<testing::TestSim>> spare_sims;

struct SimReturn {
  void operator()(testing::TestSim* sim) const {
    sim->ui.messages.clear();
    spare_sims.emplace_back(sim);
  }
};
using PooledSim = std::unique_ptr<testing::TestSim, SimReturn>;

PooledSim CopyOf(const Sim& base) {
  PooledSim copy(spare_sims.empty() ? new testing::TestSim : spare_sims.back().release());
  if (!spare_sims.empty()) spare_sims.pop_back();
  CopyModelState(base, **copy);
  return copy;
}

// What a face did with a value: the model after it and the messages, or the refusal by
// a rule. The model's own errors (a text that is no number, a compute pass meeting a
// division by zero after the value was taken, a grid cell that shows a name) are no
// refusal of the value's rule.
struct Outcome {
  PooledSim sim;
  std::optional<std::string> error;  // refused: what the face said
  std::optional<std::string> failed;  // taken, then the model failed on it
};

template <typename Face>
Outcome Try(const Sim& base, Face&& face) {
  Outcome o{CopyOf(base), std::nullopt, std::nullopt};
  try {
    face(**o.sim);
  } catch (const UsageError& e) {
    o.error = e.what();
  } catch (const study::StudyUsageError& e) {
    o.error = e.what();
  } catch (const SimError& e) {
    o.failed = e.what();
  }
  return o;
}

bool SameModel(const Sim& a, const Sim& b) {
  for (int id = 0; id <= kMaxBlockID; ++id) {
    if (!SameBlock(a.block(id), b.block(id))) return false;
  }
  for (const GlobalField& g : GlobalFields()) {
    if (!g.edit) continue;  // the view's and the run's globals: the dialog picks its block
    bool same = true;
    std::visit([&](auto m) { same = a.*m == b.*m; }, g.member);
    if (!same && !(std::holds_alternative<double Sim::*>(g.member) && std::isnan(a.*std::get<double Sim::*>(g.member)))) {
      return false;
    }
  }
  return true;
}

// Two outcomes are one: the same error, or the same model and the same messages.
void ExpectSame(const Outcome& a, const Outcome& b, const std::string& faces) {
  SCOPED_TRACE(faces);
  EXPECT_EQ(a.error, b.error);
  EXPECT_EQ(a.failed, b.failed);
  if (a.error || b.error) return;
  EXPECT_TRUE(SameModel(**a.sim, **b.sim));
  EXPECT_EQ(a.sim->ui.messages, b.sim->ui.messages);
}

// The dialog and the typed edit it parses into: both store (the same model, the same
// messages) or neither does (each says why in its own words: the dialog's parser
// refuses 1e300 for a whole number with the range error of any field).
void ExpectSameEdit(const Outcome& dialog, const Outcome& typed) {
  SCOPED_TRACE("dialog and typed edit");
  const bool stored = !dialog.error && !dialog.failed;
  EXPECT_EQ(stored, !typed.error && !typed.failed) << dialog.error.value_or(dialog.failed.value_or("")) << " / "
                                                   << typed.error.value_or(typed.failed.value_or(""));
  if (!stored || typed.error || typed.failed) return;
  EXPECT_TRUE(SameModel(**dialog.sim, **typed.sim));
  EXPECT_EQ(dialog.sim->ui.messages, typed.sim->ui.messages);
}

// Every number of the block as its dialog shows it (15 digits), so that a dialog's
// Apply, which writes back every field it shows, changes only the field typed into.
void ShowableNumbers(TBlock& b) {
  const auto showable = [](double& x) { x = *ParseFileNumber(FormatGeneral(x)); };
  for (double* x : {&b.aa, &b.bb, &b.cc, &b.dd, &b.pp, &b.Value}) showable(*x);
  for (double& x : b.stored) showable(x);
}

// The value as a person types it into a dialog; nothing for a value of another kind.
std::optional<std::string> TypedText(const FieldValue& kind, const FieldValue& v) {
  if (std::holds_alternative<std::string>(kind) != std::holds_alternative<std::string>(v)) return std::nullopt;
  if (std::holds_alternative<std::vector<double>>(v) || std::holds_alternative<bool>(v)) return std::nullopt;
  if (const auto* d = std::get_if<double>(&v)) return FormatEdit(*d);
  return FormatFieldValue(v);
}

// The refusing faces all go through SetField: a number or its text, or the same value
// as a study's --set gives it.
void CheckRefusingFaces(const Sim& base, const Target& t, const FieldValue& v, const Outcome& set, bool study) {
  const FieldValue kind = ZeroOfKind(t);
  // The rule's verdict: kept (and stored as the value of the field's kind), or refused.
  if (!set.error) {
    EXPECT_TRUE(SameValue(ReadField(**set.sim, t), OfFieldKind(t, v))) << FormatFieldValue(v);
    EXPECT_TRUE(set.sim->ui.messages.empty());
  } else {
    EXPECT_NE(set.error->find(t.Name()), std::string::npos) << *set.error;  // it names the target
  }
  // A text for a number is read at the edge: the same verdict as the number.
  if (!std::holds_alternative<std::string>(kind) && !std::holds_alternative<std::vector<double>>(v) &&
      !std::holds_alternative<bool>(v) && !std::holds_alternative<std::string>(v)) {
    const std::string text = FormatFieldValue(v);
    ExpectSame(set, Try(base, [&](Sim& s) { SetField(s, t, commands::ParsedForTarget(t, text)); }), "text");
  }
  // A study refuses before its first run exactly what the typed write refuses, and its
  // own: a target that RESET or the run sets anew, a FinTim that leaves no step to run.
  const bool as_text = std::holds_alternative<std::string>(kind) == std::holds_alternative<std::string>(v) &&
                       (std::holds_alternative<std::vector<double>>(kind) || !std::holds_alternative<std::vector<double>>(v));
  if (study && !std::holds_alternative<bool>(v) && as_text) {
    study::StudyPlan plan;
    plan.sets.push_back({t.Name(), FormatFieldValue(v)});
    std::optional<std::string> refused;
    try {
      study::Study checked(plan, base);
    } catch (const study::StudyUsageError& e) {
      refused = e.what();
    }
    const bool study_own = (t.global && t.global->run_sets) || (!set.error && !((**set.sim).FinTim > (**set.sim).Start));
    EXPECT_EQ(refused.has_value(), set.error.has_value() || study_own)
        << (refused ? *refused : "") << " / " << set.error.value_or("");
    if (refused && set.error) {
      EXPECT_NE(refused->find(*set.error), std::string::npos) << *refused;
    }
  }
}

// The dialogs repair exactly what the others refuse, by the same rule: a value the
// rule keeps is stored by the dialogs as it is and without a word; a value it refuses
// is repaired by them (another value, or the dialog's message), refused by them too, or
// (Fix::kKeep) stored as given because the dialogs have no check for it and the model
// then runs it otherwise.
void CheckRepairedExactlyWhenRefused(const Sim& base, const Target& t, const FieldValue& v, BlockType type) {
  const TimeSteps steps{base.Delt, base.GrDel, base.Holdstep};
  const auto checked = [&](Repairs how) {
    return Try(base, [&](Sim& s) { StoreField(s, t, CheckedValue(s, t, v, how, type, steps)); });
  };
  const Outcome refuse = checked(Repairs::kRefuse);
  const Outcome repair = checked(Repairs::kRepair);
  if (!refuse.error) {
    ExpectSame(refuse, repair, "kept by the rule");
    return;
  }
  if (repair.error) return;
  FieldValue given;
  try {
    given = OfFieldKind(t, v);
  } catch (const UsageError&) {
    return;  // a number the dialogs round into a whole one: repaired
  }
  const bool changed = !SameValue(ReadField(**repair.sim, t), given) || !repair.sim->ui.messages.empty();
  if (changed) return;
  const std::optional<Correction> c = CheckRule(base, t, given, type, steps);
  ASSERT_TRUE(c.has_value()) << *refuse.error;
  EXPECT_EQ(c->fix, Fix::kKeep) << *refuse.error;
}

TEST(FacesAgree, EveryRowOfTheTableWithValuesAcrossItsRule) {
  int checked = 0;
  // Globals, on a fresh model.
  testing::TestSim fresh;
  for (const GlobalField& g : GlobalFields()) {
    if (!g.addressable) continue;
    const Target t{.global = &g};
    for (const FieldValue& v : ProbesFor(ZeroOfKind(t))) {
      SCOPED_TRACE(std::string(g.name) + " = " + FormatFieldValue(v));
      const Outcome set = Try(*fresh, [&](Sim& s) { SetField(s, t, v); });
      CheckRefusingFaces(*fresh, t, v, set, true);
      CheckRepairedExactlyWhenRefused(*fresh, t, v, BlockType::Empty);
      const std::optional<std::string> text = TypedText(ZeroOfKind(t), v);
      if (!g.dialog || !text) continue;
      // Typed into its dialog, which then does what the typed edit does in kRepair.
      if (std::string(g.dialog) == "highest") continue;  // shown only: the dialog takes nothing from it
      const bool timing = g.effect == FieldEffect::kTiming;
      const Outcome dialog = Try(*fresh, [&](Sim& s) {
        if (timing) {
          TTimingFm form;
          commands::ApplyTimingDialog(s, form, {{g.dialog, *text}});
        } else {
          TNumberDatFm form;
          commands::ApplyNumberDialog(s, form, {{g.dialog, *text}});
        }
      });
      const auto typed = [&](Repairs how) {
        return Try(*fresh, [&](Sim& s) {
          const GlobalValues values{{&g, commands::ParsedForTarget(t, *text)}};
          timing ? EditTiming(s, values, how) : EditNumbers(s, values, how);
        });
      };
      ExpectSameEdit(dialog, typed(Repairs::kRepair));
      // The refusing face of the dialog's fields: timing(), or the refusal of the set.
      const Outcome refusing = timing ? Try(*fresh, [&](Sim& s) { commands::EditTimingFields(s, {{g.dialog, v}}); })
                                      : typed(Repairs::kRefuse);
      EXPECT_EQ(refusing.error.has_value(), set.error.has_value()) << refusing.error.value_or("");
      ++checked;
    }
  }
  // Block fields, on a block of every type of the catalogue.
  for (const BlockTypeInfo& type : BlockTypes()) {
    testing::TestSim base;
    NewBlock(*base, type.type, kBlock, 200, 200);
    ShowableNumbers(base->block(kBlock));
    base->HighestBlock = kBlock;
    for (const BlockField& f : BlockFields()) {
      if (!f.addressable) continue;
      const Target t{.field = &f, .id = kBlock};
      for (const FieldValue& v : ProbesFor(ZeroOfKind(t))) {
        SCOPED_TRACE(std::string(1, TypeLetter(type.type)) + " " + f.name + " = " + FormatFieldValue(v));
        const Outcome set = Try(*base, [&](Sim& s) { SetField(s, t, v); });
        // A study takes its --set through the same typed write: one type shows it.
        CheckRefusingFaces(*base, t, v, set, &type == &BlockTypes()[0]);
        const std::optional<std::string> text = TypedText(ZeroOfKind(t), v);
        CheckRepairedExactlyWhenRefused(*base, t, v, type.type);
        if (!f.dialog || !text) continue;
        // apply() refuses what the item assignment refuses and edits as the dialog edits.
        const Outcome apply = Try(*base, [&](Sim& s) { commands::EditBlockFields(s, kBlock, {{f.dialog, v}}); });
        EXPECT_EQ(apply.error.has_value(), set.error.has_value()) << apply.error.value_or("");
        if (apply.error && set.error) {
          EXPECT_EQ(*apply.error, *set.error);
        }
        // The block dialog, typed into: what the typed edit does in kRepair.
        const Outcome dialog = Try(*base, [&](Sim& s) {
          TBlockFm form;
          commands::ApplyBlockDialog(s, form, std::to_string(kBlock), {{f.dialog, *text}});
        });
        const Outcome repaired = Try(*base, [&](Sim& s) {
          commands::EditBlockFields(s, kBlock, {{f.dialog, commands::ParsedForTarget(t, *text)}}, Repairs::kRepair);
        });
        ExpectSameEdit(dialog, repaired);
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 5000);
}

}  // namespace
}  // namespace trevolan

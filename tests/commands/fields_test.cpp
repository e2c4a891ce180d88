// The table of fields, walked whole: every field reaches the model the same way through
// a target, through the model file and through undo, so a field that one of them lost
// would show here without a test of its own.
#include "model/fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <variant>

#include "commands/dialog_typing.h"
#include "commands/targets.h"
#include "editing/undo.h"
#include "model/model_file.h"
#include "model/sim_copy.h"

namespace trevolan {
namespace {

constexpr int kBlock = 150;

// A value of each kind that no field starts with, and its text as set takes it.
struct Probe {
  commands::TargetValue value;
  std::string text;
};
Probe ProbeFor(const BlockMember& m) {
  struct Make {
    Probe operator()(int32_t TBlock::*) const { return {int64_t{-321}, "-321"}; }
    Probe operator()(double TBlock::*) const { return {-1234.5, "-1234.5"}; }
    Probe operator()(BlockType TBlock::*) const { return {std::string("X"), "X"}; }
    Probe operator()(std::string TBlock::*) const { return {std::string("Größe"), "Größe"}; }
    Probe operator()(std::vector<double> TBlock::*) const { return {std::vector<double>{1.5, -2, 1e300}, ""}; }
  };
  return std::visit(Make{}, m);
}

std::vector<std::string> SetTexts(const Probe& p) {
  if (std::holds_alternative<std::vector<double>>(p.value)) return {"1.5", "-2", "1e300"};
  return {p.text};
}

// Some other value of the field's kind.
void Change(int32_t& v) { v += 12345; }
void Change(double& v) { v = -v - 0.5; }
void Change(BlockType& v) { v = v == BlockType::Witch ? BlockType::Sum : BlockType::Witch; }
void Change(std::string& v) { v += "!"; }
void Change(std::vector<double>& v) { v.push_back(7); }

void PlaceBlock(Sim& s) {
  s.block(kBlock).Type = BlockType::Container;
  s.block(kBlock).ID = kBlock;
  s.block(kBlock).Name = "probe";
  s.HighestBlock = kBlock;
}

TEST(FieldTable, EveryBlockFieldRoundTripsThroughTargetFileAndUndo) {
  for (const BlockField& field : BlockFields()) {
    SCOPED_TRACE(field.name);
    const Probe probe = ProbeFor(field.member);
    Sim s;
    PlaceBlock(s);
    const std::string target = std::to_string(kBlock) + "." + field.name;

    // Target: what set writes, print and Python read back.
    if (field.addressable) {
      commands::SetTarget(s, target, SetTexts(probe));
      EXPECT_EQ(commands::ReadTarget(s, target), probe.value);
    } else {
      EXPECT_THROW(commands::ReadTarget(s, target), UsageError);
    }

    // Model file: a block written and read back holds the same in every field.
    if (field.file_column >= 0 || std::holds_alternative<std::vector<double> TBlock::*>(field.member)) {
      Sim read;
      ReadModelText(read, ModelFileText(s, "recorded"));
      EXPECT_TRUE(SameBlock(read.block(kBlock), s.block(kBlock)));
    }

    // Undo: an edit of this field alone is recorded, undone and redone exactly.
    const TBlock before = s.block(kBlock);
    ChangeRecorder recorder(s);
    std::visit([&](auto member) { Change(s.block(kBlock).*member); }, field.member);
    const TBlock after = s.block(kBlock);
    const ModelChange change = recorder.Finish(s, "edit");
    ASSERT_EQ(change.blocks().size(), 1u);
    change.Undo(s);
    EXPECT_TRUE(SameBlock(s.block(kBlock), before));
    change.Redo(s);
    EXPECT_TRUE(SameBlock(s.block(kBlock), after));
  }
}

TEST(FieldTable, EveryGlobalRoundTripsThroughTargetUndoAndCopy) {
  for (const GlobalField& field : GlobalFields()) {
    SCOPED_TRACE(field.name);
    Sim s, copy;
    // A value of the field's kind that it does not hold at the start.
    std::visit(
        [&](auto member) {
          using T = std::remove_reference_t<decltype(s.*member)>;
          if constexpr (std::is_same_v<T, std::string>) {
            if (field.addressable) commands::SetTarget(s, field.name, std::vector<std::string>{"dir/näme.txt"});
          } else if constexpr (std::is_same_v<T, bool>) {
            if (field.addressable) commands::SetTarget(s, field.name, std::vector<std::string>{s.*member ? "0" : "1"});
          } else if constexpr (std::is_arithmetic_v<T>) {
            if (field.addressable) commands::SetTarget(s, field.name, std::vector<std::string>{"77"});
            EXPECT_EQ(!field.addressable || s.*member == T(77), true);
          }
          if (!field.addressable) {
            EXPECT_EQ(FindGlobalField(field.name), nullptr);
            EXPECT_THROW(commands::ReadTarget(s, field.name), UsageError);
          }
        },
        field.member);

    // Undo: an edited global goes back and forth; the others are no part of an edit.
    Sim fresh;
    ChangeRecorder recorder(fresh);
    std::visit(
        [&](auto member) {
          using T = std::remove_reference_t<decltype(s.*member)>;
          if constexpr (std::is_arithmetic_v<T>) fresh.*member = static_cast<T>(fresh.*member + 3);
          if constexpr (std::is_same_v<T, std::array<int32_t, kTapeColumns>>) (fresh.*member)[4] = 104;
        },
        field.member);
    const ModelChange change = recorder.Finish(fresh, "edit");
    const bool numeric = !std::holds_alternative<std::string Sim::*>(field.member);
    EXPECT_EQ(change.globals().empty(), !(field.edit && numeric));

    // Copy: the copy holds what the original holds, but for the rows of the tape.
    CopyModelState(s, copy);
    if (field.member == GlobalMember{&Sim::TapeIndex}) continue;
    std::visit([&](auto member) { EXPECT_EQ(copy.*member, s.*member); }, field.member);
  }
}

// Every edit field of the dialogs shows a field of the table, which names it for the
// batch runner's apply, timing and numbers and for Python.
TEST(FieldTable, EveryEditOfTheDialogsIsNamedByTheTable) {
  const auto named = [](const auto& layout, const auto& fields, auto find) {
    for (const auto& entry : layout) {
      const auto it = std::find_if(fields.begin(), fields.end(), [&](const auto& f) { return &f == entry.field; });
      ASSERT_NE(it, fields.end());
      ASSERT_NE(it->dialog, nullptr) << it->name;
      EXPECT_EQ(find(it->dialog), &*it) << it->name;
    }
  };
  named(BlockFormLayout(), BlockFields(), FindBlockDialogField);
  named(TimingFormLayout(), GlobalFields(), FindGlobalDialogField);
  named(NumberFormLayout(), GlobalFields(), FindGlobalDialogField);
  EXPECT_EQ(BlockFormLayout().size(), BlockFields().size() - 1);  // every field but the stored list, the grid

  // Typed into the block dialog by those names, values reach the block.
  Sim s;
  PlaceBlock(s);
  commands::EditBlockFields(s, kBlock, {{"aa", 0.1 + 0.2}, {"name", std::string("typed")}, {"onoff", true}});
  EXPECT_EQ(s.block(kBlock).aa, 0.1 + 0.2);
  EXPECT_EQ(s.block(kBlock).Name, "typed");
  EXPECT_EQ(s.block(kBlock).OnOff, 1);
  EXPECT_THROW(commands::EditBlockFields(s, kBlock, {{"Value", 1.0}}), UsageError);  // dialog names only

  // Timing by the dialog's names: the rules apply, the shown-only field takes nothing.
  commands::EditTimingFields(s, {{"delt", 0.25}, {"finish", int64_t{40}}, {"highest", int64_t{900}}});
  EXPECT_EQ(s.Delt, 0.25);
  EXPECT_EQ(s.block(5).Value, 40);  // stored into the FinTim block
  EXPECT_EQ(s.HighestBlock, kBlock);
  EXPECT_THROW(commands::EditTimingFields(s, {{"min", 1.0}}), UsageError);
  EXPECT_THROW(commands::EditTimingFields(s, {{"delt", std::numeric_limits<double>::infinity()}}), RuleError);
}

}  // namespace
}  // namespace trevolan

// Undo and redo of edits made through the forms, as the batch runner makes them.
#include "editing/undo.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/batch.h"
#include "cli/script.h"
#include "engine/run_loop.h"
#include "model/model_file.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::ExamplePath;

void RunScript(cli::Batch& b, const std::string& script) {
  for (const auto& c : cli::ParseScript(script, true)) b.Execute(c);
}

std::string Text(const Sim& s) { return ModelFileText(s, "recorded"); }

// Every kind of edit, undone and redone: the model file's text goes back exactly to
// what it was before and after, and the record holds only what the edit touched.
TEST(Undo, EveryKindOfEditGoesBackAndForthExactly) {
  struct Case {
    const char* edit;
    size_t most_blocks;  // blocks the record may hold: the edit's own and what one compute pass moves
  };
  const Case cases[] = {
      {"click 101", 8},
      {"create Z 400 300", 8},
      {"insert K 102 500 400", 9},
      {"copy 103 120 250 350", 8},
      {"delete 104", 8},
      {"apply 103 name=spring2 aa=-0.5 x=460 g1.1=3", 8},
      {"apply 19 g3.0=101", 8},  // a third plot channel: the tape's channel list changes
      {"timing delt=0.5 finish=500", 20},
      {"timing-defaults", 32},
      {"numbers min=-10 max=10 origin=1 factor=2", 20},
      {"set 102.XX 470; set 102.YY 180", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.edit);
    std::ostringstream out;
    cli::Batch b(out);
    RunScript(b, "open " + ExamplePath("damped_oscillator.txt") + "; reset; finish 2");
    Sim& s = b.sim();
    const std::string before = Text(s);
    const ChangeRecorder recorder(s);
    RunScript(b, c.edit);
    ASSERT_FALSE(b.had_error()) << out.str();
    const ModelChange change = recorder.Finish(s, "edit");
    const std::string after = Text(s);
    ASSERT_NE(after, before);
    ASSERT_FALSE(change.empty());
    EXPECT_LE(change.blocks().size(), c.most_blocks);
    change.Undo(s);
    EXPECT_EQ(Text(s), before);
    change.Redo(s);
    EXPECT_EQ(Text(s), after);
    change.Undo(s);
    EXPECT_EQ(Text(s), before);
  }
}

// An undo after a run takes back what the edit changed and leaves what the run did
// to everything else.
TEST(Undo, AfterARunOnlyTheEditedFieldsGoBack) {
  std::ostringstream out;
  cli::Batch b(out);
  RunScript(b, "open " + ExamplePath("damped_oscillator.txt") + "; reset");
  Sim& s = b.sim();
  const ChangeRecorder recorder(s);
  RunScript(b, "set 103.Name stiff; set 103.bb -0.2");
  const ModelChange change = recorder.Finish(s, "Apply to block 103");
  ASSERT_EQ(change.blocks().size(), 1u);
  EXPECT_TRUE(change.globals().empty());
  RunScript(b, "finish 3");
  const double time = s.Time, position = s.block(102).Value, spring = s.block(103).Value;
  ASSERT_GT(time, 0);
  change.Undo(s);
  EXPECT_EQ(s.block(103).Name, "spring");
  EXPECT_EQ(s.block(103).bb, -0.0986960440108936);
  EXPECT_EQ(s.block(103).Value, spring);  // the run's value, which the edit did not touch
  EXPECT_EQ(s.block(102).Value, position);
  EXPECT_EQ(s.Time, time);
  change.Redo(s);
  EXPECT_EQ(s.block(103).Name, "stiff");
}

TEST(Undo, NamesSayWhatTheEditWas) {
  std::ostringstream out;
  cli::Batch b(out);
  RunScript(b, "open " + ExamplePath("damped_oscillator.txt"));
  Sim& s = b.sim();
  const ChangeRecorder deleting(s);
  RunScript(b, "delete 104");
  const ModelChange deleted = deleting.Finish(s, "");
  EXPECT_EQ(ApplyOrDeleteName(deleted, 104), "Delete block 104");
  const ChangeRecorder applying(s);
  RunScript(b, "apply 105 comment=x");
  EXPECT_EQ(ApplyOrDeleteName(applying.Finish(s, ""), 105), "Apply to block 105");
  EXPECT_EQ(CopyName(31, 120), "Copy block 31 to 120");
  EXPECT_TRUE(ChangeRecorder(s).Finish(s, "nothing").empty());
}

}  // namespace
}  // namespace trevolan

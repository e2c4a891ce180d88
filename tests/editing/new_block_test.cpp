#include "editing/new_block.h"

#include <gtest/gtest.h>

#include <numbers>

#include "editing/toggle.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::TestSim;

TEST(NewBlock, CommonFieldsOverwriteWhatTheSlotHeld) {
  TestSim s;
  TBlock& old = s->block(300);
  old = TBlock{.ID = 1, .Type = BlockType::Multiplier, .OnOff = -3, .Displ = 9, .State = 7, .XX = 5, .YY = 6,
               .An = 1, .Bn = 2, .Cn = 3, .Dn = 4, .Pn = 5, .aa = 1, .bb = 2, .cc = 3, .dd = 4, .pp = 5,
               .Value = 6, .Name = "old", .stored = {7, 8, 9}, .Comment = "a note"};
  NewBlock(*s, BlockType::Note, 300, 40, 50);
  const TBlock& b = s->block(300);
  EXPECT_EQ(b.ID, 300);
  EXPECT_EQ(b.Type, BlockType::Note);
  EXPECT_EQ(b.Name, "N300");
  EXPECT_EQ(b.XX, 40);
  EXPECT_EQ(b.YY, 50);
  EXPECT_EQ(b.OnOff, 1);
  EXPECT_EQ(b.Displ, 2);
  EXPECT_EQ(b.State, 0);
  for (int32_t link : {b.An, b.Bn, b.Cn, b.Dn, b.Pn}) EXPECT_EQ(link, 0);
  for (double v : {b.aa, b.bb, b.cc, b.dd, b.pp, b.Value}) EXPECT_EQ(v, 0);
  // A Note sets no stored length and leaves the comment alone.
  EXPECT_EQ(b.stored, (std::vector<double>{7, 8, 9}));
  EXPECT_EQ(b.Comment, "a note");
  EXPECT_EQ(s->HighestBlock, 100);  // NewBlock itself does not raise it
}

TEST(NewBlock, PerTypeDefaults) {
  const struct {
    char type;
    int32_t state, bn, dn;
    double aa, bb, cc, dd, pp, value;
    int64_t stored_length;  // -1: the slot's list stays as it was
  } cases[] = {
      {'%', 0, 0, 0, 0, 0, 1, 0, 1, 0, -1},
      {'&', 0, 0, 0, 0, 1, 1, 1, 1, 0, -1},
      {'A', 1, 0, 0, 1, 1, 1, 1, 10, 0, 3},
      {'B', 1, 0, 10, 1, 1, 0, 0, 10, 0, 11},
      {'C', 0, 0, 0, 0, 0, 100, 50, 0, 0, -1},
      {'D', 1, 0, 0, 1, 0.5, 1, 1, 10, 0, 2},
      {'E', 0, 0, 0, 0, 0, 1, 1, 0, 0, -1},
      {'F', 0, 0, 0, 0, 0, 1, 0, 0, 0, -1},
      {'H', 0, 0, 0, 0, 0, 1e-5, 0.1, 0, 0, -1},
      {'I', 2, 0, 0, 0, 100000, 1, 0, 0, 0, -1},
      {'J', 0, 0, 0, 0, 0, 1, 0, 1, 0, -1},
      {'K', 0, 0, 0, 0, 0, 0, 0, 1, 0, -1},
      {'L', 0, 0, 0, 1e-6, 10, 1, 1, 0, 0, -1},
      {'M', 0, 2, 11, 0, 0, 0, 0, 10, 0, 23},
      {'O', 0, 0, 0, 0, 0, 0, 0, 0, 0, 11},
      {'Q', 0, 0, 0, 0, 1, -100, 100, 1, 0, -1},
      {'R', 0, 0, 0, 0, 0, 0, 0, 0, 1, -1},
      {'U', 0, 0, 0, 0, 0, 0, 0, 0, 0, 11},
      {'V', 0, 0, 0, 0, 0, 0, 0, 1, 0, -1},
      {'X', 0, 0, 0, 0, 0, 1, 1, 1, 0, -1},
      {'Z', 0, 0, 0, 1, 0, -1000, 1000, 0, 0, -1},
      {'@', 0, 0, 0, 0, 0, 0, 0, 0, 0, -1},
      {'P', 0, 0, 0, 0, 0, 0, 0, 0, 0, -1},
      {'W', 0, 0, 0, 0, 0, 0, 0, 0, 0, -1},
  };
  for (const auto& c : cases) {
    TestSim s;
    s->block(200).stored = {5, 6, 7, 8, 9};
    NewBlock(*s, TypeOfLetter(c.type), 200, 10, 10);
    const TBlock& b = s->block(200);
    SCOPED_TRACE(std::string(1, c.type));
    EXPECT_EQ(b.State, c.state);
    EXPECT_EQ(b.Bn, c.bn);
    EXPECT_EQ(b.Dn, c.dn);
    EXPECT_EQ(b.aa, c.aa);
    EXPECT_EQ(b.bb, c.bb);
    EXPECT_EQ(b.cc, c.cc);
    EXPECT_EQ(b.dd, c.dd);
    EXPECT_EQ(b.pp, c.pp);
    EXPECT_EQ(b.Value, c.value);
    const int64_t length = c.stored_length < 0 ? 5 : c.stored_length;
    ASSERT_EQ(static_cast<int64_t>(b.stored.size()), length);
    EXPECT_EQ(b.stored[0], 5);  // existing elements keep their contents
    if (length > 5) {
      EXPECT_EQ(b.stored[5], 0);
    }
  }
}

TEST(NewBlock, SineTimerGeneratorAndUserBlock) {
  TestSim s;
  s->Time = 50;
  NewBlock(*s, BlockType::Sine, 120, 0, 0);
  EXPECT_EQ(s->block(120).An, 2);
  EXPECT_EQ(s->block(120).cc, 2 * std::numbers::pi);
  NewBlock(*s, BlockType::Timer, 121, 0, 0);
  EXPECT_EQ(s->block(121).pp, 60);  // a Timer created at Time 50 first switches at 60
  EXPECT_EQ(s->block(121).Value, 1);
  EXPECT_EQ(s->block(121).bb, 10);

  s->block(150).stored.assign(30, 9.0);
  NewBlock(*s, BlockType::Generator, 150, 0, 0);
  const TBlock& g = s->block(150);
  EXPECT_EQ(g.Pn, 150);  // its own table
  EXPECT_EQ(g.Dn, 11);
  ASSERT_EQ(g.stored.size(), 23u);
  EXPECT_EQ(g.stored[0], 9);
  for (int k = 1; k <= 11; ++k) {
    EXPECT_DOUBLE_EQ(g.stored[static_cast<size_t>(k)], (k - 1) * 0.1);
    EXPECT_EQ(g.stored[static_cast<size_t>(k)], g.stored[static_cast<size_t>(11 + k)]);
  }

  s->block(130).stored = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4};
  NewBlock(*s, BlockType::User, 130, 0, 0);
  EXPECT_EQ(s->block(130).stored, (std::vector<double>{4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(NewBlock, NameIsCutAndIDsOutsideTheTableAreRefused) {
  TestSim s;
  NewBlock(*s, BlockType::Container, 1000, 0, 0);
  EXPECT_EQ(s->block(1000).Name, "C1000");
  EXPECT_THROW(NewBlock(*s, BlockType::Container, 1001, 0, 0), RangeError);
  EXPECT_THROW(NewBlock(*s, BlockType::Container, -1, 0, 0), RangeError);
}

TEST(CreateBlockFromMenu, AppendsAtTheLastClickUntilApplyRaisesHighestBlock) {
  TestSim s;
  s->LastX = 230;
  s->LastY = 140;
  EXPECT_EQ(CreateBlockFromMenu(*s, BlockType::Container), 101);
  const TBlock& b = s->block(101);
  EXPECT_EQ(b.Name, "C101");
  EXPECT_EQ(b.XX, 230);
  EXPECT_EQ(b.YY, 140);
  EXPECT_EQ(b.Value, 0);
  EXPECT_EQ(b.State, 0);
  // Without Apply, HighestBlock stays and the next item reuses the ID.
  EXPECT_EQ(CreateBlockFromMenu(*s, BlockType::Integrator), 101);
  EXPECT_EQ(s->block(101).Type, BlockType::Integrator);
  EXPECT_TRUE(s.ui.messages.empty());
}

TEST(CreateBlockFromMenu, FullTableShowsTheMessageAndCreatesNothing) {
  TestSim s;
  s->HighestBlock = 1000;
  const TBlock before = s->block(1000);
  EXPECT_EQ(CreateBlockFromMenu(*s, BlockType::Container), 0);
  EXPECT_EQ(s.ui.messages, (std::vector<std::string>{"No room for more Blocks at   1000"}));
  EXPECT_EQ(s->block(1000).Type, before.Type);
  EXPECT_EQ(s->block(0).Type, BlockType::Container);
  s->HighestBlock = 999;
  EXPECT_EQ(CreateBlockFromMenu(*s, BlockType::Container), 1000);
}

TEST(ToggleBlock, SwitchesOnAndOffComputesAndRedraws) {
  TestSim s;
  NewBlock(*s, BlockType::Container, 101, 0, 0);
  NewBlock(*s, BlockType::Integrator, 102, 0, 0);
  s->HighestBlock = 102;
  s->block(101).OnOff = 1;
  s->block(101).Value = 150;  // above its maximum of 100
  s->block(102).pp = 3;       // a pending flux inlet
  ToggleBlock(*s, 101);
  EXPECT_EQ(s->block(101).OnOff, 0);
  EXPECT_EQ(s->block(101).State, 3);  // the compute pass refreshed the container
  EXPECT_EQ(s->block(102).pp, 0);     // inlets cleared before it
  EXPECT_EQ(s.ui.redraws, 1);
  ToggleBlock(*s, 101);
  EXPECT_EQ(s->block(101).OnOff, 1);
  s->block(101).OnOff = -2;  // any value other than 0 switches off
  ToggleBlock(*s, 101);
  EXPECT_EQ(s->block(101).OnOff, 0);
  EXPECT_THROW(ToggleBlock(*s, 1001), RangeError);
}

TEST(ToggleBlock, WitchSwitchInModeZeroStepsItsSelector) {
  TestSim s;
  NewBlock(*s, BlockType::Witch, 101, 0, 0);
  s->HighestBlock = 101;
  std::vector<double> steps;
  for (int i = 0; i < 6; ++i) {
    ToggleBlock(*s, 101);
    steps.push_back(s->block(101).aa);
  }
  EXPECT_EQ(steps, (std::vector<double>{1, 2, 3, 4, 0, 1}));
  EXPECT_EQ(s->block(101).OnOff, 1);
  // With a selector input, or in another mode, the click switches it instead.
  s->block(101).An = 31;
  ToggleBlock(*s, 101);
  EXPECT_EQ(s->block(101).OnOff, 0);
  EXPECT_EQ(s->block(101).aa, 1);
  s->block(101).An = 0;
  s->block(101).State = 1;
  ToggleBlock(*s, 101);
  EXPECT_EQ(s->block(101).OnOff, 1);
}

}  // namespace
}  // namespace trevolan

#include <gtest/gtest.h>

#include <vector>

#include "support/blocks.h"
#include "engine/run_loop.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::MakeBlock;
using testing::MakeContainer;
using testing::Pass;
using testing::TestSim;

// A Belt as a new one is made: 10 segments, take 1 and drop 1, a move every 10.
TBlock& MakeBelt(Sim& s, int id, int segments = 10) {
  TBlock& b = MakeBlock(s, id, 'B', segments + 1);
  b.State = 1;
  b.aa = b.bb = 1;
  b.pp = 10;
  b.Dn = segments;
  return b;
}

TEST(Belt, FirstLoadArrivesAtTheEleventhMove) {
  TestSim s;
  TBlock& out = MakeContainer(*s, 101, 0);
  TBlock& belt = MakeBelt(*s, 102);
  belt.Bn = 101;
  ResetRun(*s);  // the first move is due at once
  EXPECT_EQ(belt.Value, 10);
  EXPECT_EQ(belt.stored[1], 1);
  EXPECT_EQ(belt.State, 2);
  std::vector<double> arrivals;
  for (int step = 0; step < 130; ++step) {
    const double before = out.Value;
    Pass(*s);
    if (out.Value != before) arrivals.push_back(s->Time);
  }
  // Moves at 0, 10, ..., the 11th at 100; then one unit every move.
  EXPECT_EQ(arrivals, (std::vector<double>{100, 110, 120, 130}));
  EXPECT_EQ(belt.cc, 10);
}

TEST(Belt, AnEmptySourceLeavesAGapAndTheBeltMovesOn) {
  TestSim s;
  TBlock& src = MakeContainer(*s, 101, 2);
  TBlock& belt = MakeBelt(*s, 102, 3);
  belt.An = 101;
  belt.aa = 2;
  belt.pp = 1;
  ComputeBelt(*s, 102);
  EXPECT_EQ(belt.stored, (std::vector<double>{0, 2, 0, 0}));
  s->Time = 1;
  ComputeBelt(*s, 102);
  EXPECT_EQ(belt.stored, (std::vector<double>{0, 0, 2, 0}));
  EXPECT_EQ(src.Value, 0);
  EXPECT_EQ(belt.cc, 2);
  EXPECT_EQ(belt.State, 2);
  s->Time = 2;
  ComputeBelt(*s, 102);
  s->Time = 3;
  ComputeBelt(*s, 102);  // no target: the load falls off the end
  EXPECT_EQ(belt.stored, (std::vector<double>{0, 0, 0, 0}));
  EXPECT_EQ(belt.cc, 0);
  EXPECT_EQ(belt.State, 1);
}

TEST(Belt, DumpsWithoutAskingTheTarget) {
  const struct {
    const char* what;
    double load, bb, held, capacity;
    int onoff;
    double after;
  } cases[] = {
      {"into a full container", 1, 1, 0, 0.5, 1, 1},
      {"into a switched-off container", 1, 1, 0, 10, 0, 1},
      {"at most |bb|", 1, -0.5, 0, 10, 1, 0.5},
      {"the whole load when smaller", 0.25, -0.5, 0, 10, 1, 0.25},
      {"a positive bb regardless of the load", 3, 2, 0, 10, 1, 2},
      // A fill drop fills only an empty target; otherwise the load is lost.
      {"a fill drop into an empty container", 1, 0, 0, 10, 1, 10},
      {"a fill drop into a full container", 1, 0, 10, 10, 1, 10},
      {"a fill drop into a part-filled container", 1, 0, 4, 10, 1, 4},
  };
  for (const auto& c : cases) {
    TestSim s;
    TBlock& out = MakeContainer(*s, 101, c.held, c.capacity);
    out.OnOff = c.onoff;
    TBlock& belt = MakeBelt(*s, 102, 2);
    belt.Bn = 101;
    belt.bb = c.bb;
    belt.stored[2] = c.load;
    ComputeBelt(*s, 102);
    EXPECT_EQ(out.Value, c.after) << c.what;
    EXPECT_EQ(belt.stored[2], 0) << c.what;
  }
  // The dump goes into a system block too.
  TestSim s;
  TBlock& belt = MakeBelt(*s, 102, 2);
  belt.Bn = 25;
  belt.stored[2] = 1;
  ComputeBelt(*s, 102);
  EXPECT_EQ(s->block(25).Value, 1);
}

TEST(Belt, SwitchedOffTheNextMoveSlides) {
  TestSim s;
  TBlock& belt = MakeBelt(*s, 102, 2);
  belt.Value = 5;
  belt.OnOff = 0;
  for (int i = 0; i < 10; ++i) Pass(*s);
  EXPECT_EQ(belt.Value, 15);
  EXPECT_EQ(belt.stored[1], 0);
  belt.OnOff = 1;
  for (int i = 0; i < 4; ++i) Pass(*s);
  EXPECT_EQ(belt.stored[1], 0);
  Pass(*s);
  EXPECT_EQ(s->Time, 15);
  EXPECT_EQ(belt.stored[1], 1);
  EXPECT_EQ(belt.Value, 25);
}

TEST(Belt, AListWithoutSegmentsStopsBeforeTakingAnything) {
  TestSim s;
  TBlock& src = MakeContainer(*s, 101, 5);
  TBlock& belt = MakeBelt(*s, 102);
  belt.An = 101;
  belt.stored.resize(1);
  EXPECT_THROW(ComputeBelt(*s, 102), RangeError);
  EXPECT_EQ(src.Value, 5);
  EXPECT_EQ(belt.Value, 0);
  belt.stored.clear();
  EXPECT_THROW(ComputeBelt(*s, 102), RangeError);
  belt.stored.resize(3);
  belt.Bn = 1001;
  belt.stored[2] = 1;
  EXPECT_THROW(ComputeBelt(*s, 102), RangeError);
}

TEST(Container, CapacityFollowsCAndResetSetsTheInitialContents) {
  const struct {
    double linked, cc, dd;
    int state;
  } cases[] = {{50, 100, 50, 2}, {0, 100, 100, 3}, {0, 100, 0, 1}, {0, 0, 0, 3}, {10, -20, -10, 3}};
  for (const auto& c : cases) {
    TestSim s;
    MakeContainer(*s, 101, 0).dd = c.linked;  // reset first, so read with its new Value
    TBlock& box = MakeContainer(*s, 102, 7, c.cc);
    box.Cn = 101;
    box.Dn = 101;
    box.dd = c.dd;
    box.pp = 4;
    ResetRun(*s);
    EXPECT_EQ(box.Value, c.linked + c.dd);
    EXPECT_EQ(box.pp, 0);
    EXPECT_EQ(box.State, c.state) << c.linked << " " << c.cc << " " << c.dd;
  }
  // Switched off, a container's state is refreshed all the same.
  TestSim s;
  TBlock& box = MakeContainer(*s, 102, 3, 10);
  box.OnOff = 0;
  ComputeContainer(*s, 102);
  EXPECT_EQ(box.State, 2);
}

}  // namespace
}  // namespace trevolan

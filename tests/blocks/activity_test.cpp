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

// An Activity as a new one is made: both requests 1, both drops 1, delay 10.
TBlock& MakeActivity(Sim& s, int id) {
  TBlock& a = MakeBlock(s, id, 'A', 3);
  a.State = 1;
  a.aa = a.bb = a.cc = a.dd = 1;
  a.pp = 10;
  return a;
}

TEST(Activity, AGeneratorDeliversEveryElevenTimeUnits) {
  TestSim s;
  TBlock& out = MakeContainer(*s, 101, 0);
  TBlock& a = MakeActivity(*s, 102);
  a.Cn = 101;
  ResetRun(*s);
  EXPECT_EQ(a.State, 2);
  EXPECT_EQ(a.Value, 10);
  std::vector<double> arrivals;
  for (int step = 0; step < 60; ++step) {
    const double before = out.Value;
    Pass(*s);
    if (out.Value != before) arrivals.push_back(s->Time);
  }
  // The start test of a pass comes before its release test, so the restart after a
  // release waits for the next pass.
  EXPECT_EQ(arrivals, (std::vector<double>{10, 21, 32, 43, 54}));
}

TEST(Activity, BothRequestsAreJudgedBeforeEitherIsTaken) {
  // One block on both sides: the two requests are granted only if it holds their sum,
  // the two drops only if it has room for their sum, and two fill drops fill it once.
  // Zero delay, so that a start is delivered in the same pass.
  const struct {
    const char* what;
    int source;                 // An = Bn; 0 is the world outside
    double held, aa, bb;        // the source container 101
    double target_held, cc, dd; // the target container 103 (Cn = Dn), capacity 10
    double source_after, target_after;
    int state;
  } cases[] = {
      {"sources: one unit for two requests of 1", 101, 1, 1, 1, 0, 1, 1, 1, 0, 1},
      {"sources: two units for two requests of 1", 101, 2, 1, 1, 0, 1, 1, 0, 2, 1},
      {"sources: up to 1 each from 1.5", 101, 1.5, -1, -1, 0, -5, -5, 0, 1.5, 1},
      {"sources: exactly 1, then up to 1 of nothing", 101, 1, 1, -1, 0, 1, 1, 1, 0, 1},
      {"targets: room for one drop of 1, not two", 0, 0, 1, 1, 9, 1, 1, 0, 9, 3},
      {"targets: room for both", 0, 0, 1, 1, 8, 1, 1, 0, 10, 1},
      {"targets: two fill drops fill once", 0, 0, 1, 1, 0, 0, 0, 0, 10, 1},
      {"targets: a fill and a drop on top overflow", 0, 0, 1, 1, 0, 0, 1, 0, 0, 3},
  };
  for (const auto& c : cases) {
    TestSim s;
    TBlock& src = MakeContainer(*s, 101, c.held);
    TBlock& out = MakeContainer(*s, 103, c.target_held, 10);
    TBlock& a = MakeActivity(*s, 102);
    a.An = a.Bn = c.source;
    a.aa = c.aa;
    a.bb = c.bb;
    a.Cn = a.Dn = 103;
    a.cc = c.cc;
    a.dd = c.dd;
    a.pp = 0;
    ComputeActivity(*s, 102);
    EXPECT_EQ(src.Value, c.source_after) << c.what;
    EXPECT_EQ(out.Value, c.target_after) << c.what;
    EXPECT_EQ(a.State, c.state) << c.what;
  }

  // One source short: nothing is taken from the other.
  TestSim t;
  TBlock& full = MakeContainer(*t, 101, 5);
  MakeContainer(*t, 103, 0);
  TBlock& b = MakeActivity(*t, 102);
  b.An = 101;
  b.Bn = 103;
  ComputeActivity(*t, 102);
  EXPECT_EQ(full.Value, 5);
  EXPECT_EQ(b.State, 1);
}

TEST(Activity, NegativeDropAmountsPassOnWhatWasTaken) {
  const struct {
    double cc, taken, dropped;
  } cases[] = {{-5, 3, 3}, {-2, 3, 2}, {4, 3, 4}, {-3, 0.5, 0.5}};
  for (const auto& c : cases) {
    TestSim s;
    MakeContainer(*s, 101, 10);
    TBlock& target = MakeContainer(*s, 103, 0);
    TBlock& a = MakeActivity(*s, 102);
    a.An = 101;
    a.aa = -c.taken;  // up to that amount
    a.Cn = 103;
    a.cc = c.cc;
    a.pp = 0;  // zero delay: start and release in one pass
    ComputeActivity(*s, 102);
    EXPECT_EQ(target.Value, c.dropped) << c.cc << " with " << c.taken << " taken";
    EXPECT_EQ(a.State, 1);
    EXPECT_EQ(a.stored, (std::vector<double>{0, 0, 0}));
  }
}

TEST(Activity, BlockedUntilBothTargetsAccept) {
  TestSim s;
  TBlock& c = MakeContainer(*s, 101, 5, 5);
  TBlock& d = MakeContainer(*s, 103, 0, 5);
  TBlock& a = MakeActivity(*s, 102);
  a.aa = 2;
  a.bb = 3;
  a.Cn = 101;
  a.Dn = 103;
  a.pp = 1;
  ComputeActivity(*s, 102);
  s->Time = 1;
  ComputeActivity(*s, 102);
  EXPECT_EQ(a.State, 3);
  EXPECT_EQ(a.stored, (std::vector<double>{0, 2, 3}));
  EXPECT_EQ(d.Value, 0);  // no partial delivery
  s->Time = 5;
  ComputeActivity(*s, 102);
  EXPECT_EQ(a.State, 3);
  c.Value = 4;
  s->Time = 6;
  ComputeActivity(*s, 102);
  EXPECT_EQ(a.State, 1);
  EXPECT_EQ(c.Value, 5);
  EXPECT_EQ(d.Value, 1);
  EXPECT_EQ(a.Value, 1);  // the release time stood while blocked
}

TEST(Activity, StatesThatNeverMove) {
  // State 4 never starts; a target in the reserved range never accepts.
  TestSim s;
  TBlock& idle = MakeActivity(*s, 102);
  idle.State = 4;
  TBlock& stuck = MakeActivity(*s, 103);
  stuck.Cn = 50;
  stuck.pp = 0;
  for (int i = 0; i < 5; ++i) Pass(*s);
  EXPECT_EQ(idle.State, 4);
  EXPECT_EQ(idle.stored, (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(stuck.State, 3);
  EXPECT_EQ(stuck.stored, (std::vector<double>{0, 1, 1}));
}

TEST(Activity, SwitchedOffTheReleaseSlidesWithTheClock) {
  TestSim s;
  TBlock& out = MakeContainer(*s, 101, 0);
  TBlock& a = MakeActivity(*s, 102);
  a.Cn = 101;
  ResetRun(*s);  // busy, release at 10
  for (int i = 0; i < 4; ++i) Pass(*s);
  a.OnOff = 0;
  for (int i = 0; i < 20; ++i) Pass(*s);
  EXPECT_EQ(a.Value, 30);  // still 6 ahead of Time 24
  EXPECT_EQ(a.State, 2);
  a.OnOff = 1;
  for (int i = 0; i < 5; ++i) Pass(*s);
  EXPECT_EQ(out.Value, 0);
  Pass(*s);
  EXPECT_EQ(s->Time, 30);
  EXPECT_EQ(out.Value, 1);
}

TEST(Activity, DelayReadAfterTheTakesAndRandomWhenNegative) {
  TestSim s;
  MakeContainer(*s, 101, 5);
  TBlock& a = MakeActivity(*s, 102);
  a.An = a.Pn = 101;
  a.pp = 2;
  ComputeActivity(*s, 102);
  EXPECT_EQ(a.Value, 6);  // Vp is 4 after the take

  // A negative delay: release times of mean |delay| that vary.
  TestSim t;
  TBlock& r = MakeActivity(*t, 102);
  r.pp = -10;
  r.Cn = 0;
  double sum = 0, lowest = 1e9, highest = 0;
  const int n = 20000;
  for (int i = 0; i < n; ++i) {
    r.State = 1;
    ComputeActivity(*t, 102);
    sum += r.Value;
    lowest = std::min(lowest, r.Value);
    highest = std::max(highest, r.Value);
  }
  EXPECT_NEAR(sum / n, 10, 0.3);  // standard error 0.05
  EXPECT_LT(lowest, 2);
  EXPECT_GT(highest, 30);
}

TEST(Activity, RedrawsOnStateChangesOnlyWithAnimation) {
  TestSim s;
  MakeActivity(*s, 102);
  ComputeActivity(*s, 102);  // 1 -> 2
  ComputeActivity(*s, 102);  // stays 2
  EXPECT_EQ(s.ui.drawn_blocks, std::vector<int>{102});
  s->AnimFlag = false;
  s->Time = 10;
  ComputeActivity(*s, 102);  // 2 -> 1
  EXPECT_EQ(s.ui.drawn_blocks.size(), 1u);
}

TEST(Activity, AShortTransferListStopsWithoutLosingMaterial) {
  TestSim s;
  TBlock& src = MakeContainer(*s, 101, 5);
  TBlock& a = MakeActivity(*s, 102);
  a.stored.resize(2);
  a.An = 101;
  EXPECT_THROW(ComputeActivity(*s, 102), RangeError);
  EXPECT_EQ(src.Value, 5);
  EXPECT_EQ(a.State, 1);

  // Busy with a short list: the targets receive nothing twice.
  TBlock& target = MakeContainer(*s, 103, 0);
  a.State = 2;
  a.Cn = 103;
  EXPECT_THROW(ComputeActivity(*s, 102), RangeError);
  EXPECT_EQ(target.Value, 0);
  a.An = 1001;
  a.State = 1;
  a.stored.resize(3);
  EXPECT_THROW(ComputeActivity(*s, 102), RangeError);
}

}  // namespace
}  // namespace trevolan

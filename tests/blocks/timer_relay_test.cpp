#include <gtest/gtest.h>

#include <string>
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

// A Timer at 102 in a mode, on-time bb and off-time cc, switching block 150.
TBlock& MakeTimer(Sim& s, int mode, double on, double off) {
  TBlock& t = MakeBlock(s, 102, 'T');
  t.State = mode;
  t.bb = on;
  t.cc = off;
  t.Pn = 150;
  MakeContainer(s, 150, 0);
  return t;
}

// The output of the timer and the switch of its follower over the passes at Time
// 1..n, as "1" and "0" characters.
std::string Trace(Sim& s, int n, std::string* follower = nullptr) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    Pass(s);
    out += s.block(102).Value != 0 ? '1' : '0';
    if (follower) *follower += s.block(150).OnOff != 0 ? '1' : '0';
  }
  return out;
}

TEST(Timer, RepetitiveAlternatesOnAndOffTimes) {
  TestSim s;
  TBlock& t = MakeTimer(*s, 0, 10, 5);
  t.Value = 1;
  t.pp = 10;
  std::string follower;
  // Time 1..30: on below 10, off from 10 until 15, on until 25, off again.
  EXPECT_EQ(Trace(*s, 30, &follower), "111111111000001111111111000001");
  EXPECT_EQ(follower, "111111111000001111111111000001");
}

TEST(Timer, RepetitiveTriggerStartsTheOnTimeEarlyButNotDuringIt) {
  TestSim s;
  TBlock& trigger = MakeContainer(*s, 101, 0);
  TBlock& t = MakeTimer(*s, 0, 3, 100);
  t.An = 101;
  t.Value = 0;
  t.pp = 100;
  Pass(*s);  // Time 1
  trigger.Value = 1;
  EXPECT_EQ(Trace(*s, 1), "1");  // Time 2: triggered during the off-time
  trigger.Value = 2;
  EXPECT_EQ(Trace(*s, 1), "1");  // Time 3: a trigger during the on-time is ignored
  EXPECT_EQ(t.pp, 5);
  EXPECT_EQ(Trace(*s, 3), "100");
}

TEST(Timer, OneShotFiresOnceForAStepAndNotForSlowRises) {
  TestSim s;
  TBlock& input = MakeContainer(*s, 101, 0);
  TBlock& t = MakeTimer(*s, 1, 3, 0);
  t.An = 101;
  t.Value = 0;
  t.pp = 0;
  EXPECT_EQ(Trace(*s, 2), "00");
  input.Value = 1;  // a step that stays
  EXPECT_EQ(Trace(*s, 6), "111000");
  // A rise of 0.5 per pass never triggers.
  for (int i = 0; i < 6; ++i) {
    input.Value += 0.5;
    Pass(*s);
    EXPECT_EQ(t.Value, 0) << i;
  }
  // A new step during the on-time starts it again.
  input.Value += 1;
  Trace(*s, 2);
  input.Value += 1;
  EXPECT_EQ(Trace(*s, 4), "1110");
}

TEST(Timer, BistableToggledByALogicOutput) {
  TestSim s;
  TBlock& gate_input = MakeContainer(*s, 101, 0);
  TBlock& logic = MakeBlock(*s, 100, 'K');  // computed before the timer
  logic.An = 101;
  logic.pp = 1;
  TBlock& t = MakeTimer(*s, 2, 0, 0);
  t.An = 100;
  t.Value = 0;
  std::string levels;
  for (const double in : {0.0, 1.0, 0.0, 1.0, 1.0, 0.0}) {
    gate_input.Value = in;
    levels += Trace(*s, 1);
  }
  EXPECT_EQ(levels, "011000");
  EXPECT_EQ(t.pp, 0);  // plays no part
}

TEST(Timer, ManualOneShotFiresOnePulseThenSwitchesItselfOff) {
  TestSim s;
  TBlock& t = MakeTimer(*s, 3, 5, 0);
  t.dd = 0;
  t.Value = 1;
  ResetRun(*s);  // disarmed
  EXPECT_EQ(t.OnOff, 0);
  EXPECT_EQ(t.Value, 0);
  for (int i = 0; i < 19; ++i) Pass(*s);
  EXPECT_EQ(s->Time, 19);
  t.OnOff = 1;  // the click
  std::string follower;
  EXPECT_EQ(Trace(*s, 8, &follower), "11111000");  // Time 20..27: on from 20 to 25
  EXPECT_EQ(follower, "11111000");
  EXPECT_EQ(t.OnOff, 0);
}

TEST(Timer, FollowerIsKeptEvenWhileTheTimerIsOff) {
  TestSim s;
  TBlock& t = MakeTimer(*s, 0, 10, 10);
  t.OnOff = 0;
  t.Value = 1;
  t.pp = 0;
  TBlock& follower = s->block(150);
  follower.OnOff = 0;
  Pass(*s);
  EXPECT_EQ(follower.OnOff, 1);
  EXPECT_EQ(t.Value, 1);  // nothing else happens
  follower.OnOff = 0;
  Pass(*s);
  EXPECT_EQ(follower.OnOff, 1);
  // The follower may be a system block.
  t.Pn = 18;
  t.Value = 0;
  s->block(18).OnOff = 1;
  ComputeTimer(*s, 102);
  EXPECT_EQ(s->block(18).OnOff, 0);
  t.Pn = 1001;
  EXPECT_THROW(ComputeTimer(*s, 102), RangeError);
}

TEST(Timer, RandomTimesAndOtherModes) {
  TestSim s;
  TBlock& t = MakeTimer(*s, 0, -10, -10);
  t.Value = 0;
  ComputeTimer(*s, 102);
  EXPECT_EQ(t.Value, 1);
  EXPECT_GT(t.pp, 0);
  t.State = 4;
  t.Value = 0;
  t.pp = 0;
  ComputeTimer(*s, 102);
  EXPECT_EQ(t.Value, 0);
  // Redrawn when the output changes, not otherwise.
  EXPECT_EQ(s.ui.drawn_blocks, std::vector<int>{102});
}

TEST(Timer, ResetLoadsTheFirstSwitchingTime) {
  TestSim s;
  MakeContainer(*s, 101, 0).dd = 7;
  TBlock& t = MakeTimer(*s, 0, 10, 10);
  t.Dn = 101;
  t.dd = 3;
  t.Value = 1;
  ResetRun(*s);
  EXPECT_EQ(t.Value, 1);  // kept through a reset
  EXPECT_EQ(t.OnOff, 1);
  EXPECT_EQ(t.pp, 10);
}

TBlock& MakeRelay(Sim& s, int id, int control) {
  TBlock& r = MakeBlock(s, id, 'R');
  r.An = control;
  return r;
}

TEST(Relay, SwitchesTargetsOnAndTheNegativeTargetOff) {
  const struct {
    double control, aa;
    int value, targets, neg;
  } cases[] = {{1, 0, 1, 1, 0}, {0, 0, 0, 0, 1}, {-1, 1.5, 1, 1, 0}, {0.5, -0.5, 0, 0, 1}};
  for (const auto& c : cases) {
    TestSim s;
    MakeContainer(*s, 101, c.control);
    TBlock& r = MakeRelay(*s, 102, 101);
    r.aa = c.aa;
    for (int id : {150, 151, 152, 153}) MakeContainer(*s, id, 0).OnOff = 7;
    r.Bn = 150;
    r.Cn = 151;
    r.Dn = 152;
    r.Pn = 153;
    ComputeRelay(*s, 102);
    EXPECT_EQ(r.Value, c.value);
    for (int id : {150, 151, 152}) EXPECT_EQ(s->block(id).OnOff, c.targets) << c.control;
    EXPECT_EQ(s->block(153).OnOff, c.neg) << c.control;
  }
}

TEST(Relay, ReservedTargetsOffRelaysAndTheLargerIdWins) {
  TestSim s;
  MakeContainer(*s, 101, 1);
  TBlock& r = MakeRelay(*s, 102, 101);
  r.Bn = 50;
  r.Pn = 100;
  s->block(50).OnOff = 0;
  s->block(100).OnOff = 1;
  ComputeRelay(*s, 102);
  EXPECT_EQ(s->block(50).OnOff, 0);
  EXPECT_EQ(s->block(100).OnOff, 1);

  MakeContainer(*s, 150, 0);
  r.Bn = 150;
  TBlock& other = MakeRelay(*s, 103, 0);  // control 0: switches 150 off
  other.Bn = 150;
  Pass(*s);
  EXPECT_EQ(s->block(150).OnOff, 0);
  std::swap(r.An, other.An);
  Pass(*s);
  EXPECT_EQ(s->block(150).OnOff, 1);

  // Switched off: nothing happens.
  other.OnOff = 0;
  other.Value = 5;
  s->block(150).OnOff = 0;
  ComputeRelay(*s, 103);
  EXPECT_EQ(other.Value, 5);
  EXPECT_EQ(s->block(150).OnOff, 0);
  r.Dn = 1001;
  EXPECT_THROW(ComputeRelay(*s, 102), RangeError);
}

}  // namespace
}  // namespace trevolan

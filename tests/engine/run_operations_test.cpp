#include "engine/run_operations.h"

#include <gtest/gtest.h>

#include <functional>

#include "engine/run_loop.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::TestSim;

// Counts what it is told and asks the run to stop after `stop_after` steps (0: never).
class CountingObserver : public StepObserver {
 public:
  void AfterReset(const Sim& s) override {
    ++resets;
    reset_times.push_back(s.Time);
  }
  Reply AfterStep(const Sim& s) override {
    ++steps;
    last_step_seen = s.StepsTaken;
    return stop_after > 0 && steps >= stop_after ? Reply::kStop : Reply::kGoOn;
  }
  int resets = 0, steps = 0, stop_after = 0;
  int64_t last_step_seen = 0;
  std::vector<double> reset_times;
};

// Block 101 a Container whose Value is the hold trigger's.
void TriggerAt(Sim& s, double value) {
  TBlock& b = s.block(101);
  b.Type = BlockType::Container;
  b.Name = "queue";
  b.dd = value;  // its start Value at RESET
  s.HighestBlock = 101;
  s.RepCount = 101;
}

// Block 101 reads block 1001 in every compute pass: a range error.
void BrokenLink(Sim& s) {
  TBlock& b = s.block(101);
  b.Type = BlockType::Inductor;
  b.OnOff = 1;
  b.pp = 1;
  b.Cn = 1001;
  s.HighestBlock = 101;
}

// Every way a run operation ends, from a model reset with the defaults (Delt 1, hold
// every 100, FinTim 1000) unless the case changes it first.
TEST(RunOperations, SayHowTheRunEnded) {
  const struct Case {
    const char* name;
    std::function<void(Sim&)> prepare;  // before RESET
    int stop_after;                     // the observer asks to stop after so many steps
    std::function<RunOutcome(Sim&)> operation;
    RunStop stop;
    double time;
    int64_t presses;
    const char* reason;  // ShortStopReason, for RunUntil and Finish
  } cases[] = {
      {"reset", nullptr, 0, Reset, RunStop::kReached, 0, 0, ""},
      {"step", nullptr, 0, Step, RunStop::kReached, 1, 1, ""},
      {"run to the next hold", nullptr, 0, RunToHold, RunStop::kReached, 100, 1, ""},
      {"until 250", nullptr, 0, [](Sim& s) { return RunUntil(s, 250); }, RunStop::kReached, 250, 3, ""},
      {"finish", nullptr, 0, [](Sim& s) { return Finish(s); }, RunStop::kReached, 1000, 10, ""},
      {"until 250 in 2 presses", nullptr, 0, [](Sim& s) { return RunUntil(s, 250, 2); }, RunStop::kPressLimit, 200,
       2, "all 2 presses of RUN were used (the run holds every Holdstep 100)"},
      {"finish in 3 presses", nullptr, 0, [](Sim& s) { return Finish(s, 3); }, RunStop::kPressLimit, 300, 3,
       "all 3 presses of RUN were used (the run holds every Holdstep 100)"},
      {"past FinTim", [](Sim& s) { s.FinTim = 5; }, 0, [](Sim& s) { return RunUntil(s, 9, 3); },
       RunStop::kPressLimit, 7, 3, "all 3 presses of RUN were used (past FinTim 5 the run holds at every step)"},
      {"until 250, held by the trigger", [](Sim& s) { TriggerAt(s, 1); }, 0,
       [](Sim& s) { return RunUntil(s, 250, 10); }, RunStop::kHeld, 10, 10,
       "all 10 presses of RUN were used (the hold trigger, block 101 queue, holds the run at every step)"},
      {"finish, held by the trigger", [](Sim& s) { TriggerAt(s, 1); }, 0, [](Sim& s) { return Finish(s, 4); },
       RunStop::kHeld, 4, 4, nullptr},
      {"a trigger at 0 holds nothing", [](Sim& s) { TriggerAt(s, 0); }, 0, [](Sim& s) { return Finish(s); },
       RunStop::kReached, 1000, 10, ""},
      {"step, error", BrokenLink, 0, Step, RunStop::kError, 1, 1, nullptr},
      {"until 250, error", BrokenLink, 0, [](Sim& s) { return RunUntil(s, 250); }, RunStop::kError, 1, 1,
       "Range check error"},
      {"finish, error", BrokenLink, 0, [](Sim& s) { return Finish(s); }, RunStop::kError, 1, 1, nullptr},
      {"run, interrupted", nullptr, 7, RunToHold, RunStop::kInterrupted, 7, 1, nullptr},
      {"until 250, interrupted", nullptr, 150, [](Sim& s) { return RunUntil(s, 250); }, RunStop::kInterrupted, 150,
       2, "the run was interrupted"},
      {"finish, interrupted", nullptr, 150, [](Sim& s) { return Finish(s); }, RunStop::kInterrupted, 150, 2,
       nullptr},
      {"a stop on the last step reaches", nullptr, 250, [](Sim& s) { return RunUntil(s, 250); }, RunStop::kReached,
       250, 3, ""},
      {"one step is one step", nullptr, 1, Step, RunStop::kReached, 1, 1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestSim s;
    if (c.prepare) c.prepare(*s);
    if (c.stop == RunStop::kError) {
      EXPECT_THROW(ResetButton(*s), RangeError);  // the reset's own compute pass fails too
      s->HoldFlag = true;
    } else {
      ResetButton(*s);
    }
    CountingObserver observer;
    observer.stop_after = c.stop_after;
    const StepSubscription watching(*s, observer);
    const RunOutcome o = c.operation(*s);
    EXPECT_EQ(o.stop, c.stop);
    EXPECT_EQ(o.time, c.time);
    EXPECT_EQ(s->Time, c.time);
    EXPECT_EQ(o.presses, c.presses);
    if (c.reason) {
      EXPECT_EQ(ShortStopReason(*s, o), c.reason);
    }
    if (c.stop == RunStop::kError) {
      EXPECT_EQ(o.error, "Range check error");
      EXPECT_THROW(o.RethrowError(), RangeError);
    } else {
      EXPECT_TRUE(o.error.empty());
      EXPECT_NO_THROW(o.RethrowError());
    }
    // Held and usable, whichever way it ended: one more step runs.
    EXPECT_TRUE(s->HoldFlag);
    EXPECT_FALSE(s->RunBusy);
    EXPECT_EQ(s->RunCaption, "RUN");
    if (c.stop != RunStop::kError) {
      observer.stop_after = 0;
      EXPECT_EQ(Step(*s).stop, RunStop::kReached);
      EXPECT_EQ(s->Time, c.time + 1);
    }
  }
}

// An observer is told once after every step and once after every RESET, whichever
// operation or button ran them; a repetition's rewind inside a run is no RESET.
TEST(RunOperations, ObserversSeeEveryStepAndEveryResetOnce) {
  TestSim s;
  CountingObserver first, second;
  const StepSubscription watching_first(*s, first);
  {
    const StepSubscription watching_second(*s, second);
    EXPECT_TRUE(Reset(*s).reached());
    EXPECT_TRUE(Step(*s).reached());
    StepButton(*s);
    EXPECT_TRUE(RunToHold(*s).reached());
    EXPECT_TRUE(RunUntil(*s, 250).reached());
    RunButton(*s);
    EXPECT_EQ(s->Time, 300);
    EXPECT_EQ(second.steps, 300);
    EXPECT_EQ(second.last_step_seen, 300);  // told after the step, its count done
    s->Start = 20;
    ResetButton(*s);
    EXPECT_EQ(second.resets, 2);
    EXPECT_EQ(second.reset_times, (std::vector<double>{0, 20}));
  }
  // Repetition: three runs from Start to FinTim in one operation, one RESET before.
  s->block(18).OnOff = 1;
  s->block(18).cc = 3;
  s->Holdstep = 5000;
  s->FinTim = 120;
  CheckTiming(*s);
  EXPECT_TRUE(Reset(*s).reached());
  EXPECT_TRUE(Finish(*s).reached());
  EXPECT_EQ(s->block(18).Value, 3);
  EXPECT_EQ(first.resets, 3);
  EXPECT_EQ(first.steps, 300 + 3 * 100);
  EXPECT_EQ(first.last_step_seen, s->StepsTaken);
  EXPECT_EQ(second.steps, 300);  // unsubscribed, told nothing more
  EXPECT_EQ(second.resets, 2);
}

}  // namespace
}  // namespace trevolan

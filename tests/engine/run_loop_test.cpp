#include "engine/run_loop.h"

#include <gtest/gtest.h>

#include <functional>

#include "blocks/compute.h"
#include "display/headless_frontend.h"
#include "model/tape.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::RecordingFrontend;
using testing::TestSim;

// A frontend whose "process messages" runs a user action between two steps.
class ActingFrontend : public RecordingFrontend {
 public:
  void ProcessMessages() override {
    RecordingFrontend::ProcessMessages();
    if (action) action(process_messages);
  }
  std::function<void(int)> action;
};

void RecordTime(Sim& s) {  // one channel, so that the tape records rows
  s.TapeChannels = 1;
  s.TapeChannelIDs[1] = 2;
}

TEST(RunLoop, DefaultsHoldAtEveryHoldStepAndAtTheFinish) {
  TestSim s;
  ResetButton(*s);
  for (double expected = 100; expected <= 1000; expected += 100) {
    RunButton(*s);
    EXPECT_EQ(s->Time, expected);
    EXPECT_TRUE(s->HoldFlag);
    EXPECT_FALSE(s->RunBusy);
    EXPECT_EQ(s->RunCaption, "RUN");
  }
  EXPECT_EQ(s->StepsTaken, 1000);
  // Past the finish every RUN advances exactly one step.
  RunButton(*s);
  EXPECT_EQ(s->Time, 1001);
  RunButton(*s);
  EXPECT_EQ(s->Time, 1002);
  EXPECT_EQ(s->block(2).Value, 1002);
  EXPECT_EQ(s.ui.captions.front(), "RUN");  // from RESET
  EXPECT_EQ(s.ui.captions[1], "HOLD");
}

TEST(RunLoop, StepAdvancesOneDeltAndKeepsTheHoldGrid) {
  TestSim s;
  ResetButton(*s);
  RecordTime(*s);
  s->Delt = 2.5;
  StepButton(*s);
  EXPECT_EQ(s->Time, 2.5);
  EXPECT_EQ(s->Holdnext, 100);
  EXPECT_TRUE(s->HoldFlag);
  for (int i = 0; i < 3; ++i) StepButton(*s);
  EXPECT_EQ(s->Time, 10);  // this step crossed the graph target
  EXPECT_EQ(s->TapeIndex, 0);
  EXPECT_EQ(s->TapeCell(0, 0), 10);
  EXPECT_EQ(s->GrNext, 20);
  EXPECT_EQ(s.ui.statuses, 1);
}

TEST(RunLoop, GraphStepsOnAFixedGridReachedLate) {
  TestSim s;
  RecordTime(*s);
  s->Delt = 3;
  CheckTiming(*s);
  ResetButton(*s);
  RunButton(*s);
  std::vector<double> times;
  for (int r = 0; r <= 4; ++r) times.push_back(s->TapeCell(0, r));
  EXPECT_EQ(times, (std::vector<double>{0, 12, 21, 30, 42}));
  EXPECT_EQ(s->Time, 102);  // first hold step reached
}

TEST(RunLoop, HoldTriggerHoldsAfterEveryStepWhilePositive) {
  TestSim s;
  TBlock& trigger = s->block(101);
  trigger.Type = BlockType::Container;
  trigger.Value = 0;
  s->HighestBlock = 101;
  s->RepCount = 101;
  ResetButton(*s);
  trigger.dd = 0;
  RunButton(*s);
  EXPECT_EQ(s->Time, 100);  // Value 0: no trigger
  trigger.Value = 1;
  RunButton(*s);
  EXPECT_EQ(s->Time, 101);
  RunButton(*s);
  EXPECT_EQ(s->Time, 102);
  s->RepCount = 0;  // block ZERO, which every hold puts back to 0
  s->block(0).Value = 5;
  RunButton(*s);
  EXPECT_EQ(s->Time, 103);
  EXPECT_EQ(s->block(0).Value, 0);
  RunButton(*s);
  EXPECT_EQ(s->Time, 200);
}

TEST(RunLoop, RepetitionRunsTenTimesAndCountsInBlock18) {
  TestSim s;
  RecordTime(*s);
  s->block(18).OnOff = 1;
  s->Holdstep = 5000;
  CheckTiming(*s);
  ResetButton(*s);
  RunButton(*s);
  EXPECT_EQ(s->block(18).Value, 10);
  EXPECT_EQ(s->Time, 1000);
  EXPECT_EQ(s->StepsTaken, 10000);
  EXPECT_EQ(s->TapeIndex, 99);  // the tape was emptied at every repetition: rows 10..1000
  RunButton(*s);
  EXPECT_EQ(s->Time, 1001);
  EXPECT_EQ(s->block(18).Value, 11);
  ResetButton(*s);
  EXPECT_EQ(s->block(18).Value, 11);  // RESET keeps the count
  s->block(18).cc = 1;
  s->block(18).Cn = 31;  // plus pi: runs while pi + 1 > count
  s->block(18).Value = 0;
  ResetButton(*s);
  RunButton(*s);
  EXPECT_EQ(s->block(18).Value, 5);
}

TEST(RunLoop, ResetRecordsRowZeroAndIsIgnoredWhileRunning) {
  TestSim s;
  s->block(101).Type = BlockType::Integrator;
  s->block(101).OnOff = 1;
  s->block(101).aa = 1;
  s->block(101).cc = 1;
  s->block(101).dd = 5;
  s->HighestBlock = 101;
  s->TapeChannels = 1;
  s->TapeChannelIDs[1] = 101;
  s->Start = 7;
  ResetButton(*s);
  EXPECT_EQ(s->Time, 7);
  EXPECT_EQ(s->GrNext, 17);
  EXPECT_EQ(s->Holdnext, 107);
  EXPECT_EQ(s->TapeIndex, 0);
  EXPECT_EQ(s->TapeCell(0, 0), 7);
  EXPECT_EQ(s->TapeCell(1, 0), 5);
  EXPECT_EQ(s->TapeCell(1, 1), 0);  // the rest of the tape is 0 after a reset
  ActingFrontend ui;
  s->frontend = &ui;
  ui.action = [&](int calls) {
    if (calls == 3) ResetButton(*s);
    if (calls == 5) RunButton(*s);  // HOLD
  };
  RunButton(*s);
  EXPECT_EQ(s->Time, 12);
  EXPECT_EQ(s->block(101).Value, 10);
  EXPECT_TRUE(s->HoldFlag);
}

TEST(RunLoop, RunClickedInsideTheLoopDoesNotNestIt) {
  TestSim s;
  ActingFrontend ui;
  s->frontend = &ui;
  ui.action = [&](int calls) {
    if (calls == 2) {
      RunButton(*s);  // HOLD: the loop ends after this step ...
      RunButton(*s);  // ... unless RUN comes before it ends: the nested start returns at once
    }
    if (calls == 4) HoldRun(*s);
  };
  ResetButton(*s);
  RunButton(*s);
  EXPECT_EQ(s->Time, 4);
}

// The run loop remembers where the Integrators are from one step to the next: a block
// made or unmade an Integrator by the user during a run, or while it holds, still counts.
TEST(RunLoop, IntegratorsMadeOrUnmadeDuringARunAreFollowed) {
  TestSim s;
  const auto integrate_one = [&](int id) {
    TBlock& b = s->block(id);
    b.Type = BlockType::Integrator;
    b.OnOff = 1;
    b.An = 1;
    b.cc = 1;
  };
  integrate_one(101);
  s->HighestBlock = 102;
  ActingFrontend ui;
  s->frontend = &ui;
  ui.action = [&](int steps) {
    if (steps == 3) integrate_one(102);
    if (steps == 5) s->block(101).Type = BlockType::Container;
    if (steps == 8) HoldRun(*s);
  };
  ResetButton(*s);
  RunButton(*s);
  EXPECT_EQ(s->block(101).Value, 5);
  EXPECT_EQ(s->block(102).Value, 5);

  // Without a user to edit during the run; the edit is made while it holds.
  HeadlessFrontend batch;
  batch.Attach(*s);
  s->frontend = &batch;
  s->block(101).Type = BlockType::Integrator;
  RunButton(*s);  // to the hold at Time 100
  EXPECT_EQ(s->Time, 100);
  EXPECT_EQ(s->block(101).Value, 97);
  EXPECT_EQ(s->block(102).Value, 97);
}

TEST(RunLoop, AConnectionOutOfRangeStopsTheStepAndHolds) {
  TestSim s;
  s->block(101).Type = BlockType::Inductor;  // runs before block 102 in the pass
  s->block(101).OnOff = 1;
  s->block(101).aa = 2;
  s->block(101).pp = 1;
  s->block(102).Type = BlockType::Inductor;
  s->block(102).OnOff = 1;
  s->block(102).pp = 1;
  s->HighestBlock = 102;
  ResetButton(*s);
  s->block(101).Value = 0;
  s->block(102).Cn = 1001;
  try {
    RunButton(*s);
    FAIL();
  } catch (const RangeError& e) {
    EXPECT_STREQ(e.what(), "Range check error");
  }
  EXPECT_TRUE(s->HoldFlag);
  EXPECT_FALSE(s->RunBusy);
  EXPECT_EQ(s->RunCaption, "RUN");
  EXPECT_EQ(s->Time, 1);
  EXPECT_EQ(s->block(101).Value, 2);  // computed before the failing block
  s->block(102).Cn = 0;
  StepButton(*s);  // the user mends the link and goes on
  EXPECT_EQ(s->Time, 2);
  EXPECT_EQ(s->Holdnext, 100);
}

TEST(RunLoop, AFailingStepPutsTheHoldGridBack) {
  TestSim s;
  s->block(101).Type = BlockType::Inductor;
  s->block(101).OnOff = 1;  // no inductance
  s->HighestBlock = 101;
  EXPECT_THROW(StepButton(*s), FloatError);
  EXPECT_EQ(s->Holdnext, 100);
  EXPECT_TRUE(s->HoldFlag);
}

TEST(RunLoop, AClockThatNoLongerMovesStopsTheStepAndHolds) {
  // Delt below the resolution of the doubles around Time (Time + Delt = Time), or
  // around the next hold, where the clock would stall on its way: a single step there
  // still moves the clock.
  const struct {
    double time, delt;
    bool step_stalls;
  } cases[] = {{1, 1e-300, true}, {1e5, 1e-12, true}, {1e17, 1, true}, {0, 1e-300, false}, {0, 1e-15, false}};
  for (const auto& c : cases) {
    TestSim s;
    s->Time = c.time;
    s->Delt = c.delt;
    s->TimeTol = 0.001 * c.delt;
    for (void (*button)(Sim&) : {RunButton, StepButton}) {
      if (button == StepButton && !c.step_stalls) continue;
      try {
        button(*s);
        ADD_FAILURE() << c.time << " + " << c.delt;
      } catch (const SimError& e) {
        EXPECT_NE(std::string(e.what()).find("Time step too small for the current time"), std::string::npos);
      }
      EXPECT_TRUE(s->HoldFlag);
      EXPECT_EQ(s->RunCaption, "RUN");
      EXPECT_EQ(s->Time, c.time);
      EXPECT_EQ(s->StepsTaken, 0);
    }
  }
  TestSim fine;  // a small step that still moves the clock up to the hold
  fine->Delt = 1e-9;
  fine->TimeTol = 1e-12;
  StepButton(*fine);
  EXPECT_EQ(fine->Time, 1e-9);
}

TEST(Tape, FullTapeRewindsPartlyAndHolds) {
  TestSim s;
  RecordTime(*s);
  s->Holdstep = 1e9;
  s->GrDel = 1;
  s->FinTim = 1e9;
  s->block(150).Type = BlockType::Memory;
  s->block(150).Pn = 9;
  s->HighestBlock = 150;
  ResetButton(*s);
  RunButton(*s);
  ASSERT_EQ(s.ui.messages, std::vector<std::string>{"Tape Full. PART rewind at Tape index:   10000"});
  EXPECT_EQ(s->Time, 10001);  // the 10002nd recording
  EXPECT_EQ(s->TapeIndex, 8001);
  EXPECT_EQ(s->TapeCell(0, 0), 2000);
  EXPECT_EQ(s->TapeCell(0, 8000), 10000);
  EXPECT_EQ(s->TapeCell(0, 8001), 10001);
  EXPECT_EQ(s->TapeCell(0, 8002), 8002);  // rows above keep their old contents
  EXPECT_EQ(s->block(150).Pn, 0);
}

TEST(Tape, NoChannelsRecordsNothingAndSavesAHeaderOnly) {
  TestSim s;
  ResetButton(*s);
  RunButton(*s);
  EXPECT_EQ(s->TapeIndex, -1);
  EXPECT_EQ(TapeFileText(*s), "Time   \r\n");
}

TEST(Tape, FileHoldsNamesAndRowsInTheGeneralFormat) {
  TestSim s;
  s->TapeChannels = 2;
  s->TapeChannelIDs[1] = 31;
  s->TapeChannelIDs[2] = 0;
  s->Delt = 0.5;
  ResetButton(*s);
  StepButton(*s);
  s->GrNext = 0;
  StepButton(*s);
  EXPECT_EQ(TapeFileText(*s), "Time      PI   ZERO\r\n0   3.14159265358979   0   \r\n1   3.14159265358979   0   \r\n");
  testing::TempDir dir;
  s->TapeFileName = dir.path("tape.txt");
  SaveTape(*s);
  EXPECT_EQ(testing::ReadTextFile(s->TapeFileName), TapeFileText(*s));
}

TEST(Tape, MoreThanTenChannelsIsARangeError) {
  TestSim s;
  s->TapeChannels = 11;
  EXPECT_THROW(RecordTape(*s), RangeError);
  EXPECT_THROW(TapeFileText(*s), RangeError);
  s->TapeChannels = 1;
  s->TapeChannelIDs[1] = 1001;
  EXPECT_THROW(RecordTape(*s), RangeError);
}

}  // namespace
}  // namespace trevolan

namespace trevolan {
namespace {

TEST(RunLoop, AGraphStepOfZeroStillReachesTheHold) {
  testing::TestSim s;
  s->GrDel = 0;
  CheckTiming(*s);
  ResetButton(*s);
  RunButton(*s);  // graph events every step, but the clock moves and holds at 100
  EXPECT_EQ(s->Time, 100);
}

}  // namespace
}  // namespace trevolan

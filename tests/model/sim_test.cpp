#include "model/sim.h"

#include <gtest/gtest.h>

#include <numbers>

#include "model/fields.h"
#include "model/numbers.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::TestSim;

TEST(ClearBlockTable, EmptiesEverySlotAndFillsTheTapeWithMinusOne) {
  TestSim s;
  s->block(500).OnOff = 7;
  s->block(500).stored = {1, 2, 3};
  s->block(500).Comment = std::string(300, 'c');
  s->block(500).Type = BlockType::Container;
  s->block(500).aa = 3;
  s->block(500).Pn = 9;
  s->TapeCell(3, 7) = 42;
  ClearBlockTable(*s);
  const Sim& cleared = *s;
  EXPECT_EQ(cleared.TapeCell(3, 7), -1.0);  // read before any cell is made again
  EXPECT_EQ(s->block(500).Comment, "");
  EXPECT_EQ(s->block(500).aa, 0);
  EXPECT_EQ(s->block(500).Pn, 0);
  EXPECT_EQ(s->block(500).stored.capacity(), 0u);  // a long list's memory goes too
  s->TapeCell(5, 100) = 1;
  EXPECT_EQ(cleared.TapeCell(5, 99), -1.0);
  for (int i = 0; i <= 1000; ++i) {
    const TBlock& b = s->block(i);
    ASSERT_EQ(b.Type, BlockType::Empty) << i;
    ASSERT_EQ(b.ID, i);
    ASSERT_EQ(b.Displ, 2);
    ASSERT_TRUE(b.stored.empty());
    ASSERT_EQ(b.Name, "?" + std::to_string(i) + " ");
  }
  EXPECT_EQ(s->block(1000).Name, "?1000 ");
  EXPECT_EQ(s->block(500).OnOff, 7);  // the one field a cleared slot keeps
  EXPECT_EQ(s->TapeIndex, -1);
  EXPECT_EQ(s->TapeChannelIDs[0], 2);
  for (int c = 0; c < kTapeColumns; ++c) {
    for (int r = 0; r < kTapeRows; ++r) ASSERT_EQ(s->TapeCell(c, r), c == 5 && r == 100 ? 1.0 : -1.0);
  }
}

TEST(ProgramStart, TableDefaultsOverrideTheGlobalsOwnStartValues) {
  TestSim s;
  EXPECT_EQ(s->FinTim, 1000);  // not the globals' own 10000
  EXPECT_EQ(s->Delt, 1);
  EXPECT_EQ(s->TimeTol, 0.001);
  EXPECT_EQ(s->HighestBlock, 100);
  EXPECT_TRUE(s->HoldFlag);
  EXPECT_FALSE(s->RunBusy);
  EXPECT_TRUE(s->AnimFlag);
  EXPECT_EQ(s->LastX, 100);
  EXPECT_EQ(s->DataFileName, "datafile.txt");
  EXPECT_EQ(s->block(0).XX, 0);  // blocks 0 and 1 are not drawn
  EXPECT_EQ(s->block(1).XX, 0);
  EXPECT_EQ(s->block(1).Value, 1);
  EXPECT_EQ(s->TapeChannels, 0);
  EXPECT_EQ(s->PlotWidth, 700);
  EXPECT_EQ(s->PlotHeight, 379);
}

// Each mirrored global has one default, its row's: the global starts at it, and so
// does the field of the system block that mirrors it.
TEST(ProgramStart, EveryMirroredGlobalAndItsBlockStartAtTheRowsDefault) {
  TestSim s;
  const auto number = [](const FieldValue& v) {
    return std::holds_alternative<double>(v) ? std::get<double>(v) : static_cast<double>(std::get<int64_t>(v));
  };
  int mirrored = 0;
  for (const GlobalField& g : GlobalFields()) {
    if (!g.initial) continue;
    ++mirrored;
    EXPECT_EQ(number(ReadField(*s, {.global = &g})), *g.initial) << g.name;
    const Target field{.field = &BlockFieldOf(g.mirror_field), .id = g.mirror_block};
    EXPECT_EQ(number(ReadField(*s, field)), *g.initial) << g.name;
  }
  EXPECT_EQ(mirrored, 18);  // blocks 2..17 and the Graphs block's two intervals
}

TEST(SystemDefaults, EveryRowOfTheTable) {
  TestSim s;
  const struct {
    int id;
    const char* name;
    double value;
    int xx, yy;
  } rows[] = {{0, "ZERO", 0, 0, 0},          {1, "ONE", 1, 0, 50},          {2, "Time", 0, 10, 10},
              {3, "Delt", 1, 10, 40},        {5, "FinTim", 1000, 10, 100},  {8, "Holdstep", 100, 10, 190},
              {13, "ColourMax", 100, 10, 340}, {14, "GrMinT", 0, 60, 400},  {15, "GrMaxT", 1000, 100, 400},
              {16, "GrMinY", 0, 10, 400},    {17, "GrMaxY", 100, 10, 375},  {18, "RepCount", 0, 10, 435},
              {19, "Graphs", 10, 60, 375},   {20, "USER1", 10, 10, 462},    {21, "U1", 0, 10, 486},
              {30, "U10", 0, 10, 513},       {31, "PI", std::numbers::pi, 75, 435}};
  for (const auto& r : rows) {
    const TBlock& b = s->block(r.id);
    EXPECT_EQ(b.Name, r.name) << r.id;
    EXPECT_EQ(b.Value, r.value) << r.id;
    EXPECT_EQ(b.XX, r.xx) << r.id;
    EXPECT_EQ(b.YY, r.yy) << r.id;
  }
  for (int id = 2; id <= 17; ++id) EXPECT_EQ(s->block(id).pp, s->block(id).Value) << id;
  EXPECT_EQ(s->block(19).Type, BlockType::Oscilloscope);
  EXPECT_EQ(s->block(20).Type, BlockType::User);
  EXPECT_EQ(s->block(25).Type, BlockType::Container);
  EXPECT_EQ(s->block(18).OnOff, 0);
  EXPECT_EQ(s->block(18).cc, 10);
  EXPECT_EQ(s->block(19).An, 14);
  EXPECT_EQ(s->block(19).Dn, 17);
  EXPECT_EQ(s->block(19).stored, std::vector<double>(11, 0.0));
  EXPECT_EQ(s->block(20).stored, std::vector<double>(11, 0.0));
  EXPECT_EQ(s->block(31).cc, 4);
  EXPECT_EQ(s->block(31).dd, std::numbers::pi);
}

TEST(SystemDefaults, KeepEntryZeroOfTheChannelListsAndOtherFields) {
  TestSim s;
  s->block(19).stored = {4, 7, 8};
  s->block(20).stored = {9};
  s->block(5).Comment = "kept";
  SetSystemDefaults(*s);
  EXPECT_EQ(s->block(19).stored, (std::vector<double>{4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(s->block(20).stored[0], 9);
  EXPECT_EQ(s->block(5).Comment, "kept");
}

TEST(CheckTiming, RepairsTheStepsInOrder) {
  TestSim s;
  s->Delt = 0;
  s->GrDel = 10;
  s->Holdstep = 5;
  CheckTiming(*s);
  EXPECT_EQ(s->Delt, 1);
  EXPECT_EQ(s->GrDel, 5);
  EXPECT_EQ(s->TimeTol, 0.001);
  s->Delt = 20;
  s->GrDel = 10;
  s->Holdstep = 100;
  CheckTiming(*s);
  EXPECT_EQ(s->Delt, 10);
  EXPECT_EQ(s->TimeTol, 0.01);
  EXPECT_EQ(s->block(3).Value, 1);  // not stored back until StoreTimingGlobals
}

TEST(CheckTiming, AClockThatWouldNotMoveForwardStepsByOne) {
  TestSim s;
  for (const auto& [delt, grdel] : {std::pair{-5.0, 10.0}, {0.5, 0.0}, {0.5, -2.0}}) {
    s->Delt = delt;
    s->GrDel = grdel;
    s->Holdstep = 100;
    CheckTiming(*s);
    EXPECT_EQ(s->Delt, 1) << delt << " " << grdel;
    EXPECT_EQ(s->TimeTol, 0.001);
  }
}

TEST(TimingGlobals, RoundTheGraphsIntervalsHalvesToEvenAndForceZeroAndOne) {
  TestSim s;
  for (const auto& [in, out] : {std::pair{10.5, 10.0}, {11.5, 12.0}, {-0.5, 0.0}}) {
    s->block(19).Value = in;
    s->block(19).pp = in;
    LoadTimingGlobals(*s);
    StoreTimingGlobals(*s);
    EXPECT_EQ(s->block(19).Value, out);
    EXPECT_EQ(s->block(19).pp, out);
  }
  s->block(0).Value = 5;
  s->block(1).Value = 5;
  s->block(4).Value = 42;
  s->block(18).Dn = 150;
  LoadTimingGlobals(*s);
  EXPECT_EQ(s->Start, 42);
  EXPECT_EQ(s->RepCount, 150);
  s->GrMaxY = 7;
  StoreTimingGlobals(*s);
  EXPECT_EQ(s->block(0).Value, 0);
  EXPECT_EQ(s->block(1).Value, 1);
  EXPECT_EQ(s->block(17).Value, 7);
  s->block(19).Value = 1e12;
  EXPECT_THROW(LoadTimingGlobals(*s), RangeError);
}

TEST(CheckBlockID, ClampsWithTheProgramsMessages) {
  TestSim s;
  EXPECT_EQ(CheckBlockID(*s, 1001), 1000);
  EXPECT_EQ(CheckBlockID(*s, -3), 0);
  EXPECT_EQ(CheckBlockID(*s, 1000), 1000);
  EXPECT_EQ(CheckBlockID(*s, 0), 0);
  ASSERT_EQ(s.ui.messages.size(), 2u);
  EXPECT_EQ(s.ui.messages[0], "Have put 1000 instead of block number   1001");
  EXPECT_EQ(s.ui.messages[1], "Have put 0 (zero) instead of block number   -3");
}

TEST(CheckedAccess, IdsStoredIndicesAndTapeCells) {
  TestSim s;
  EXPECT_THROW(s->block(1001), RangeError);
  EXPECT_THROW(s->block(-1), RangeError);
  EXPECT_NO_THROW(s->block(1000));
  TBlock& b = s->block(101);
  b.stored = {1, 2};
  EXPECT_EQ(StoredAt(b, 1), 2);
  EXPECT_THROW(StoredAt(b, 2), RangeError);
  EXPECT_THROW(StoredAt(b, -1), RangeError);
  EXPECT_THROW(s->TapeCell(11, 0), RangeError);
  EXPECT_THROW(s->TapeCell(0, 10001), RangeError);
  try {
    s->block(1001);
  } catch (const SimError& e) {
    EXPECT_STREQ(e.what(), "Range check error");
  }
}

TEST(ClearIntegratorInlets, OnlyIntegratorsUpToHighestBlock) {
  TestSim s;
  s->block(101).Type = BlockType::Integrator;
  s->block(101).pp = 3;
  s->block(102).Type = BlockType::Container;
  s->block(102).pp = 4;
  s->block(150).Type = BlockType::Integrator;
  s->block(150).pp = 5;
  s->HighestBlock = 120;
  ClearIntegratorInlets(*s);
  EXPECT_EQ(s->block(101).pp, 0);
  EXPECT_EQ(s->block(102).pp, 4);
  EXPECT_EQ(s->block(150).pp, 5);
  s->HighestBlock = 1001;
  EXPECT_THROW(ClearIntegratorInlets(*s), RangeError);
}

TEST(Random, SameSequenceAtEveryStartInsideTheUnitInterval) {
  TestSim a, b;
  for (int i = 0; i < 1000; ++i) {
    const double u = a->Uniform(101);
    ASSERT_EQ(u, b->Uniform(101));
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
  }
}

}  // namespace
}  // namespace trevolan

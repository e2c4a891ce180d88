#include <gtest/gtest.h>

#include <cmath>
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

// A table of points (argument, value) as a stored list: 0, values, arguments.
std::vector<double> Table(const std::vector<std::pair<double, double>>& points) {
  std::vector<double> list(1, 0.0);
  for (const auto& p : points) list.push_back(p.second);
  for (const auto& p : points) list.push_back(p.first);
  return list;
}

// A Generator at 102 as a new one is made (the identity on [0, 1] in 11 points),
// reading block 101 on A.
TBlock& MakeGenerator(Sim& s) {
  TBlock& g = MakeBlock(s, 102, 'G');
  g.cc = 1;
  g.pp = 1;
  g.Dn = 11;
  g.Pn = 102;
  g.An = 101;
  std::vector<std::pair<double, double>> identity;
  for (int k = 0; k <= 10; ++k) identity.push_back({k / 10.0, k / 10.0});
  g.stored = Table(identity);
  MakeContainer(s, 101, 0);
  return g;
}

TEST(Generator, TheDefaultTableIsTheIdentityClampedToItsEnds) {
  const struct {
    double in, out;
  } cases[] = {{0.35, 0.35}, {-1, 0}, {7, 1}, {0, 0}, {1, 1}, {0.3, 0.3}, {0.95, 0.95}};
  for (const auto& c : cases) {
    TestSim s;
    TBlock& g = MakeGenerator(*s);
    s->block(101).Value = c.in;
    ComputeGenerator(*s, 102);
    EXPECT_NEAR(g.Value, c.out, 1e-15) << c.in;
  }
}

TEST(Generator, InputFormulaAndOutputFactor) {
  TestSim s;
  TBlock& g = MakeGenerator(*s);
  g.stored = Table({{0, 0}, {10, 100}, {20, 100}});
  s->block(101).Value = 3;
  g.aa = 1;
  g.Bn = 103;
  MakeContainer(*s, 103, 0.5);
  g.bb = 0.5;
  g.Cn = 104;
  MakeContainer(*s, 104, 1);
  g.cc = 1;
  g.pp = -2;
  ComputeGenerator(*s, 102);
  EXPECT_DOUBLE_EQ(g.Value, -2 * 60);  // x = (3 + 1 - 0.5 - 0.5) * 2 = 6
}

TEST(Generator, ArgumentsHitExactlyAndEqualArgumentsTakeTheFirst) {
  TestSim s;
  TBlock& g = MakeGenerator(*s);
  g.stored = Table({{0, 0.1}, {0.3, 0.7}, {0.3, 0.9}, {0.7, 0.2}, {1, 5}});
  const struct {
    double in, out, tolerance;
  } cases[] = {{0.3, 0.7, 0}, {0.7, 0.2, 0}, {0.5, 0.55, 1e-14}, {1, 5, 0}, {0, 0.1, 0}, {0.85, 2.6, 1e-14}};
  for (const auto& c : cases) {
    s->block(101).Value = c.in;
    ComputeGenerator(*s, 102);
    EXPECT_NEAR(g.Value, c.out, c.tolerance) << c.in;
  }
  s->block(101).Value = NAN;
  EXPECT_THROW(ComputeGenerator(*s, 102), FloatError);
  EXPECT_NEAR(g.Value, 2.6, 1e-14);  // the last result stays
}

TEST(Generator, TableBlockIsClampedAndBadTablesGiveZero) {
  TestSim s;
  TBlock& g = MakeGenerator(*s);
  s->block(101).Value = 0.5;
  s->block(21).stored = Table({{0, 3}, {1, 3}});
  g.Pn = 5;  // below 21: block 21
  ComputeGenerator(*s, 102);
  EXPECT_EQ(g.Value, 3);
  s->block(102).Value = 0;
  MakeBlock(*s, 300, 'G').stored = Table({{0, 4}, {1, 4}});
  g.Pn = 500;  // above HighestBlock (300): block 300
  ComputeGenerator(*s, 102);
  EXPECT_EQ(g.Value, 4);

  const std::vector<size_t> bad_lengths = {0, 1, 3, 4, 22};
  for (const size_t length : bad_lengths) {
    g.Pn = 102;
    g.Value = 9;
    g.stored.assign(length, 1.0);
    ComputeGenerator(*s, 102);
    EXPECT_EQ(g.Value, 0) << length;
  }
  g.stored = Table({{0, 0}, {1, 1}});
  g.OnOff = 0;
  g.Value = 9;
  ComputeGenerator(*s, 102);
  EXPECT_EQ(g.Value, 9);
}

// A Memory at 103 sampling block 101 against Time (block 2), in mode `mode`, with
// `points` samples, the sample time and the offset.
TBlock& MakeMemory(Sim& s, int mode, int points, double sample, double offset) {
  TBlock& m = MakeBlock(s, 103, 'M', 2 * points + 1);
  m.State = mode;
  m.An = 101;
  m.Bn = 2;
  m.cc = offset;
  m.Dn = points;
  m.pp = sample;
  return m;
}

TEST(Memory, DelaysARampByItsOffset) {
  // Held or interpolated: the offset is a whole number of sample times, so the target
  // falls on a sample in both modes.
  for (const int mode : {0, 1}) {
    TestSim s;
    TBlock& ramp = MakeContainer(*s, 101, 0);
    TBlock& m = MakeMemory(*s, mode, 50, 1, 20);
    ResetRun(*s);
    for (int step = 1; step <= 100; ++step) {
      ramp.Value = s->Time + 1;  // the ramp as it stands in the next pass
      Pass(*s);
      if (s->Time >= 20) {
        ASSERT_NEAR(m.Value, s->Time - 20, 1e-12) << s->Time << " mode " << mode;
      } else {
        ASSERT_EQ(m.Value, 0) << s->Time << " mode " << mode;  // aa, the history after a reset
      }
    }
  }
}

TEST(Memory, SampleAndHoldGivesSamplesAndInterpolationFollowsTheLine) {
  for (const int mode : {0, 1}) {
    TestSim s;
    TBlock& ramp = MakeContainer(*s, 101, 0);
    TBlock& m = MakeMemory(*s, mode, 20, 4, 10);
    ResetRun(*s);
    for (int step = 1; step <= 60; ++step) {
      ramp.Value = 2 * (s->Time + 1);
      Pass(*s);
      if (s->Time < 16) continue;
      if (mode == 1) {
        ASSERT_NEAR(m.Value, 2 * (s->Time - 10), 1e-12) << s->Time;
      } else {
        // The held value is the last sample at or before the target: one taken at a
        // multiple of 4 up to Time - 10.
        const double sample_time = 4 * std::floor((s->Time - 10) / 4);
        ASSERT_EQ(m.Value, 2 * sample_time) << s->Time;
      }
    }
  }
}

TEST(Memory, WithOffsetZeroItFollowsTheInput) {
  TestSim s;
  TBlock& in = MakeContainer(*s, 101, 0);
  TBlock& m = MakeMemory(*s, 0, 5, 3, 0);
  ResetRun(*s);
  in.Value = 4;
  Pass(*s);  // no sample: between the last sample (0 at Time 0) and the present input
  EXPECT_EQ(m.Value, 4);
  Pass(*s);
  in.Value = 8;
  Pass(*s);  // sampled at Time 3: the two are equal
  EXPECT_EQ(m.Value, 8);
}

TEST(Memory, ResetPrefillsTheHistory) {
  TestSim s;
  MakeContainer(*s, 101, 0).dd = 5;
  TBlock& m = MakeMemory(*s, 1, 5, 10, 8);
  m.aa = 2;
  m.stored[1] = 77;
  s->Start = 100;
  ResetRun(*s);
  EXPECT_EQ(m.bb, 100);
  // The reset wrote aa and the bases 92, 94, 96, 98 into points 2..5 (point 1 kept);
  // its compute pass then took the first sample, pushing point 1 out.
  EXPECT_EQ(m.stored, (std::vector<double>{0, 2, 2, 2, 2, 5, 92, 94, 96, 98, 100}));
  EXPECT_EQ(m.dd, 110);
  EXPECT_EQ(m.Value, 2);  // target 92 is the oldest basis
}

TEST(Memory, OffSlidesTheSampleAndShortListsFail) {
  TestSim s;
  MakeContainer(*s, 101, 0);
  TBlock& m = MakeMemory(*s, 1, 5, 1, 1);
  m.dd = 4;
  m.OnOff = 0;
  ComputeMemory(*s, 103);
  EXPECT_EQ(m.dd, 4 + s->Delt);
  m.OnOff = 1;
  m.stored.resize(1);
  m.Value = 6;
  EXPECT_THROW(ComputeMemory(*s, 103), RangeError);
  EXPECT_EQ(m.dd, 5);  // nothing sampled
  m.stored.resize(4);
  m.State = 7;
  ComputeMemory(*s, 103);  // tiny lists do not read beyond their ends
  m.An = -1;
  EXPECT_THROW(ComputeMemory(*s, 103), RangeError);
}

}  // namespace
}  // namespace trevolan

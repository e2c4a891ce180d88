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
using testing::TestSim;

// A Diverter taking `load` from the world, with no holding time, into two
// containers: C is 101, D is 103.
struct DiverterRig {
  TestSim s;
  TBlock& c = MakeContainer(*s, 101, 0, 1e9);
  TBlock& d = MakeContainer(*s, 103, 0, 1e9);
  TBlock& div = MakeBlock(*s, 102, 'D', 2);
  DiverterRig(double load, double bb, double cc = 1, double dd = 1) {
    div.State = 1;
    div.aa = load;
    div.bb = bb;
    div.Cn = 101;
    div.cc = cc;
    div.Dn = 103;
    div.dd = dd;
  }
  void Loads(int n) {
    for (int i = 0; i < n; ++i) ComputeDiverter(*s, 102);
  }
};

TEST(Diverter, ProbabilityClampedIntoZeroToOne) {
  const struct {
    double bb, linked, to_d;
  } cases[] = {{2, 0, 1000}, {1, 0, 1000}, {0, 0, 0}, {0.5, -0.5, 0}, {0.25, 0.75, 1000}};
  for (const auto& c : cases) {
    DiverterRig r(1, c.bb);
    MakeContainer(*r.s, 104, c.linked);
    r.div.Bn = 104;
    r.Loads(1000);
    EXPECT_EQ(r.d.Value, c.to_d) << c.bb << " + " << c.linked;
    EXPECT_EQ(r.c.Value + r.d.Value, 1000);
  }
}

TEST(Diverter, SplitSendsFractionsOfTheLoad) {
  const struct {
    double bb, cc, dd, to_c, to_d;
  } cases[] = {
      {-0.25, -100, -100, 6, 2},  // D gets r of the load, C the rest
      {-0.25, 1, 1, 1, 1},        // fractions only cap negative drop fields
      {-0.25, -1, -100, 1, 2},    // C capped at 1, the rest lost
      {-3, -100, -100, 0, 8},     // r clamped to 1
  };
  for (const auto& c : cases) {
    DiverterRig r(8, c.bb, c.cc, c.dd);
    r.Loads(1);
    EXPECT_EQ(r.c.Value, c.to_c) << c.bb << " " << c.cc << " " << c.dd;
    EXPECT_EQ(r.d.Value, c.to_d) << c.bb << " " << c.cc << " " << c.dd;
    EXPECT_EQ(r.div.State, 1);
    EXPECT_EQ(r.div.stored[1], 0);
  }
  // The whole load to D: C, already holding something, is not asked for an empty
  // share and nothing is made out of nothing for it.
  DiverterRig r(8, -1, -100, -100);
  r.c.Value = 3;
  r.Loads(1);
  EXPECT_EQ(r.div.State, 1);
  EXPECT_EQ(r.c.Value, 3);
  EXPECT_EQ(r.d.Value, 8);

  // C and D one container: both shares must fit together, and two fill drops fill it
  // once (capacity 10).
  const struct {
    double held, cc, dd, after;
    int state;
  } same[] = {{5, 3, 3, 5, 3}, {4, 3, 3, 10, 1}, {0, 0, 0, 10, 1}, {3, 0, 0, 3, 3}};
  for (const auto& c : same) {
    DiverterRig one(8, -0.5, c.cc, c.dd);
    one.div.Dn = 101;
    one.c.Value = c.held;
    one.c.cc = 10;
    one.Loads(1);
    EXPECT_EQ(one.c.Value, c.after) << c.held << " " << c.cc;
    EXPECT_EQ(one.div.State, c.state) << c.held << " " << c.cc;
  }
}

TEST(Diverter, BlocksWhenEitherTargetRefusesWithoutDrawing) {
  DiverterRig r(1, 0.5);
  r.d.cc = 0.5;  // D cannot take a unit
  const std::mt19937_64 before = r.s->rng;
  r.Loads(3);
  EXPECT_EQ(r.div.State, 3);
  EXPECT_EQ(r.div.stored[1], 1);
  EXPECT_EQ(r.c.Value, 0);
  EXPECT_TRUE(r.s->rng == before);
  r.d.cc = 10;
  r.Loads(1);
  EXPECT_EQ(r.div.State, 1);
  EXPECT_EQ(r.c.Value + r.d.Value, 1);
  EXPECT_FALSE(r.s->rng == before);
}

TEST(Diverter, HoldsForItsCycleTimeAndSlidesWhenOff) {
  TestSim s;
  MakeContainer(*s, 101, 0);
  TBlock& src = MakeContainer(*s, 104, 0);
  src.dd = 3;
  TBlock& div = MakeBlock(*s, 102, 'D', 2);
  div.State = 1;
  div.An = 104;
  div.aa = -5;  // up to 5
  div.Cn = 101;
  div.cc = -10;
  div.pp = 4;
  ResetRun(*s);
  EXPECT_EQ(src.Value, 0);
  EXPECT_EQ(div.stored[1], 3);
  EXPECT_EQ(div.Value, 4);
  div.OnOff = 0;
  s->Time = 3;
  ComputeDiverter(*s, 102);
  EXPECT_EQ(div.Value, 5);
  div.OnOff = 1;
  s->Time = 4;
  ComputeDiverter(*s, 102);
  EXPECT_EQ(div.State, 2);
  s->Time = 5;
  ComputeDiverter(*s, 102);
  EXPECT_EQ(div.State, 1);
  EXPECT_EQ(s->block(101).Value, 3);
  div.stored.resize(1);
  src.Value = 1;
  EXPECT_THROW(ComputeDiverter(*s, 102), RangeError);
  EXPECT_EQ(src.Value, 1);  // nothing taken for a load it cannot hold
}

TEST(DiverterStatistics, DiversionShareIsTheProbability) {
  for (const double p : {0.5, 0.3}) {
    DiverterRig r(1, p);
    r.Loads(20000);
    // Standard error of the share: sqrt(p(1-p)/20000) < 0.004.
    EXPECT_NEAR(r.d.Value / 20000, p, 0.03) << p;
    EXPECT_EQ(r.c.Value + r.d.Value, 20000);
  }
}

TBlock& MakeFuzz(Sim& s, int mode, double size, double offset, double lo = -1000, double hi = 1000) {
  TBlock& z = MakeBlock(s, 102, 'Z');
  z.State = mode;
  z.aa = size;
  z.bb = offset;
  z.cc = lo;
  z.dd = hi;
  return z;
}

struct Moments {
  double mean = 0, sd = 0, lowest = 1e300, highest = -1e300;
};

Moments Sample(Sim& s, int n) {
  double sum = 0, sum2 = 0;
  Moments m;
  for (int i = 0; i < n; ++i) {
    ComputeFuzz(s, 102);
    const double x = s.block(102).Value;
    sum += x;
    sum2 += x * x;
    m.lowest = std::min(m.lowest, x);
    m.highest = std::max(m.highest, x);
  }
  m.mean = sum / n;
  m.sd = std::sqrt(sum2 / n - m.mean * m.mean);
  return m;
}

TEST(FuzzStatistics, EachDistributionHasItsMeanAndSpread) {
  const int n = 100000;
  const struct {
    const char* what;
    int mode;
    double size, offset, mean, sd, lowest, highest;
  } cases[] = {
      // Uniform on [o - s/2, o + s/2): sd s / sqrt(12).
      {"uniform", 0, 4, 1, 1, 4 / std::sqrt(12.0), -1, 3},
      {"gaussian", 1, 2, 5, 5, 2, -1e300, 1e300},
      {"poisson spacing", 2, 10, 0, 10, 10, 0, 1e300},
      {"poisson shifted", 2, 3, 7, 10, 3, 7, 1e300},
      {"erlang-3", 3, 6, 0, 6, 6 / std::sqrt(3.0), 0, 1e300},
  };
  for (const auto& c : cases) {
    TestSim s;
    MakeFuzz(*s, c.mode, c.size, c.offset);
    const Moments m = Sample(*s, n);
    // Standard errors of the mean and of the deviation stay below sd / 300 here.
    EXPECT_NEAR(m.mean, c.mean, c.sd * 0.02) << c.what;
    EXPECT_NEAR(m.sd, c.sd, c.sd * 0.03) << c.what;
    EXPECT_GE(m.lowest, c.lowest) << c.what;
    EXPECT_LT(m.highest, c.highest) << c.what;
  }
}

TEST(Fuzz, BoundsModeClampAndOff) {
  TestSim s;
  // Uniform is never bounded.
  TBlock& z = MakeFuzz(*s, 0, 1, 0, 0.2, 0.3);
  const Moments u = Sample(*s, 1000);
  EXPECT_GE(u.lowest, -0.5);
  EXPECT_LT(u.highest, 0.5);
  EXPECT_LT(u.lowest, 0);
  // Exponential of mean 10 capped at 5.
  z.State = 2;
  z.aa = 10;
  z.cc = -1000;
  z.dd = 5;
  const Moments capped = Sample(*s, 1000);
  EXPECT_EQ(capped.highest, 5);
  EXPECT_GE(capped.lowest, 0);
  // Crossed bounds give lo.
  z.cc = 7;
  z.dd = 3;
  ComputeFuzz(*s, 102);
  EXPECT_EQ(z.Value, 7);
  // A mode outside 0..3 is corrected.
  z.State = 7;
  ComputeFuzz(*s, 102);
  EXPECT_EQ(z.State, 3);
  z.State = -2;
  ComputeFuzz(*s, 102);
  EXPECT_EQ(z.State, 0);
  // Switched off: no draw and the Value stays.
  z.OnOff = 0;
  z.Value = 42;
  const std::mt19937_64 before = s->rng;
  ComputeFuzz(*s, 102);
  EXPECT_EQ(z.Value, 42);
  EXPECT_TRUE(s->rng == before);
}

TEST(Fuzz, SizeAndOffsetFollowTheirLinks) {
  TestSim s;
  MakeContainer(*s, 101, 2);
  MakeContainer(*s, 103, 100);
  TBlock& z = MakeFuzz(*s, 0, 0, 0);
  z.An = 101;
  z.Bn = 103;
  const Moments m = Sample(*s, 1000);
  EXPECT_GE(m.lowest, 99);
  EXPECT_LT(m.highest, 101);
  EXPECT_LT(m.lowest, 99.1);
  EXPECT_GT(m.highest, 100.9);
}

}  // namespace
}  // namespace trevolan

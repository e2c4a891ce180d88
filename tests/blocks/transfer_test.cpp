#include "blocks/transfer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "support/blocks.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::MakeBlock;
using testing::MakeContainer;
using testing::TestSim;

TEST(Transfer, TakeAmountByKindOfSource) {
  const struct {
    const char* what;
    int id;
    char type;
    int onoff;
    double value, request, expected;
  } cases[] = {
      {"exact take refused", 150, 'C', 1, 2, 3, 0},
      {"exact take granted", 150, 'C', 1, 3, 3, 3},
      {"up-to take gives what there is", 150, 'C', 1, 2, -3, 2},
      {"up-to take capped", 150, 'C', 1, 5, -3, 3},
      {"up-to take from a trace", 150, 'C', 1, 1e-20, -3, 0},
      {"request 0 counts as not available", 150, 'C', 1, 5, 0, 0},
      {"integrator is a store", 150, 'I', 1, 4, 3, 3},
      {"switched off", 150, 'C', 0, 5, 3, 0},
      {"other type", 150, 'X', 1, 5, 3, 0},
      {"other type up-to", 150, 'X', 1, 5, -3, 0},
      {"reserved slot", 50, 'C', 1, 5, 3, 0},
      {"system block", 2, 'C', 1, 5, -3, 0},
      {"the world gives anything", 0, 'C', 1, 0, -7, 7},
      {"the world, exact", 0, 'C', 1, 0, 4, 4},
  };
  for (const auto& c : cases) {
    TestSim s;
    if (c.id != 0) {
      TBlock& b = MakeBlock(*s, c.id, c.type);
      b.OnOff = c.onoff;
      b.Value = c.value;
    }
    EXPECT_EQ(TakeAmount(*s, c.id, c.request), c.expected) << c.what;
  }
}

TEST(Transfer, CanDropByKindOfTarget) {
  const struct {
    const char* what;
    int id;
    char type;
    int onoff;
    double value, capacity, amount;
    bool expected;
  } cases[] = {
      {"over capacity", 150, 'C', 1, 96, 100, 5, false},
      {"up to capacity", 150, 'C', 1, 96, 100, 4, true},
      {"fill into empty", 150, 'C', 1, 0, 100, 0, true},
      {"fill into a negative store", 150, 'C', 1, -1, 100, -2, true},
      {"fill into a holding store", 150, 'C', 1, 1, 100, 0, false},
      {"integrator bound bb", 150, 'I', 1, 1, 5, 4, true},
      {"integrator over bound", 150, 'I', 1, 1, 5, 4.5, false},
      {"other type, positive", 150, 'X', 1, 0, 100, 1, false},
      {"other type, fill at 0", 150, 'X', 1, 0, 100, 0, true},
      {"switched off", 150, 'C', -1, 0, 100, 1, false},
      {"reserved slot", 100, 'C', 1, 0, 100, 1, false},
      {"the world accepts anything", 0, 'C', 1, 0, 0, 1e30, true},
  };
  for (const auto& c : cases) {
    TestSim s;
    if (c.id != 0) {
      TBlock& b = MakeBlock(*s, c.id, c.type);
      b.OnOff = c.onoff;
      b.Value = c.value;
      (TypeOfLetter(c.type) == BlockType::Integrator ? b.bb : b.cc) = c.capacity;
    }
    EXPECT_EQ(CanDrop(*s, c.id, c.amount), c.expected) << c.what;
  }
}

TEST(Transfer, DropIntoAddsAndRefreshesTheContainer) {
  TestSim s;
  TBlock& c = MakeContainer(*s, 150, 96, 100);
  DropInto(*s, 150, 4);
  EXPECT_EQ(c.Value, 100);
  EXPECT_EQ(c.State, 3);
  EXPECT_EQ(s.ui.drawn_blocks.back(), 150);

  c.Value = 0;
  DropInto(*s, 150, 0);  // a fill drop adds the whole capacity
  EXPECT_EQ(c.Value, 100);
  EXPECT_EQ(c.State, 3);

  TBlock& i = MakeBlock(*s, 151, 'I');
  i.bb = 7;
  DropInto(*s, 151, -1);
  EXPECT_EQ(i.Value, 7);
  DropInto(*s, 151, 2);
  EXPECT_EQ(i.Value, 9);  // no test of the bound here

  TBlock& x = MakeBlock(*s, 152, 'X');
  DropInto(*s, 152, 3);
  EXPECT_EQ(x.Value, 0);
  DropInto(*s, 0, 5);
  EXPECT_EQ(s->block(0).Value, 0);

  // Neither the reserved range nor OnOff is DropInto's business.
  TBlock& reserved = MakeContainer(*s, 50, 0, 10);
  reserved.OnOff = 0;
  DropInto(*s, 50, 2);
  EXPECT_EQ(reserved.Value, 2);
}

TEST(Transfer, TakeOutSubtractsWithoutTesting) {
  TestSim s;
  TBlock& c = MakeContainer(*s, 150, 1, 10);
  TakeOut(*s, 150, 3);
  EXPECT_EQ(c.Value, -2);
  EXPECT_EQ(c.State, 1);
  TakeOut(*s, 0, 3);
  EXPECT_EQ(s->block(0).Value, 0);
  EXPECT_THROW(TakeOut(*s, 1001, 1), RangeError);
  EXPECT_THROW(TakeAmount(*s, -1, 1), RangeError);
  EXPECT_THROW(CanDrop(*s, 1001, 1), RangeError);
  EXPECT_THROW(DropInto(*s, 1001, 1), RangeError);
}

TEST(Transfer, ContainerStateRulesAndCapacityFromC) {
  const struct {
    double value, capacity;
    int state;
  } cases[] = {{0, 100, 1}, {-3, 100, 1}, {0.5, 100, 2}, {100, 100, 3}, {150, 100, 3}, {0, 0, 3}, {0, -5, 3}};
  for (const auto& c : cases) {
    TestSim s;
    TBlock& b = MakeContainer(*s, 150, c.value, c.capacity);
    UpdateContainerState(*s, 150);
    EXPECT_EQ(b.State, c.state) << c.value << " of " << c.capacity;
  }
  TestSim s;
  TBlock& b = MakeContainer(*s, 150, 120, 100);
  TBlock& extra = MakeContainer(*s, 151, 50);
  b.Cn = 151;
  UpdateContainerState(*s, 150);
  EXPECT_EQ(b.State, 2);  // capacity 150, read at each test
  EXPECT_TRUE(CanDrop(*s, 150, 30));
  extra.Value = 0;
  EXPECT_FALSE(CanDrop(*s, 150, 30));

  // Containers of the reserved range and other types are left alone, without a redraw.
  TBlock& reserved = MakeContainer(*s, 60, 5, 10);
  reserved.State = 9;
  s.ui.drawn_blocks.clear();
  UpdateContainerState(*s, 60);
  UpdateContainerState(*s, 151);
  EXPECT_EQ(reserved.State, 9);
  s->AnimFlag = false;
  UpdateContainerState(*s, 150);
  EXPECT_EQ(s.ui.drawn_blocks, std::vector<int>{151});
}

TEST(Transfer, ReleaseTimeAndInterpolate) {
  TestSim s;
  s->Time = 30;
  EXPECT_EQ(ReleaseTime(*s, 150, 10), 40);
  EXPECT_EQ(ReleaseTime(*s, 150, 0), 30);
  EXPECT_EQ(Interpolate(5, 0, 0, 10, 20), 10);
  EXPECT_EQ(Interpolate(15, 0, 0, 10, 20), 30);  // extrapolates
  EXPECT_EQ(Interpolate(-5, 0, 0, 10, 20), -10);
  EXPECT_EQ(Interpolate(3, 2, 4, 2, 8), 6);      // equal abscissas: the mean
}

TEST(Transfer, StoredAbsSum) {
  TestSim s;
  TBlock& b = MakeBlock(*s, 150, 'B');
  EXPECT_EQ(StoredAbsSum(*s, 150), 0);
  b.stored = {-5};
  EXPECT_EQ(StoredAbsSum(*s, 150), 0);  // fewer than two elements
  b.stored = {-1, 2, -3.5};
  EXPECT_EQ(StoredAbsSum(*s, 150), 6.5);  // element 0 counts
}

// Mean and variance of n draws.
template <typename Draw>
std::pair<double, double> MeanAndVariance(int n, Draw draw) {
  double sum = 0, sum2 = 0;
  for (int i = 0; i < n; ++i) {
    const double x = draw();
    sum += x;
    sum2 += x * x;
  }
  const double mean = sum / n;
  return {mean, sum2 / n - mean * mean};
}

TEST(TransferStatistics, NegativeDelayIsErlang2WithItsMagnitudeAsMean) {
  TestSim s;
  s->Time = 100;
  // Erlang-2 of mean 10 has variance 50: the mean of 100000 draws lies within 0.02 of
  // 10 to one standard error; an exponential of mean 10 would show variance 100.
  const auto [mean, var] = MeanAndVariance(100000, [&] { return ReleaseTime(*s, 150, -10) - 100; });
  EXPECT_NEAR(mean, 10, 0.2);
  EXPECT_NEAR(var, 50, 5);
  const auto [unit_mean, unit_var] = MeanAndVariance(100000, [&] { return Erlang2Unit(*s, 150); });
  EXPECT_NEAR(unit_mean, 1, 0.02);
  EXPECT_NEAR(unit_var, 0.5, 0.05);
}

TEST(TransferStatistics, SameSequenceAtEveryStart) {
  TestSim a, b;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Erlang2Unit(*a, 150), Erlang2Unit(*b, 150));
}

TEST(TransferStatistics, AZeroDrawIsDrawnAgain) {
  TestSim s;
  // A generator state whose next output is 0 (the tempering keeps 0 at 0), followed by
  // ordinary words.
  std::stringstream state;
  for (int i = 0; i < 312; ++i) state << (i == 0 ? 0 : 0x9e3779b97f4a7c15ull * static_cast<unsigned>(i)) << ' ';
  state << 0;
  state >> s->rng;
  std::mt19937_64 probe = s->rng;
  if (probe() != 0) GTEST_SKIP() << "this library's engine state text is not the one assumed";
  const double x = Erlang2Unit(*s, 150);
  EXPECT_TRUE(std::isfinite(x));
  EXPECT_GT(x, 0);
}

}  // namespace
}  // namespace trevolan

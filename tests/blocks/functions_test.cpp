#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "blocks/compute.h"
#include "support/blocks.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::MakeModeBlock;
using testing::TestSim;

// The Value of a fresh block of `type` in `mode` with coefficients aa..pp and no links.
struct Coefficients {
  double aa = 0, bb = 0, cc = 0, dd = 0, pp = 0;
};
double Compute(char type, int mode, Coefficients k, void (*compute)(Sim&, int), double before = 42) {
  TestSim s;
  TBlock& b = MakeModeBlock(*s, 101, type, mode);
  b.aa = k.aa, b.bb = k.bb, b.cc = k.cc, b.dd = k.dd, b.pp = k.pp;
  b.Value = before;
  compute(*s, 101);
  return b.Value;
}

TEST(FunctionBlocks, ValuesOfEachMode) {
  const double pi = std::numbers::pi;
  const struct {
    const char* what;
    char type;
    int mode;
    Coefficients k;
    void (*compute)(Sim&, int);
    double value;
  } cases[] = {
      {"exp of 0 is d", 'E', 0, {0, 0, 1, 3, 0}, ComputeExponents, 3},
      {"exp", 'E', 0, {2, 0, 1, 1, 0}, ComputeExponents, std::exp(2)},
      {"alog", 'E', 1, {2, 0, 1, 1, 0}, ComputeExponents, std::exp(2.302585093 * 2)},
      {"odd power of a negative", 'E', 2, {-8, 1.0 / 3, 1, 1.5, 0}, ComputeExponents, -3},
      {"power of 0 is 0", 'E', 2, {0, 2, 1, 1, 0}, ComputeExponents, 0},
      {"exponents mode 3 keeps", 'E', 3, {1, 0, 1, 1, 0}, ComputeExponents, 42},
      {"log10", 'L', 1, {1000, 0, 1, 1, 0}, ComputeLogarithm, 3},
      {"ln", 'L', 0, {std::exp(2), 0, 1, 2, 0}, ComputeLogarithm, 4},
      {"log2 of a ratio", 'L', 2, {8, 0, 2, 1, 0}, ComputeLogarithm, 2},
      {"any base", 'L', 3, {81, 3, 1, 1, 0}, ComputeLogarithm, 4},
      {"log of 0 is floored", 'L', 0, {0, 0, 1, 1, 0}, ComputeLogarithm, std::log(1e-19)},
      {"log of a negative is floored", 'L', 0, {-5, 0, 2, 1, 0}, ComputeLogarithm, std::log(1e-19 / 2)},
      {"logarithm mode 7 keeps", 'L', 7, {10, 0, 1, 1, 0}, ComputeLogarithm, 42},
      {"sine", 'S', 0, {1, 1, pi / 2, 2, 0}, ComputeSine, 2},
      {"sine with phase", 'S', 0, {0, 0, 0, 1, pi / 6}, ComputeSine, 0.5},
      {"arcsine clamps", 'S', 1, {2, 0, 0, 0, 0}, ComputeSine, pi / 2},
      {"arcsine", 'S', 1, {0.5, 0, 0, 0, 0}, ComputeSine, std::asin(0.5)},
      {"arctan of (-1, 0)", 'S', 2, {-1, 0, 0, 0, 0}, ComputeSine, pi},
      {"arctan with a = 0", 'S', 2, {0, -5, 0, 0, 0}, ComputeSine, -pi / 2},
      {"arctan at the origin", 'S', 2, {0, 0, 0, 0, 0}, ComputeSine, 0},
      {"quantizer half to even", 'Q', 0, {2.5, 1, 0, 0, 1}, ComputeQuantizer, 2},
      {"quantizer 3.5", 'Q', 0, {3.5, 1, 0, 0, 1}, ComputeQuantizer, 4},
      {"quantizer step", 'Q', 0, {1.26, 10, 0, 0, 0.1}, ComputeQuantizer, 1.3},
      {"quantizer bounded", 'Q', 1, {7, 1, 0, 5, 2}, ComputeQuantizer, 10},
      {"quantizer bounds crossed", 'Q', 1, {-7, 1, 5, 0, 2}, ComputeQuantizer, 0},
      {"viscous at rest", 'H', 2, {4, 3, 2, 0, 4}, ComputeHysteresis, 2},
      {"PID keeps its Value", 'P', 0, {1, 1, 1, 1, 1}, ComputePid, 42},
      {"Visualizer computes nothing", 'V', 0, {1, 1, 1, 1, 1}, ComputeVisualizer, 42},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(Compute(c.type, c.mode, c.k, c.compute), c.value, 1e-12 * std::max(1.0, std::fabs(c.value))) << c.what;
  }
}

TEST(FunctionBlocks, LogarithmClearsItsPpInEveryMode) {
  for (int mode : {0, 3, 7}) {
    TestSim s;
    TBlock& b = MakeModeBlock(*s, 101, 'L', mode);
    b.aa = 2;
    b.bb = 2;
    b.cc = 1;
    b.pp = 5;
    ComputeLogarithm(*s, 101);
    EXPECT_EQ(b.pp, 0) << mode;
  }
}

TEST(FunctionBlocks, UnguardedFaultsRaiseFloatErrors) {
  const struct {
    const char* what;
    char type;
    int mode;
    Coefficients k;
    void (*compute)(Sim&, int);
  } cases[] = {
      {"exponents with C = 0", 'E', 0, {1, 0, 0, 1, 0}, ComputeExponents},
      {"exponential overflow", 'E', 0, {1000, 0, 1, 1, 0}, ComputeExponents},
      {"alog overflow", 'E', 1, {400, 0, 1, 1, 0}, ComputeExponents},
      {"power overflow", 'E', 2, {1e10, 400, 1, 1, 0}, ComputeExponents},
      {"logarithm base 0", 'L', 3, {2, 0, 1, 1, 0}, ComputeLogarithm},
      {"logarithm base 1", 'L', 3, {2, -1, 1, 1, 0}, ComputeLogarithm},
      {"quantizer beyond 64 bits", 'Q', 0, {1e10, 1e10, 0, 0, 1}, ComputeQuantizer},
  };
  for (const auto& c : cases) {
    try {
      Compute(c.type, c.mode, c.k, c.compute);
      ADD_FAILURE() << c.what << " did not raise";
    } catch (const FloatError& e) {
      EXPECT_NE(std::string(e.what()).find("in block 101"), std::string::npos) << c.what;
    }
  }
  TestSim s;
  MakeModeBlock(*s, 101, 'H', 2);
  s->Delt = 0;
  EXPECT_THROW(ComputeHysteresis(*s, 101), FloatError);
  // Guarded cases never raise.
  EXPECT_NO_THROW(Compute('L', 0, {-1, 0, 0, 1, 0}, ComputeLogarithm));
  EXPECT_NO_THROW(Compute('S', 1, {-1e300, 0, 0, 0, 0}, ComputeSine));
  EXPECT_NO_THROW(Compute('H', 1, {5, 1, 0, 0, 0}, ComputeHysteresis));
}

// Every compute procedure and the integration pass: a result that overflows or is not a
// number stops the pass with a FloatError naming the block, and never reaches the table.
TEST(FloatFaults, EveryNonFiniteResultStopsThePassAtItsBlock) {
  constexpr double inf = INFINITY;
  const struct {
    const char* what;
    char type;
    int mode;
    Coefficients k;
    int stored;                   // length of the stored list
    void (*link)(Sim&, TBlock&);  // a second block and the links to it, or null
    int raised_in;
  } cases[] = {
      {"sum", '&', 0, {1e308, 0, 0, 0, 10}, 0, nullptr, 101},
      {"sum of squares", '&', 2, {1e200, 0, 0, 0, 1}, 0, nullptr, 101},
      {"multiplier", 'X', 0, {1e100, 1e100, 1e100, 1e100, 1e100}, 0, nullptr, 101},
      {"divide by the guard", '%', 0, {1e300, 0, 0, 0, 1}, 0, nullptr, 101},
      {"remainder", '%', 1, {1e300, 0, 0, 0, 1}, 0, nullptr, 101},
      {"integrator", 'I', 0, {1e308, 0, 10, 0, 0}, 0, nullptr, 101},
      {"inductor", 'J', 0, {1, 0, 0, 0, 1e-320}, 0, nullptr, 101},
      {"exponents", 'E', 0, {700, 0, 1, 1e300, 0}, 0, nullptr, 101},
      {"flux, radiation", 'F', 1, {1e100, 0, 1, 0, 0}, 0, nullptr, 101},
      {"flux into an inlet", 'F', 0, {1e308, 0, 1, 0, 0}, 0,
       [](Sim& s, TBlock& b) {
         b.Bn = 102;
         s.block(102).Type = BlockType::Integrator;
         s.block(102).pp = 1e308;
       },
       101},
      {"logarithm", 'L', 0, {1e300, 0, 0, 1, 0}, 0, nullptr, 101},
      {"sine of INF", 'S', 0, {inf, 1, 1, 1, 0}, 0, nullptr, 101},
      {"quantizer", 'Q', 0, {1e9, 1, 0, 0, 1e300}, 0, nullptr, 101},
      {"hysteresis, viscous", 'H', 2, {1e300, 1e300, 1, 0, 0}, 0, nullptr, 101},
      {"generator", 'G', 0, {0, 0, 1, 0, 1e300}, 5,
       [](Sim&, TBlock& b) {
         b.Pn = 101;
         b.stored = {0, 1e300, 1e300, 0, 1};
       },
       101},
      {"memory, next sample", 'M', 0, {0, 0, 0, 0, inf}, 5, nullptr, 101},
      {"activity, release", 'A', 1, {1, 1, 1, 1, inf}, 3, nullptr, 101},
      {"diverter, release", 'D', 1, {1, 0, 1, 1, inf}, 2, nullptr, 101},
      {"belt, next move", 'B', 1, {1, 1, 0, 0, inf}, 3, nullptr, 101},
      {"belt, drop", 'B', 1, {0, 1e308, 0, 0, 1}, 3,
       [](Sim& s, TBlock& b) {
         b.Bn = 102;
         b.stored = {0, 0, 1};
         s.block(102).Type = BlockType::Container;
         s.block(102).OnOff = 1;
         s.block(102).Value = 1e308;
       },
       102},
      {"timer", 'T', 0, {0, inf, 0, 0, 0}, 0, nullptr, 101},
      {"fuzz", 'Z', 0, {inf, 0, 0, 0, 0}, 0, nullptr, 101},
      {"logic", 'K', 0, {0, 0, 0, 0, inf}, 0, nullptr, 101},
      {"witch", 'W', 1, {0, -inf, 0, 0, 0}, 0, nullptr, 101},
      {"access", '@', 0, {15, 0, 0, 0, inf}, 0, [](Sim&, TBlock& b) { b.An = 101; }, 101},
  };
  for (const auto& c : cases) {
    TestSim s;
    TBlock& b = MakeModeBlock(*s, 101, c.type, c.mode);
    b.aa = c.k.aa, b.bb = c.k.bb, b.cc = c.k.cc, b.dd = c.k.dd, b.pp = c.k.pp;
    b.stored.assign(static_cast<size_t>(c.stored), 0.0);
    if (c.link) c.link(*s, b);
    if (s->HighestBlock < 102) s->HighestBlock = 102;
    try {
      if (TypeOfLetter(c.type) == BlockType::Integrator) {
        b.Value = 1e308;
        IntegrateAll(*s);
      } else {
        ComputeAllBlocks(*s);
      }
      ADD_FAILURE() << c.what << " did not raise";
    } catch (const FloatError& e) {
      EXPECT_NE(std::string(e.what()).find("in block " + std::to_string(c.raised_in) + ": "), std::string::npos)
          << c.what << ": " << e.what();
    }
    EXPECT_TRUE(std::isfinite(b.Value)) << c.what;
    EXPECT_TRUE(std::isfinite(s->block(102).Value) && std::isfinite(s->block(102).pp)) << c.what;
  }
}

// Drives a Hysteresis block through a sequence of inputs: its Values and inner state.
struct Driven {
  std::vector<double> values;
  int32_t Pn;
  double pp;
};
Driven Drive(int mode, Coefficients k, const std::vector<double>& inputs) {
  TestSim s;
  TBlock& b = MakeModeBlock(*s, 101, 'H', mode);
  b.bb = k.bb, b.cc = k.cc, b.dd = k.dd, b.pp = k.pp;
  Driven d;
  for (double a : inputs) {
    b.aa = a;
    ComputeHysteresis(*s, 101);
    d.values.push_back(b.Value);
  }
  d.Pn = b.Pn;
  d.pp = b.pp;
  return d;
}

TEST(Hysteresis, RelayWithRampShiftedWhileOn) {
  const Driven d = Drive(0, {0, 0, 1, 0.2, 0}, {0, 0.5, 1, 0.5, -0.2, 0.5});
  const std::vector<double> expected = {0, 0.5, 1, 0.7, 0, 0.5};
  for (size_t i = 0; i < d.values.size(); ++i) EXPECT_NEAR(d.values[i], expected[i], 1e-12) << i;
  EXPECT_EQ(d.Pn, 0);
  // Equal thresholds leave no ramp: a two-point relay, on above 21 and off again at 19.
  const auto relay = Drive(0, {0, 21, 21, 2, 0}, {20, 21.5, 20, 19.5, 19, 21, 21.1}).values;
  EXPECT_EQ(relay, (std::vector<double>{0, 1, 1, 1, 0, 0, 1}));
}

TEST(Hysteresis, SlideFollowsAndSlips) {
  const Driven d = Drive(1, {0, 1, 1, 0, 0}, {0.5, 3, 2.5, -3});
  EXPECT_EQ(d.values, (std::vector<double>{0.5, 1, 0.5, -1}));
  EXPECT_EQ(d.pp, -2);
}

TEST(Hysteresis, ViscousReactsToTheRateOfChange) {
  // k = 2, damping 3, Delt 1: V = (a + (a - previous) * 3) / 2.
  const auto v = Drive(2, {0, 3, 2, 0, 0}, {1, 1, 3}).values;
  EXPECT_EQ(v, (std::vector<double>{2, 0.5, 4.5}));
}

}  // namespace
}  // namespace trevolan

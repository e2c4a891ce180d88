#include <gtest/gtest.h>

#include <cmath>

#include "blocks/compute.h"
#include "support/blocks.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::MakeModeBlock;
using testing::TestSim;

struct FluxInputs {
  int mode;
  double A, B, C, D, P;
};

double Flow(const FluxInputs& in) {
  TestSim s;
  TBlock& f = MakeModeBlock(*s, 101, 'F', in.mode);
  f.aa = in.A, f.bb = in.B, f.cc = in.C, f.dd = in.D, f.pp = in.P;
  f.Value = 123;
  ComputeFlux(*s, 101);
  return f.Value;
}

TEST(Flux, TheFiveLaws) {
  const double sigma = 5.67051e-8;
  const struct {
    const char* what;
    FluxInputs in;
    double flow;
  } cases[] = {
      {"linear", {0, 10, 4, 0.5, 1, 0}, 4},
      {"radiation with A = B gives D", {1, 300, 300, 7, 2, 0}, 2},
      {"radiation", {1, 1000, 300, 2, 0, 0}, sigma * (1e12 - 8.1e9) * 2},
      {"square root with negative difference", {2, 0, 9, 1, 0, 0}, -3},
      {"square root linear near zero with P", {2, 5, 1, 2, 0, 5}, 2 * (3 - std::sqrt(5))},
      {"negative P counts by magnitude", {2, 5, 1, 2, 0, -5}, 2 * (3 - std::sqrt(5))},
      {"rectifier", {3, -5, 2, 1, 0, 0}, 3},
      {"rectifier blocks", {3, 1, 2, 1, 0.5, 0}, 0.5},
      {"gas from B to A", {4, 0, 2, 3, 4, 16}, -3 * 2 * 2 * 0.007509407},
      {"gas with equal pressures", {4, 5, 5, 3, 4, 16}, 0},
      {"gas with both pressures clipped to 0", {4, -1, -2, 3, 0, 16}, 0},
      {"gas", {4, 2, 1, 1, 1, 1}, 2 * 0.007509407 * (1 - std::pow(0.5, 8))},
      {"mode 9 keeps the last flow", {9, 10, 0, 1, 0, 0}, 123},
  };
  for (const auto& c : cases) EXPECT_NEAR(Flow(c.in), c.flow, 1e-12 * std::max(1.0, std::fabs(c.flow))) << c.what;
}

TEST(Flux, GasLawFaultsAreFloatErrorsAndMoveNothing) {
  for (const FluxInputs in : {FluxInputs{4, 2, 1, 1, 0, 1}, FluxInputs{4, 2, 1, 1, -1, 1}}) {
    TestSim s;
    TBlock& tank = MakeModeBlock(*s, 150, 'I', 0);
    tank.pp = 5;
    TBlock& f = MakeModeBlock(*s, 101, 'F', in.mode);
    f.An = 150;
    f.aa = in.A, f.bb = in.B, f.cc = in.C, f.dd = in.D, f.pp = in.P;
    EXPECT_THROW(ComputeFlux(*s, 101), FloatError);
    EXPECT_EQ(tank.pp, 5);
  }
}

TEST(Flux, TransferIntoIntegratorsAndContainersAboveTheReservedIDs) {
  TestSim s;
  s->Delt = 0.5;
  TBlock& source = MakeModeBlock(*s, 150, 'I', 0);
  source.Value = 10;
  TBlock& sink = MakeModeBlock(*s, 160, 'C', 0);
  sink.Value = 2;
  TBlock& f = MakeModeBlock(*s, 101, 'F', 0);
  f.An = 150;
  f.Bn = 160;
  f.bb = 2;   // B = 2 + 2
  f.cc = 0.5;
  f.dd = 1;
  ComputeFlux(*s, 101);  // (10 - 4) * 0.5 + 1 = 4
  EXPECT_EQ(f.Value, 4);
  EXPECT_EQ(source.pp, -4);
  EXPECT_EQ(sink.Value, 2 + 4 * 0.5);

  TBlock& reserved = MakeModeBlock(*s, 50, 'C', 0);
  reserved.Value = 7;
  TBlock& other = MakeModeBlock(*s, 170, 'X', 0);
  other.Value = 1;
  f.An = 170;
  f.Bn = 50;
  ComputeFlux(*s, 101);
  EXPECT_EQ(reserved.Value, 7);
  EXPECT_EQ(other.Value, 1);

  f.OnOff = 0;
  f.An = 150;
  ComputeFlux(*s, 101);
  EXPECT_EQ(f.Value, 0);
  EXPECT_EQ(source.pp, -4);
}

}  // namespace
}  // namespace trevolan

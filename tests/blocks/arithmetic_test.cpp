#include <gtest/gtest.h>

#include <cmath>

#include "blocks/compute.h"
#include "support/blocks.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::MakeModeBlock;
using testing::Source;
using testing::TestSim;

TEST(Sum, SignedConnectionsScalesAndModes) {
  struct Case {
    const char* what;
    int mode;
    int an, bn, cn, dn, pn;
    double aa, bb, cc, dd, pp;
    double value;
  };
  // Blocks 201..205 hold 2, 3, 5, 7, 11.
  const Case cases[] = {
      {"negative A link", 0, -201, 0, 0, 0, 0, 0, 0, 0, 0, 1, -2},
      {"all unconnected: aa x pp", 0, 0, 0, 0, 0, 0, 4, 9, 9, 9, 0.5, 2},
      {"mode 1 acts as 0", 1, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0.5, 2},
      {"mode 2 unconnected: |aa| x pp", 2, 0, 0, 0, 0, 0, -4, 0, 0, 0, 0.5, 2},
      {"terms and signed multiplier", 0, 201, -202, 203, 204, -205, 1, 2, 3, 4, 1, (3 - 6 + 15 + 28) * (-11 + 1.0)},
      {"root of the sum of squares", 2, 0, 202, 0, 0, 0, 3, 0, 0, 0, 1, 3},
      {"3 and 4 give 5", 2, 0, 201, 0, 0, 0, 3, 2, 0, 0, 1, 5},
      {"mode 3 keeps its Value", 3, 201, 0, 0, 0, 0, 0, 0, 0, 0, 1, 42},
      {"mode -1 keeps its Value", -1, 201, 0, 0, 0, 0, 0, 0, 0, 0, 1, 42},
  };
  for (const Case& c : cases) {
    TestSim s;
    const double values[] = {2, 3, 5, 7, 11};
    for (int i = 0; i < 5; ++i) Source(*s, 201 + i, values[i]);
    TBlock& b = MakeModeBlock(*s, 101, '&', c.mode);
    b.An = c.an, b.Bn = c.bn, b.Cn = c.cn, b.Dn = c.dn, b.Pn = c.pn;
    b.aa = c.aa, b.bb = c.bb, b.cc = c.cc, b.dd = c.dd, b.pp = c.pp;
    b.Value = 42;
    ComputeSum(*s, 101);
    EXPECT_DOUBLE_EQ(b.Value, c.value) << c.what;
  }
  // A link of 0 counts nothing, whatever block ZERO holds.
  for (const double zero : {0.0, -0.0, 5.0}) {
    TestSim s;
    s->block(0).Value = zero;
    Source(*s, 201, 2);
    TBlock& b = MakeModeBlock(*s, 101, '&', 0);
    b.Bn = 201, b.aa = 4, b.bb = 3, b.cc = 9, b.dd = 9, b.pp = 0.5;
    ComputeSum(*s, 101);
    EXPECT_EQ(b.Value, 5) << zero;  // (4 + 3 x 2) x 0.5
  }
}

TEST(Sum, OffKeepsItsValueAndLinksBeyondTheTableAreRangeErrors) {
  TestSim s;
  TBlock& b = MakeModeBlock(*s, 101, '&', 0);
  b.aa = 1;
  b.pp = 1;
  b.Value = 9;
  b.OnOff = 0;
  ComputeSum(*s, 101);
  EXPECT_EQ(b.Value, 9);
  b.OnOff = 1;
  for (int32_t bad : {1001, -1001, INT32_MIN}) {
    b.Cn = bad;
    EXPECT_THROW(ComputeSum(*s, 101), RangeError) << bad;
  }
}

TEST(Multiplier, ProductAndInnerProduct) {
  TestSim s;
  Source(*s, 201, 2);
  Source(*s, 202, 3);
  TBlock& x = MakeModeBlock(*s, 101, 'X', 0);
  x.An = 201;
  x.Bn = 202;
  x.cc = x.dd = x.pp = 1;
  ComputeMultiplier(*s, 101);
  EXPECT_EQ(x.Value, 6);
  x.pp = 0;  // an unconnected factor with coefficient 0
  ComputeMultiplier(*s, 101);
  EXPECT_EQ(x.Value, 0);

  // Inner product: element 0 never takes part; a Generator contributes its first half.
  TBlock& g = MakeModeBlock(*s, 150, 'G', 0);
  g.stored = {100, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};  // highest index 10: indices 1..5
  TBlock& c = MakeModeBlock(*s, 151, 'C', 0);
  c.stored = {100, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  x.State = 1;
  x.An = 150;
  x.Bn = 151;
  ComputeMultiplier(*s, 101);
  EXPECT_EQ(x.Value, 1 + 2 + 3 + 4 + 5);
  c.stored = {100, 2, 2};  // the shorter list bounds the sum
  ComputeMultiplier(*s, 101);
  EXPECT_EQ(x.Value, 1 * 2 + 2 * 2);
  c.stored = {100};  // index 0 only: Value untouched
  x.Value = 77;
  ComputeMultiplier(*s, 101);
  EXPECT_EQ(x.Value, 77);
  x.State = 5;
  c.stored = {0, 1, 1};
  ComputeMultiplier(*s, 101);
  EXPECT_EQ(x.Value, 77);
}

TEST(Divide, NormalModuloGuardAndScale) {
  struct Case {
    int mode;
    double n, d, scale, value;
  };
  const Case cases[] = {
      {0, 6, 3, 1, 2},     {0, 1, 0, 1, 1e19},  // zero denominator guarded by 1e-19
      {1, 7, 3, 1, 1},     {1, -7, 3, 1, 2},    {1, 7, -3, 1, -2},
      {1, 7.5, 2, 2, 3},   {0, 5, 2, 0, 0},     {1, 5, 2, 0, 0},
      {1, 1e12, 7, 1, std::fmod(1e12, 7)},  // beyond the 32-bit range the remainder stays right
  };
  for (const Case& c : cases) {
    TestSim s;
    TBlock& b = MakeModeBlock(*s, 101, '%', c.mode);
    b.aa = c.n;
    b.cc = c.d;
    b.pp = c.scale;
    ComputeDivide(*s, 101);
    EXPECT_DOUBLE_EQ(b.Value, c.value) << c.mode << " " << c.n << "/" << c.d;
  }
}

TEST(Divide, NumeratorAndDenominatorAreDifferencesAndOtherModesRescale) {
  TestSim s;
  Source(*s, 201, 10);
  Source(*s, 202, 4);
  TBlock& b = MakeModeBlock(*s, 101, '%', 0);
  b.An = 201;  // (10 + 1) - 4 - 1 = 6
  b.aa = 1;
  b.Bn = 202;
  b.bb = 1;
  b.Cn = 202;  // (4 + 0) - 0 - 1 = 3
  b.dd = 1;
  b.pp = 1;
  ComputeDivide(*s, 101);
  EXPECT_EQ(b.Value, 2);
  b.State = 4;  // Value is multiplied by the scale again at each step
  b.pp = 3;
  ComputeDivide(*s, 101);
  ComputeDivide(*s, 101);
  EXPECT_EQ(b.Value, 18);
}

}  // namespace
}  // namespace trevolan

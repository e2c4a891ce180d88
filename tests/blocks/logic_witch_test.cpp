#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/blocks.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::MakeBlock;
using testing::MakeContainer;
using testing::TestSim;

// Inputs of a gate: the Value on each of A..D (NAN: unconnected) and its offset.
struct GateCase {
  const char* what;
  int mode;
  double va, vb, vc, vd;
  double aa, bb, cc, dd;
  double out;
};

TEST(Logic, GatesOverTheConnectedInputs) {
  const double off = NAN;
  const GateCase cases[] = {
      {"OR", 0, 0.5, -2, off, off, 0, 0, 0, 0, 5},
      {"NOR", 1, 0.5, -2, off, off, 0, 0, 0, 0, 0},
      {"OR of false inputs", 0, 0, -2, off, off, 0, 0, 0, 0, 0},
      {"NOR of false inputs", 1, 0, -2, off, off, 0, 0, 0, 0, 5},
      {"AND of one true input", 2, off, off, 0.5, off, 0, 0, 0.5, 0, 5},
      {"AND with nothing connected", 2, off, off, off, off, 0, 0, 0, 0, 5},
      {"NAND with nothing connected", 3, off, off, off, off, 0, 0, 0, 0, 0},
      {"AND with one false", 2, 1, 1, 1, -1, 0, 0, 0, 0, 0},
      {"NAND with one false", 3, 1, 1, 1, -1, 0, 0, 0, 0, 5},
      {"XOR of three true", 4, 1, 1, 1, off, 0, 0, 0, 0, 0},
      {"XOR of exactly one", 4, 1, 0, 0, off, 0, 0, 0, 0, 5},
      {"offsets count", 4, -1, 0, off, off, 2, 0, 0, 0, 5},
      {"an unconnected true input is ignored", 0, off, off, off, off, 1, 1, 1, 1, 0},
      {"mode 5", 5, 1, 1, 1, 1, 0, 0, 0, 0, 0},
      {"mode -1", -1, 1, 1, 1, 1, 0, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    TestSim s;
    TBlock& k = MakeBlock(*s, 120, 'K');
    k.State = c.mode;
    const double values[] = {c.va, c.vb, c.vc, c.vd};
    int32_t* links[] = {&k.An, &k.Bn, &k.Cn, &k.Dn};
    for (int i = 0; i < 4; ++i) {
      if (std::isnan(values[i])) continue;
      MakeContainer(*s, 101 + i, values[i]);
      *links[i] = 101 + i;
    }
    k.aa = c.aa;
    k.bb = c.bb;
    k.cc = c.cc;
    k.dd = c.dd;
    MakeContainer(*s, 110, 2);
    k.Pn = 110;
    k.pp = 3;  // output size Vp + pp = 5
    k.Value = 99;
    ComputeLogic(*s, 120);
    EXPECT_EQ(k.Value, c.out) << c.what;
  }
}

TEST(Logic, RedrawnOnChangeAndIdleWhenOff) {
  TestSim s;
  TBlock& in = MakeContainer(*s, 101, 1);
  TBlock& k = MakeBlock(*s, 120, 'K');
  k.An = 101;
  k.pp = 1;
  ComputeLogic(*s, 120);
  ComputeLogic(*s, 120);
  EXPECT_EQ(s.ui.drawn_blocks, std::vector<int>{120});
  k.OnOff = 0;
  in.Value = 0;
  ComputeLogic(*s, 120);
  EXPECT_EQ(k.Value, 1);
  k.OnOff = 1;
  k.Pn = -1;  // all five links are read, whatever the mode
  EXPECT_THROW(ComputeLogic(*s, 120), RangeError);
}

// A Witch at 120 with lines 1..4 on containers 101..104.
TBlock& MakeWitch(Sim& s, int mode, std::vector<double> lines) {
  TBlock& w = MakeBlock(s, 120, 'W');
  w.State = mode;
  int32_t* links[] = {&w.Bn, &w.Cn, &w.Dn, &w.Pn};
  for (int i = 0; i < 4; ++i) {
    MakeContainer(s, 101 + i, lines[static_cast<size_t>(i)]);
    *links[i] = 101 + i;
  }
  return w;
}

TEST(Witch, LowestAndHighestLineKeepTheLowerNumberOnTies) {
  const struct {
    int mode;
    std::vector<double> lines;
    double value, sel;
  } cases[] = {
      {1, {3, 1, 1, 2}, 1, 2},
      {2, {3, 1, 1, 2}, 3, 1},
      {2, {0, 4, 4, 4}, 4, 2},
      {1, {-1, -1, -1, -1}, -1, 1},
      {1, {5, 6, 7, -8}, -8, 4},
  };
  for (const auto& c : cases) {
    TestSim s;
    TBlock& w = MakeWitch(*s, c.mode, c.lines);
    ComputeWitch(*s, 120);
    EXPECT_EQ(w.Value, c.value) << c.mode;
    EXPECT_EQ(w.aa, c.sel) << c.mode;
  }
}

TEST(Witch, MultiplexerSelector) {
  const struct {
    const char* what;
    bool linked;
    double selector, value, sel;
  } cases[] = {
      {"linked 2.5 rounds to 2", true, 2.5, 20, 2},
      {"linked 3.5 rounds to 4", true, 3.5, 40, 4},
      {"linked 7 is clamped to 4", true, 7, 40, 4},
      {"linked -3 is clamped to 0", true, -3, 0, 0},
      {"linked 1e12 is clamped", true, 1e12, 40, 4},
      {"aa 3", false, 3, 30, 3},
      {"aa 0.5 rounds to 0", false, 0.5, 0, 0},
      {"aa 1.5 rounds to 2", false, 1.5, 20, 2},
      {"aa 7 keeps the Value", false, 7, 99, 7},
      {"aa -1 keeps the Value", false, -1, 99, -1},
  };
  for (const auto& c : cases) {
    TestSim s;
    TBlock& w = MakeWitch(*s, 0, {10, 20, 30, 40});
    w.Value = 99;
    if (c.linked) {
      MakeContainer(*s, 110, c.selector);
      w.An = 110;
      w.aa = 1;  // not added to the selector
    } else {
      w.aa = c.selector;
    }
    ComputeWitch(*s, 120);
    EXPECT_EQ(w.Value, c.value) << c.what;
    EXPECT_EQ(w.aa, c.sel) << c.what;
  }
}

TEST(Witch, OffsetsOtherModesOffAndRange) {
  TestSim s;
  TBlock& w = MakeWitch(*s, 0, {10, 20, 30, 40});
  w.aa = 4;
  w.pp = 0.5;
  ComputeWitch(*s, 120);
  EXPECT_EQ(w.Value, 40.5);
  w.State = 3;
  w.pp = 9;
  ComputeWitch(*s, 120);
  EXPECT_EQ(w.Value, 40.5);
  w.State = 0;
  w.OnOff = 0;
  ComputeWitch(*s, 120);
  EXPECT_EQ(w.Value, 40.5);
  EXPECT_TRUE(s.ui.drawn_blocks.empty());  // never redrawn by its compute
  w.OnOff = 1;
  w.aa = 3e9;
  EXPECT_THROW(ComputeWitch(*s, 120), RangeError);
  w.aa = 1;
  w.An = -2;
  EXPECT_THROW(ComputeWitch(*s, 120), RangeError);
}

}  // namespace
}  // namespace trevolan

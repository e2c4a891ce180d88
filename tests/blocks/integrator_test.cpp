#include <gtest/gtest.h>

#include "blocks/compute.h"
#include "engine/run_loop.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::TestSim;

TBlock& Integrator(Sim& s, int id, int mode = 0) {
  TBlock& b = s.block(id);
  b.Type = BlockType::Integrator;
  b.OnOff = 1;
  b.State = mode;
  if (id > s.HighestBlock) s.HighestBlock = id;
  return b;
}

TEST(Integrator, ForwardEulerWithOffsetsOnAButNotOnB) {
  TestSim s;
  s->block(150).Value = 4;
  s->block(151).Value = 3;
  TBlock& i = Integrator(*s, 101);
  i.An = 150;
  i.aa = 1;
  i.Bn = 151;
  i.bb = 100;  // B takes no offset
  i.cc = 2;
  i.pp = 0.5;  // flux inlet, consumed
  i.Value = 10;
  s->Delt = 0.1;
  ComputeIntegrator(*s, 101);
  EXPECT_DOUBLE_EQ(i.Value, 10 + 0.1 * ((5 - 3) + 0.5) * 2);
  EXPECT_EQ(i.pp, 0);
  const TBlock untouched = i;
  i.OnOff = 0;
  i.pp = 7;
  ComputeIntegrator(*s, 101);
  EXPECT_EQ(i.Value, untouched.Value);
  EXPECT_EQ(i.pp, 7);  // an integrator that is off keeps its inlet
  i.OnOff = -1;       // any non-zero value runs
  ComputeIntegrator(*s, 101);
  EXPECT_EQ(i.pp, 0);
}

TEST(Integrator, CyclicAndSaturatingModes) {
  const struct {
    int mode;
    double bb, start, rate, value, stored_bb;
  } cases[] = {
      {1, 5, 5, 0.5, 0.5, 5},     // wraps once down
      {1, 5, 0, -0.5, 4.5, 5},    // wraps once up
      {1, 5, 5, 7, 7, 5},         // 12 - 5: one subtraction only
      {1, -5, 4, 2, 1, 5},        // negative bound stored back positive
      {2, 3, 0, 10, 3, 3},        // saturates high
      {2, -3, 0, -10, -3, 3},     // saturates low, bound made positive
      {2, 0, 1, 5, 0, 0},         // bound 0 pins at 0
      {7, 1, 0, 10, 10, 1},       // other modes: no constraint
  };
  for (const auto& c : cases) {
    TestSim s;
    TBlock& i = Integrator(*s, 101, c.mode);
    i.bb = c.bb;
    i.Value = c.start;
    i.aa = c.rate;
    i.cc = 1;
    ComputeIntegrator(*s, 101);
    EXPECT_DOUBLE_EQ(i.Value, c.value) << c.mode << " " << c.bb << " " << c.start;
    EXPECT_EQ(i.bb, c.stored_bb);
  }
}

TEST(Integrator, IntegratesThePreviousPassAndLowerIdsFirst) {
  TestSim s;
  // 101 integrates 102; 102 integrates 101: a lower ID is seen with its new Value.
  TBlock& x = Integrator(*s, 101);
  TBlock& v = Integrator(*s, 102);
  x.An = 102;
  x.cc = 1;
  v.Bn = 101;
  v.cc = 1;
  x.dd = 1;
  ResetButton(*s);
  v.Value = 1;
  StepButton(*s);
  EXPECT_EQ(x.Value, 2);   // 1 + v(1)
  EXPECT_EQ(v.Value, -1);  // 1 - x(2): the new x
}

TEST(Integrator, UnconnectedKeepsItsValueOrRisesByDelt) {
  TestSim s;
  TBlock& i = Integrator(*s, 101);
  i.Value = 3;
  ComputeIntegrator(*s, 101);
  EXPECT_EQ(i.Value, 3);
  i.aa = 1;
  i.cc = 1;
  s->Delt = 0.25;
  ComputeIntegrator(*s, 101);
  EXPECT_EQ(i.Value, 3.25);
}

TEST(Inductor, MovesTheMeanCurrentBetweenIntegratorAndContainer) {
  TestSim s;
  TBlock& source = Integrator(*s, 101);
  source.Value = 10;
  TBlock& sink = s->block(150);
  sink.Type = BlockType::Container;
  sink.Value = 1;
  TBlock& j = s->block(120);
  j.Type = BlockType::Inductor;
  j.OnOff = 1;
  j.An = 101;
  j.Bn = 150;
  j.cc = 2;   // R
  j.pp = 4;   // L
  j.Value = 1;
  s->Delt = 0.5;
  s->HighestBlock = 150;
  ComputeInductor(*s, 120);
  const double di = ((10 - 1) - 1 * 2) / 4.0;  // potentials 10 and 1, R 2, L 4
  const double i_new = 0.5 * di + 1;
  const double i_mid = (i_new + 1) * 0.5;
  EXPECT_EQ(j.Value, i_new);
  EXPECT_EQ(source.pp, -i_mid);
  EXPECT_EQ(sink.Value, 1 + i_mid * 0.5);
}

TEST(Inductor, ReservedContainersAndOtherTypesReceiveNothing) {
  TestSim s;
  s->block(50).Type = BlockType::Container;
  s->block(50).Value = 10;
  s->block(151).Type = BlockType::Logic;
  s->block(151).Value = 3;
  TBlock& j = s->block(120);
  j.Type = BlockType::Inductor;
  j.OnOff = 1;
  j.An = 50;
  j.Bn = 151;
  j.pp = 1;
  ComputeInductor(*s, 120);
  EXPECT_EQ(j.Value, 7);  // potentials read
  EXPECT_EQ(s->block(50).Value, 10);
  EXPECT_EQ(s->block(151).Value, 3);
  j.OnOff = -1;
  ComputeInductor(*s, 120);
  EXPECT_EQ(j.Value, 0);
  j.OnOff = 1;
  j.pp = 0;
  j.Pn = 0;
  try {
    ComputeInductor(*s, 120);
    FAIL();
  } catch (const FloatError& e) {
    EXPECT_NE(std::string(e.what()).find("division by zero"), std::string::npos);
  }
}

TEST(Dispatch, AscendingOrderSkipsIntegratorsNotesAndEmptySlots) {
  TestSim s;
  // Inductor 101 reads block 102's Value: from the previous pass while 102 comes later.
  TBlock& j = s->block(101);
  j.Type = BlockType::Inductor;
  j.OnOff = 1;
  j.An = 102;
  j.pp = 1;
  TBlock& k = s->block(102);
  k.Type = BlockType::Inductor;
  k.OnOff = 1;
  k.aa = 1;
  k.pp = 1;
  s->block(103).Type = BlockType::Integrator;
  s->block(103).aa = 1;
  s->block(103).cc = 1;
  s->block(103).OnOff = 1;
  s->HighestBlock = 103;
  ComputeAllBlocks(*s);
  EXPECT_EQ(j.Value, 0);  // 102 was still 0
  EXPECT_EQ(k.Value, 1);
  EXPECT_EQ(s->block(103).Value, 0);  // integrators only in the integration pass
  s->HighestBlock = 1001;
  EXPECT_THROW(ComputeAllBlocks(*s), RangeError);
}

}  // namespace
}  // namespace trevolan

#include "blocks/access.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/blocks.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::MakeBlock;
using testing::MakeContainer;
using testing::Pass;
using testing::TestSim;

TEST(AccessFields, EveryCodeReadsAndWritesItsField) {
  TestSim s;
  TBlock& b = MakeBlock(*s, 150, 'X');
  const struct {
    int code;
    double written, read_back;
    int32_t TBlock::*int_field;
    double TBlock::*double_field;
  } cases[] = {
      {1, 2.5, 2, &TBlock::OnOff, nullptr},  // halves to even
      {2, 3.5, 4, &TBlock::Displ, nullptr},
      {3, -1.2, -1, &TBlock::State, nullptr},
      {4, 2.5, 2, &TBlock::XX, nullptr},
      {5, 7, 7, &TBlock::YY, nullptr},
      {6, 101, 101, &TBlock::An, nullptr},
      {7, 102, 102, &TBlock::Bn, nullptr},
      {8, 103, 103, &TBlock::Cn, nullptr},
      {9, 104, 104, &TBlock::Dn, nullptr},
      {10, 2000, 2000, &TBlock::Pn, nullptr},  // not checked when written
      {11, 1.25, 1.25, nullptr, &TBlock::aa},
      {12, -1.5, -1.5, nullptr, &TBlock::bb},
      {13, 0.1, 0.1, nullptr, &TBlock::cc},
      {14, 1e9, 1e9, nullptr, &TBlock::dd},
      {15, 3.75, 3.75, nullptr, &TBlock::pp},
      {16, -8.5, -8.5, nullptr, &TBlock::Value},
  };
  for (const auto& c : cases) {
    WriteField(*s, 150, c.code, c.written, 101);
    const double stored = c.int_field ? b.*c.int_field : b.*c.double_field;
    EXPECT_EQ(stored, c.read_back) << c.code;
    EXPECT_EQ(ReadField(*s, 150, c.code), c.read_back) << c.code;
  }
  b.stored = {1, 2, 3};
  const TBlock before = b;
  for (const int code : {0, 17, 18, -3}) {
    WriteField(*s, 150, code, 5, 101);
    EXPECT_EQ(ReadField(*s, 150, code), 0) << code;
  }
  EXPECT_EQ(b.stored, before.stored);
  EXPECT_EQ(b.Value, before.Value);
  // Every write is range-checked, whatever the code.
  EXPECT_THROW(WriteField(*s, 150, 16, 3e9, 101), RangeError);
  EXPECT_THROW(WriteField(*s, 150, 99, NAN, 101), RangeError);
  EXPECT_EQ(b.Value, before.Value);
  EXPECT_THROW(ReadField(*s, 1001, 16), RangeError);
}

// An Access block at 120 with its four links and codes.
TBlock& MakeAccess(Sim& s, int an, double aa, int bn, double bb, int cn = 0, double cc = 0, int dn = 0,
                   double dd = 0) {
  TBlock& k = MakeBlock(s, 120, '@');
  k.An = an;
  k.aa = aa;
  k.Bn = bn;
  k.bb = bb;
  k.Cn = cn;
  k.cc = cc;
  k.Dn = dn;
  k.dd = dd;
  return k;
}

TEST(Access, TimeFollowsIntoAnotherBlocksCoefficient) {
  TestSim s;
  TBlock& target = MakeBlock(*s, 150, 'X');
  TBlock& k = MakeAccess(*s, 2, 16, 150, 11);
  for (int i = 0; i < 3; ++i) {
    Pass(*s);
    EXPECT_EQ(target.aa, s->Time);
    EXPECT_EQ(k.Value, s->Time);
  }
}

TEST(Access, ProtectedBlocksAreNeitherReadNorWritten) {
  TestSim s;
  s->block(1).Value = 1;
  TBlock& k = MakeAccess(*s, 1, 16, 0, 0);
  k.Value = 7;
  ComputeAccess(*s, 120);
  EXPECT_EQ(k.Value, 0);  // block 1 is not read
  MakeContainer(*s, 101, 5);
  k.An = 101;
  k.Bn = 100;
  k.bb = 16;
  s->block(100).Value = 3;
  ComputeAccess(*s, 120);
  EXPECT_EQ(k.Value, 5);
  EXPECT_EQ(s->block(100).Value, 3);
  // The second transfer likewise.
  k.Cn = 101;
  k.cc = 16;
  k.Dn = 60;
  k.dd = 16;
  ComputeAccess(*s, 120);
  EXPECT_EQ(s->block(60).Value, 0);
  // Switched off: nothing, the Value stays.
  k.OnOff = 0;
  k.Value = 42;
  ComputeAccess(*s, 120);
  EXPECT_EQ(k.Value, 42);
}

TEST(Access, ChangesAModeAndAPositionAndRunsInOrder) {
  TestSim s;
  TBlock& fuzz = MakeBlock(*s, 150, 'Z');
  MakeContainer(*s, 101, 2);
  MakeContainer(*s, 102, 2.5);
  MakeAccess(*s, 101, 16, 150, 3, 102, 16, 150, 4);
  ComputeAccess(*s, 120);
  EXPECT_EQ(fuzz.State, 2);  // Poisson from its next pass
  EXPECT_EQ(fuzz.XX, 2);     // 2.5, halves to even
  ComputeFuzz(*s, 150);
  EXPECT_EQ(fuzz.State, 2);

  // The second transfer sees the first: A->B writes 150's aa, C->D reads it.
  TestSim t;
  MakeContainer(*t, 101, 9);
  MakeBlock(*t, 150, 'X');
  TBlock& sink = MakeBlock(*t, 151, 'X');
  MakeAccess(*t, 101, 16, 150, 11, 150, 11, 151, 16);
  ComputeAccess(*t, 120);
  EXPECT_EQ(sink.Value, 9);
}

TEST(Access, ListCopyOfCodes17And17) {
  TestSim s;
  TBlock& from = MakeBlock(*s, 150, 'G', 23);
  for (size_t i = 0; i < from.stored.size(); ++i) from.stored[i] = static_cast<double>(i) + 0.5;
  TBlock& to = MakeBlock(*s, 151, 'G', 11);
  MakeAccess(*s, 150, 17, 151, 17);
  ComputeAccess(*s, 120);
  ASSERT_EQ(to.stored.size(), 11u);  // the lists keep their lengths
  for (size_t i = 0; i < 11; ++i) EXPECT_EQ(to.stored[i], i + 0.5) << i;

  // Into the Graphs block, although it is a system block.
  TestSim g;
  TBlock& channels = MakeBlock(*g, 150, 'G');
  channels.stored = {2, 101, 102};
  MakeAccess(*g, 0, 0, 0, 0, 150, 17, 19, 17);
  ComputeAccess(*g, 120);
  EXPECT_EQ(g->block(19).stored, (std::vector<double>{2, 101, 102, 0, 0, 0, 0, 0, 0, 0, 0}));

  // Lists shorter than two elements copy nothing; one code 17 alone copies nothing.
  const struct {
    size_t from_length, to_length;
    double aa;
  } none[] = {{1, 5, 17}, {5, 1, 17}, {0, 5, 17}, {5, 5, 16.5}};  // 16.5 is code 16
  for (const auto& c : none) {
    TestSim n;
    MakeBlock(*n, 150, 'G').stored.assign(c.from_length, 3.0);
    TBlock& target = MakeBlock(*n, 151, 'G');
    target.stored.assign(c.to_length, 1.0);
    MakeAccess(*n, 150, c.aa, 151, 17);
    ComputeAccess(*n, 120);
    EXPECT_EQ(target.stored, std::vector<double>(c.to_length, 1.0)) << c.from_length << " " << c.to_length;
  }
}

TEST(Access, OutOfRangeCodesAndLinks) {
  TestSim s;
  TBlock& k = MakeAccess(*s, 2, 3e9, 0, 0);
  EXPECT_THROW(ComputeAccess(*s, 120), RangeError);
  k.aa = 16;
  k.dd = -3e9;
  EXPECT_THROW(ComputeAccess(*s, 120), RangeError);
  k.dd = 0;
  k.Bn = 1001;
  EXPECT_THROW(ComputeAccess(*s, 120), RangeError);
  k.Bn = 0;
  k.Cn = 1001;
  EXPECT_THROW(ComputeAccess(*s, 120), RangeError);
}

}  // namespace
}  // namespace trevolan

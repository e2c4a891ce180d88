#include "editing/insert_copy.h"

#include <gtest/gtest.h>

#include <numbers>

#include "editing/new_block.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::TestSim;

// Blocks 101..highest as Sum blocks named after their IDs, each with Value = ID.
void FillSums(Sim& s, int highest) {
  for (int id = 101; id <= highest; ++id) {
    NewBlock(s, BlockType::Sum, id, id, 2 * id);
    s.block(id).Value = id;
  }
  s.HighestBlock = highest;
}

TEST(Insert, AtOneHundredTenWithHighestBlockOneHundredTwenty) {
  TestSim s;
  FillSums(*s, 120);
  s->block(101).An = 115;   // a link to a moved block
  s->block(101).Bn = -112;  // a negative link keeps its sign
  s->block(101).Cn = 105;   // a link below the insert stays
  s->block(120).Pn = 110;   // the moved block at the top links to the first moved one
  s->block(117).Dn = -120;
  s->block(19).stored[1] = 115;  // the time plot follows the block it shows
  s->block(19).stored[2] = 105;
  s->block(20).stored[1] = 110;
  s->block(18).Dn = 115;  // blocks 1..18 are not visited
  s->LastX = 333;
  s->LastY = 444;

  TInsertFm form;
  form.Open(*s);
  EXPECT_EQ(form.Edit2.text, "120");
  EXPECT_EQ(form.TypEdit.text, "A");
  form.TypEdit.text = "c";
  form.Edit2.text = "110";
  int picked_in_dialog = -1;
  form.ApplyBtnClick(*s, [&] { picked_in_dialog = s->PickedBlock; });

  EXPECT_EQ(s->HighestBlock, 121);
  for (int id = 111; id <= 121; ++id) {
    EXPECT_EQ(s->block(id).Value, id - 1) << id;
    EXPECT_EQ(s->block(id).Name, "&" + std::to_string(id - 1));
    EXPECT_EQ(s->block(id).XX, id - 1);  // a moved block keeps its place on the diagram
    EXPECT_EQ(s->block(id).ID, id);
  }
  EXPECT_EQ(s->block(101).An, 116);
  EXPECT_EQ(s->block(101).Bn, -113);
  EXPECT_EQ(s->block(101).Cn, 105);
  EXPECT_EQ(s->block(121).Pn, 111);
  EXPECT_EQ(s->block(118).Dn, -121);
  EXPECT_EQ(s->block(19).stored[1], 116);
  EXPECT_EQ(s->block(19).stored[2], 105);
  EXPECT_EQ(s->TapeChannelIDs[1], 116);
  EXPECT_EQ(s->TapeChannelIDs[2], 105);
  EXPECT_EQ(s->block(20).stored[1], 111);
  EXPECT_EQ(s->block(18).Dn, 115);

  const TBlock& fresh = s->block(110);
  EXPECT_EQ(fresh.Type, BlockType::Container);
  EXPECT_EQ(fresh.Name, "C110");
  EXPECT_EQ(fresh.XX, 333);
  EXPECT_EQ(fresh.YY, 444);
  EXPECT_EQ(picked_in_dialog, 110);  // the block dialog opened on the new block
  EXPECT_EQ(s->PickedBlock, 0);
  EXPECT_TRUE(form.closed);
  EXPECT_EQ(s.ui.form_paints, 2);
}

TEST(Insert, AtHighestBlockMovesOnlyTheLastBlock) {
  TestSim s;
  FillSums(*s, 105);
  TInsertFm form;
  form.Open(*s);
  form.ApplyBtnClick(*s, nullptr);
  EXPECT_EQ(s->HighestBlock, 106);
  EXPECT_EQ(s->block(106).Value, 105);
  EXPECT_EQ(s->block(105).Type, BlockType::Activity);
  EXPECT_EQ(s->block(104).Value, 104);
}

TEST(Insert, LinkFieldsThatAreNotLinksStay) {
  TestSim s;
  FillSums(*s, 112);
  NewBlock(*s, BlockType::Generator, 101, 0, 0);  // Dn is its number of points
  s->block(101).Dn = 111;
  s->block(101).An = 111;
  NewBlock(*s, BlockType::Memory, 102, 0, 0);
  s->block(102).Dn = 111;
  NewBlock(*s, BlockType::Belt, 103, 0, 0);  // a Belt's Dn is renumbered like a link
  s->block(103).Dn = 111;
  NewBlock(*s, BlockType::Visualizer, 104, 0, 0);  // B, C, D of a Visualizer are corner coordinates
  s->block(104).An = 111;
  s->block(104).Bn = 111;
  s->block(104).Cn = -111;
  s->block(104).Dn = 111;
  s->block(104).Pn = 111;
  NewBlock(*s, BlockType::Oscilloscope, 105, 0, 0);  // a second oscilloscope's list is renumbered too
  s->block(105).stored = {111, 111, 110.5};
  NewBlock(*s, BlockType::Container, 106, 0, 0);
  s->block(106).stored = {111, 111};  // other types' lists are not links
  TInsertFm form;
  form.Edit2.text = "111";
  form.ApplyBtnClick(*s, nullptr);
  EXPECT_EQ(s->block(101).Dn, 111);
  EXPECT_EQ(s->block(101).An, 112);
  EXPECT_EQ(s->block(102).Dn, 111);
  EXPECT_EQ(s->block(103).Dn, 112);
  const TBlock& v = s->block(104);
  EXPECT_EQ(std::vector<int32_t>({v.An, v.Bn, v.Cn, v.Dn, v.Pn}), (std::vector<int32_t>{112, 111, -111, 111, 112}));
  EXPECT_EQ(s->block(105).stored, (std::vector<double>{111, 112, 110.5}));  // element 0 is not a link
  EXPECT_EQ(s->block(106).stored, (std::vector<double>{111, 111}));
}

TEST(Insert, RefusalsChangeNothing) {
  const struct {
    int highest;
    const char* type;
    const char* seq;
    const char* message;  // null: an error instead
  } cases[] = {
      {120, "A", "100", "Not allowed ID number   100"},
      {120, "A", "-5", "Not allowed ID number   -5"},
      {1000, "A", "500", "No room for more Blocks at   1000"},
      {120, "A", "1001", "No room for more Blocks at   120"},
      {120, "A", "1e9", "No room for more Blocks at   120"},
      {120, "", "110", nullptr},
      {120, "A", "1l0", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seq);
    TestSim s;
    FillSums(*s, c.highest);
    TInsertFm form;
    form.Open(*s);
    form.TypEdit.text = c.type;
    form.Edit2.text = c.seq;
    bool dialog = false;
    if (c.message) {
      form.ApplyBtnClick(*s, [&] { dialog = true; });
      EXPECT_EQ(s.ui.messages, (std::vector<std::string>{c.message}));
      EXPECT_FALSE(form.closed);
    } else {
      EXPECT_THROW(form.ApplyBtnClick(*s, [&] { dialog = true; }), SimError);
    }
    EXPECT_FALSE(dialog);
    EXPECT_EQ(s->HighestBlock, c.highest);
    EXPECT_EQ(s->block(110).Value, 110);
    EXPECT_EQ(s->block(c.highest).Value, c.highest);
  }
}

TEST(Insert, AFaultyGraphsListStopsTheInsertBeforeAnyBlockMoves) {
  TestSim s;
  FillSums(*s, 120);
  s->block(19).stored.resize(5);
  TInsertFm form;
  form.Edit2.text = "110";
  EXPECT_THROW(form.ApplyBtnClick(*s, nullptr), RangeError);
  EXPECT_EQ(s->HighestBlock, 120);
  EXPECT_EQ(s->block(111).Value, 111);
  EXPECT_EQ(s->block(110).Type, BlockType::Sum);

  // Above HighestBlock no block moves, so the list is never read.
  form.Edit2.text = "150";
  form.TypEdit.text = "C";
  form.ApplyBtnClick(*s, nullptr);
  EXPECT_EQ(s->block(150).Type, BlockType::Container);
  EXPECT_EQ(s->HighestBlock, 121);
  EXPECT_EQ(s->block(120).Value, 120);
}

TEST(Insert, AtTheTopOfTheTable) {
  TestSim s;
  FillSums(*s, 999);
  TInsertFm form;
  form.Edit2.text = "101";
  form.TypEdit.text = "K";
  form.ApplyBtnClick(*s, nullptr);
  EXPECT_EQ(s->HighestBlock, 1000);
  EXPECT_EQ(s->block(1000).Value, 999);
  EXPECT_EQ(s->block(102).Value, 101);
  EXPECT_EQ(s->block(101).Type, BlockType::Logic);
}

TEST(Copy, MessagesAndTheirConsequences) {
  const struct {
    const char* from;
    const char* to;
    std::vector<std::string> messages;
    int copied_to;  // 0: nothing copied
  } cases[] = {
      {"31", "101", {}, 101},
      {"31", "500", {"Copy will go to block   121"}, 121},
      {"121", "110", {"Can not copy from non-existant block   121"}, 0},
      {"-1", "110", {"Can not copy from non-existant block   -1"}, 0},
      {"31", "100", {"Can not copy into System Block   100"}, 0},
      {"31", "", {"Can not copy into System Block   0"}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
    TestSim s;
    FillSums(*s, 120);
    s->LastX = 77;
    s->LastY = 88;
    TCopyFm form;
    form.Open(*s);
    EXPECT_EQ(form.FromID.text, "31");
    EXPECT_EQ(form.ToID.text, "121");
    form.FromID.text = c.from;
    form.ToID.text = c.to;
    form.ApplyBtnClick(*s);
    EXPECT_EQ(s.ui.messages, c.messages);
    EXPECT_EQ(form.closed, c.copied_to != 0);
    if (c.copied_to) {
      const TBlock& b = s->block(c.copied_to);
      EXPECT_EQ(b.Type, BlockType::Container);
      EXPECT_EQ(b.Name, "PI");
      EXPECT_EQ(b.Value, std::numbers::pi);
      EXPECT_EQ(b.XX, 77);
      EXPECT_EQ(b.YY, 88);
      EXPECT_EQ(b.ID, c.copied_to);
      EXPECT_EQ(s->HighestBlock, std::max(120, c.copied_to));
    } else {
      EXPECT_EQ(s->HighestBlock, 120);
      EXPECT_EQ(s->block(110).Type, BlockType::Sum);
    }
  }
}

TEST(Copy, IntoAnEmptyModelLinksAndStoredDataAndSelfCopy) {
  TestSim s;
  NewBlock(*s, BlockType::Generator, 101, 5, 5);
  s->block(101).An = -7;
  s->block(101).Comment = "table";
  s->block(101).stored[0] = 42;
  s->HighestBlock = 101;
  s->block(102).stored = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
  CopyBlock(*s, 101, 102, 1, 2);
  const TBlock& c = s->block(102);
  EXPECT_EQ(c.An, -7);
  EXPECT_EQ(c.Pn, 101);  // links are copied unchanged: the copy uses the same table
  EXPECT_EQ(c.Comment, "table");
  ASSERT_EQ(c.stored.size(), 23u);
  EXPECT_EQ(c.stored[0], 9);  // element 0 is not copied
  EXPECT_EQ(c.stored[22], 1);

  // A copy onto itself moves the block to the last click (and computes: a link of
  // -7 would be a range error for a Generator).
  s->block(101).An = 7;
  s->block(102).An = 7;
  s->LastX = 400;
  s->LastY = 300;
  TCopyFm form;
  form.FromID.text = "101";
  form.ToID.text = "101";
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->block(101).XX, 400);
  EXPECT_EQ(s->block(101).YY, 300);
  EXPECT_EQ(s->block(101).stored[0], 42);
  EXPECT_EQ(s->block(101).Type, BlockType::Generator);
}

TEST(Copy, AFullTableIsARangeErrorThatChangesNothing) {
  TestSim s;
  FillSums(*s, 1000);
  TCopyFm form;
  form.Open(*s);
  EXPECT_EQ(form.ToID.text, "1001");
  EXPECT_THROW(form.ApplyBtnClick(*s), RangeError);
  EXPECT_EQ(s->HighestBlock, 1000);
  EXPECT_FALSE(form.closed);
}

TEST(InsertAndCopy, CancelRedrawsAndChangesNothing) {
  TestSim s;
  FillSums(*s, 110);
  TInsertFm insert;
  insert.Open(*s);
  insert.CancelBtnClick(*s);
  TCopyFm copy;
  copy.Open(*s);
  copy.CancelBtnClick(*s);
  EXPECT_TRUE(insert.closed);
  EXPECT_TRUE(copy.closed);
  EXPECT_EQ(s.ui.redraws, 2);
  EXPECT_EQ(s.ui.time_plots, 2);
  EXPECT_EQ(s.ui.plot_preps, 2);
  EXPECT_EQ(s->HighestBlock, 110);
}

}  // namespace
}  // namespace trevolan

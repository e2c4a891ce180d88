#include "editing/selection_edit.h"

#include <gtest/gtest.h>

#include "editing/new_block.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::TestSim;

// A block of the type at (x, y) with its five connections as given.
TBlock& Place(Sim& s, BlockType type, int id, int x, int y, std::array<int32_t, 5> links = {}) {
  NewBlock(s, type, id, x, y);
  TBlock& b = s.block(id);
  b.An = links[0];
  b.Bn = links[1];
  b.Cn = links[2];
  b.Dn = links[3];
  b.Pn = links[4];
  s.HighestBlock = std::max(s.HighestBlock, id);
  return b;
}

// Which connection a drag wires: the first free one that names a block and that the
// block dialog shows for the type; a drop on a line's end takes that connection.
TEST(Wire, NextFreeConnectionLineEndsAndTheDialogsRules) {
  const struct {
    BlockType type;
    std::array<int32_t, 5> links;
    std::optional<Connection> free;
  } cases[] = {
      {BlockType::Sum, {0, 0, 0, 0, 0}, Connection::A},
      {BlockType::Multiplier, {31, 0, 0, 0, 0}, Connection::B},
      {BlockType::Container, {0, 0, 0, 0, 0}, Connection::C},  // A, B and P are not shown
      {BlockType::Belt, {31, 31, 0, 0, 0}, Connection::P},     // C is hidden, D counts segments
      {BlockType::Visualizer, {31, 0, 0, 0, 0}, Connection::P},  // B, C, D are corners
      {BlockType::Generator, {31, 31, 31, 0, 31}, std::nullopt},  // D is its number of points
      {BlockType::Note, {0, 0, 0, 0, 0}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(TypeLetter(c.type));
    TestSim s;
    Place(*s, c.type, 105, 400, 300, c.links);
    EXPECT_EQ(NextFreeConnection(*s, 105), c.free);
    const WireTarget on_square = WireTargetAt(*s, 403, 303, 105);
    EXPECT_EQ(on_square.block, 105);
    EXPECT_EQ(on_square.connection, c.free);
  }

  TestSim s;
  Place(*s, BlockType::Sum, 101, 100, 100);
  Place(*s, BlockType::Sum, 102, 100, 200);
  Place(*s, BlockType::Multiplier, 105, 400, 300, {101, 0, 102, 0, 0});
  // The stubs at the left of the label: A at row 0, C at row 6; none at B's row 3.
  EXPECT_EQ(WireTargetAt(*s, 396, 300, -1).connection, Connection::A);
  EXPECT_EQ(WireTargetAt(*s, 397, 307, -1).connection, Connection::C);
  EXPECT_EQ(WireTargetAt(*s, 397, 307, -1).block, 105);
  EXPECT_EQ(WireTargetAt(*s, 397, 303, -1).block, 0);
  EXPECT_EQ(WireTargetAt(*s, 380, 300, -1).block, 0);

  // Wired as the dialog's Apply writes a typed ID: the Value follows at once.
  s->block(101).aa = 3;
  s->block(102).aa = 4;
  s->block(105).Value = 12345;
  ASSERT_TRUE(WireBlock(*s, 101, 105, Connection::C));
  const TBlock& x = s->block(105);
  EXPECT_EQ(x.Cn, 101);
  const auto v = [&](int32_t id) { return s->block(id).Value; };
  EXPECT_EQ(x.Value, (v(x.An) + x.aa) * (v(x.Bn) + x.bb) * (v(x.Cn) + x.cc) * (v(x.Dn) + x.dd) * (v(x.Pn) + x.pp));
  EXPECT_NE(x.Value, 12345);
  // The dialog's messages come with it: a Generator whose table is another's.
  Place(*s, BlockType::Generator, 106, 500, 300, {0, 0, 0, 2, 120});
  ASSERT_TRUE(WireBlock(*s, 101, 106, Connection::A));
  EXPECT_EQ(s->block(106).An, 101);
  EXPECT_EQ(s.ui.messages, (std::vector<std::string>{"Cannot change Function No.   120"}));
  // Block 1 is no block the dialog edits.
  EXPECT_FALSE(WireBlock(*s, 101, 1, Connection::A));
  EXPECT_EQ(s.ui.messages.back(), "Not allowed ID number   1");
}

// Copies keep their places relative to each other at the paste point; links among
// them go to the new IDs, all at once (a new ID may equal an old one), links to other
// blocks stay, signs stay; a table without room refuses the whole paste.
TEST(Selection, PasteRenumbersLinksAmongTheCopiesOnly) {
  TestSim s;
  Place(*s, BlockType::Multiplier, 101, 100, 100, {102, 103, 31, 0, 0});
  Place(*s, BlockType::Sum, 102, 150, 130, {0, -101, 0, 0, 0});
  Place(*s, BlockType::Sum, 103, 300, 300);
  const BlockClip clip = CopyBlocks(*s, {101, 102});
  s->block(101).An = 0;  // a later change does not reach what was copied

  EXPECT_EQ(PasteBlocks(*s, clip, 500, 600), (BlockIds{104, 105}));
  const TBlock& a = s->block(104);
  const TBlock& b = s->block(105);
  EXPECT_EQ(std::tuple(a.Type, a.An, a.Bn, a.Cn, a.XX, a.YY), std::tuple(BlockType::Multiplier, 105, 103, 31, 500, 600));
  EXPECT_EQ(std::tuple(b.Type, b.Bn, b.XX, b.YY), std::tuple(BlockType::Sum, -104, 550, 630));
  EXPECT_EQ(s->HighestBlock, 105);
  EXPECT_EQ(s->block(102).Bn, -101);  // the originals are untouched

  // Into a model whose next free IDs are the old IDs shifted by one.
  TestSim other;
  Place(*other, BlockType::Sum, 101, 50, 50);
  EXPECT_EQ(PasteBlocks(*other, clip, 10, 10), (BlockIds{102, 103}));
  EXPECT_EQ(other->block(102).An, 103);
  EXPECT_EQ(other->block(103).Bn, -102);

  TestSim full;
  full->HighestBlock = 999;
  EXPECT_TRUE(PasteBlocks(*full, clip, 10, 10).empty());
  EXPECT_EQ(full.ui.messages, (std::vector<std::string>{"No room for more Blocks at   999"}));
  EXPECT_EQ(full->block(1000).Type, BlockType::Empty);
}

TEST(Selection, DeleteMoveAndRubberBand) {
  TestSim s;
  Place(*s, BlockType::Sum, 101, 210, 100);  // right of the system blocks' column
  Place(*s, BlockType::Sum, 102, 300, 120);
  Place(*s, BlockType::Sum, 103, 500, 300);
  EXPECT_EQ(BlocksInRect(*s, 320, 140, 200, 90), (BlockIds{101, 102}));
  EXPECT_EQ(BlocksInRect(*s, 200, 90, 305, 140), (BlockIds{101}));  // 102's middle is outside

  MoveBlocks(*s, {101, 102}, -250, 20);  // cut short where 101 would leave the diagram
  EXPECT_EQ(std::pair(s->block(101).XX, s->block(101).YY), std::pair(1, 120));
  EXPECT_EQ(std::pair(s->block(102).XX, s->block(102).YY), std::pair(91, 140));

  // From the top down, as the dialog's Delete one by one: HighestBlock comes down past
  // both; a system block stays, with one message for all of them.
  EXPECT_EQ(DeleteBlocks(*s, {2, 3, 102, 103}), (BlockIds{102, 103}));
  EXPECT_EQ(s->block(103).Type, BlockType::Empty);
  EXPECT_EQ(s->HighestBlock, 101);
  EXPECT_EQ(s.ui.messages, (std::vector<std::string>{"Not allowed DELETE ID number   3"}));
  EXPECT_TRUE(BlocksInRect(*s, 40, 590, 70, 620).empty());  // the empty slots at (52, 600), (53, 600)
}

}  // namespace
}  // namespace trevolan

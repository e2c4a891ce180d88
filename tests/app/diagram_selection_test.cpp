// The diagram's gestures for wiring and for working on many blocks, driven with the
// mouse and the keys as a user drives them.
#include <QAction>

#include "app/diagram_selection.h"
#include "app/paint_box.h"
#include "editing/new_block.h"
#include "window_support.h"

namespace trevolan::testing {
namespace {

class DiagramGestures : public WindowTest {
 protected:
  void SetUp() override {
    Open();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    box = window->diagram_box();
  }
  // A block of the type at (x, y), A and B linked as given.
  TBlock& Place(BlockType type, int id, int x, int y, int32_t a = 0, int32_t b = 0) {
    NewBlock(s(), type, id, x, y);
    s().block(id).An = a;
    s().block(id).Bn = b;
    s().HighestBlock = std::max(s().HighestBlock, id);
    return s().block(id);
  }
  void Drag(QPoint from, QPoint to, Qt::KeyboardModifiers keys = {}) {
    QTest::mousePress(box, Qt::LeftButton, keys, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), box->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton, keys);
    QApplication::sendEvent(box, &move);
    QTest::mouseRelease(box, Qt::LeftButton, keys, to);
  }
  void Key(QKeySequence::StandardKey key) { QTest::keySequence(window.get(), QKeySequence(key)); }
  static QPoint On(const TBlock& b) { return QPoint(b.XX + 3, b.YY + 3); }

  PaintBox* box = nullptr;
};

TEST_F(DiagramGestures, ShiftDragWiresTheNextFreeConnectionOrTheLineEndItIsDroppedOn) {
  const TBlock& source = Place(BlockType::Sum, 101, 100, 100);
  const TBlock& other = Place(BlockType::Sum, 102, 100, 300);
  const TBlock& target = Place(BlockType::Multiplier, 103, 400, 200);
  const int x = source.XX;

  Drag(On(source), On(target), Qt::ShiftModifier);
  EXPECT_EQ(target.An, 101);
  EXPECT_EQ(source.XX, x);  // the source stays where it was
  EXPECT_EQ(Item("UndoItem")->text().toStdString(), "Undo Wire block 101 to A of block 103");
  Drag(On(other), On(target), Qt::ShiftModifier);
  EXPECT_EQ(target.Bn, 102);
  // Onto the end of A's line, at the left of the label: A is re-wired.
  Drag(On(other), QPoint(target.XX - 3, target.YY), Qt::ShiftModifier);
  EXPECT_EQ(target.An, 102);

  Key(QKeySequence::Undo);
  EXPECT_EQ(target.An, 101);
  Key(QKeySequence::Undo);
  Key(QKeySequence::Undo);
  EXPECT_EQ(std::pair(target.An, target.Bn), std::pair(0, 0));
  // A Shift+click is still a click: it switches the block off.
  QTest::mouseClick(box, Qt::LeftButton, Qt::ShiftModifier, On(target));
  EXPECT_EQ(target.OnOff, 0);
}

TEST_F(DiagramGestures, RubberBandMovesDeletesCopiesAndPastesTheSelection) {
  const TBlock& a = Place(BlockType::Sum, 101, 100, 100);
  const TBlock& b = Place(BlockType::Sum, 102, 160, 130, 101);
  const TBlock& c = Place(BlockType::Multiplier, 103, 220, 160, 102);
  Place(BlockType::Sum, 104, 600, 100);  // outside the band, linked from it
  s().block(103).Bn = 104;

  Drag(QPoint(80, 80), QPoint(260, 190), Qt::ControlModifier);
  EXPECT_EQ(window->selection().selected(), (BlockIds{101, 102, 103}));
  QTest::mouseClick(box, Qt::LeftButton, Qt::ControlModifier, On(s().block(104)));  // Ctrl+click adds
  QTest::mouseClick(box, Qt::LeftButton, Qt::ControlModifier, On(s().block(104)));  // and takes out
  EXPECT_EQ(window->selection().selected(), (BlockIds{101, 102, 103}));

  // One drag of one of them moves all three as it moves that one (its corner to the
  // release point), as one edit.
  Drag(On(b), On(b) + QPoint(50, 40));
  EXPECT_EQ(std::tuple(a.XX, a.YY, b.XX, b.YY, c.XX, c.YY), std::tuple(153, 143, 213, 173, 273, 203));
  Key(QKeySequence::Undo);
  EXPECT_EQ(std::tuple(a.XX, b.XX, c.XX), std::tuple(100, 160, 220));

  // Copy, a click where the copies go, paste: links among them renumbered, the link
  // to block 104 kept.
  Key(QKeySequence::Copy);
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(500, 500));
  EXPECT_TRUE(window->selection().selected().empty());
  Key(QKeySequence::Paste);
  EXPECT_EQ(window->selection().selected(), (BlockIds{105, 106, 107}));
  const TBlock &a2 = s().block(105), &b2 = s().block(106), &c2 = s().block(107);
  EXPECT_EQ(std::tuple(a2.XX, a2.YY, b2.XX, c2.YY), std::tuple(500, 500, 560, 560));
  EXPECT_EQ(std::tuple(b2.An, c2.An, c2.Bn), std::tuple(105, 106, 104));

  // Delete the pasted three, one undo brings them back with their links.
  Key(QKeySequence::Delete);
  for (int id : {105, 106, 107}) EXPECT_EQ(s().block(id).Type, BlockType::Empty) << id;
  EXPECT_EQ(s().HighestBlock, 104);
  EXPECT_EQ(Item("UndoItem")->text().toStdString(), "Undo Delete 3 blocks");
  Key(QKeySequence::Undo);
  EXPECT_EQ(std::tuple(b2.Type, b2.An, c2.Type, c2.An, c2.Bn),
            std::tuple(BlockType::Sum, 105, BlockType::Multiplier, 106, 104));
  EXPECT_EQ(s().HighestBlock, 107);
}

}  // namespace
}  // namespace trevolan::testing

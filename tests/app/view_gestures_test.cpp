// Reading the plot with the mouse, the block palette, Find Block and panning.
#include <cmath>

#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include "app/diagram_zoom.h"
#include "app/paint_box.h"
#include "app/palette_dock.h"
#include "app/plot_cursor.h"
#include "display/qt_render.h"
#include "display/zoom.h"
#include "model/numbers.h"
#include "window_support.h"

namespace trevolan::testing {
namespace {

using ViewGestures = WindowTest;

void SendMouse(QWidget* w, QEvent::Type type, QPoint at, QPoint global, Qt::MouseButton button, Qt::MouseButtons held) {
  QMouseEvent event(type, QPointF(at), QPointF(global), button, held, {});
  QApplication::sendEvent(w, &event);
}

// The cursor shows the tape's row nearest to the pointer's time with each channel's
// value; a drag zooms to the times under its ends, an export keeps the zoom, and a
// double-click shows the whole run again.
TEST_F(ViewGestures, PlotCursorReadsTheTapeAndADragZoomsTheShownAndExportedPlot) {
  Open({ExamplePath("damped_oscillator.txt")});
  Click("GraphBtn");
  Click("ResetBtn");
  s().Holdnext = s().Time + 60;
  Click("RunBtn");
  QApplication::processEvents();
  ASSERT_GT(s().TapeIndex, 20);
  PaintBox* box = window->plot_box();
  auto* cursor = Child<PlotCursor>(box, "PlotCursor");
  ASSERT_TRUE(cursor);

  // What the cursor must show at x on the time range tmin..tmax, from the tape alone:
  // the row nearest in time of those drawn, inside the range.
  const auto expected = [this](int x, double tmin, double tmax) {
    const double t = tmin + x * (tmax - tmin) / s().PlotWidth;
    int row = -1;
    for (int r = 0; r <= s().TapeIndex; ++r) {
      const double time = s().TapeCell(0, r);
      if (time < tmin - s().TimeTol || time > tmax + s().TimeTol) continue;
      if (row < 0 || std::abs(time - t) < std::abs(s().TapeCell(0, row) - t)) row = r;
    }
    if (row < 0) return std::string("no row drawn");
    std::string text = "Time " + FormatGeneral(s().TapeCell(0, row));
    for (int m = 1; m <= s().TapeChannels; ++m) {
      text += "\n" + s().block(s().TapeChannelIDs[m]).Name + " " + FormatGeneral(s().TapeCell(m, row));
    }
    return text;
  };
  const auto hover = [box](int x, Qt::MouseButtons held = Qt::NoButton) {
    SendMouse(box, QEvent::MouseMove, QPoint(x, 100), box->mapToGlobal(QPoint(x, 100)), Qt::NoButton, held);
  };
  const PlotRange whole = GraphsRange(s());
  for (const int x : {1, 137, s().PlotWidth / 2, s().PlotWidth - 3}) {
    hover(x);
    EXPECT_EQ(cursor->Text().toStdString(), expected(x, whole.Tmin, whole.Tmax)) << x;
  }

  // A drag from 200 to 400 zooms to the times there.
  const double st = s().PlotWidth / (whole.Tmax - whole.Tmin);
  const double t0 = whole.Tmin + 200 / st, t1 = whole.Tmin + 400 / st;
  QTest::mousePress(box, Qt::LeftButton, {}, QPoint(200, 100));
  hover(300, Qt::LeftButton);
  QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(400, 100));
  QApplication::processEvents();
  EXPECT_EQ(Find<QLabel>("GrMinTLb")->text().toStdString(), FormatFixed(t0, 3, 8));
  EXPECT_EQ(Find<QLabel>("GrMaxTLb")->text().toStdString(), FormatFixed(t1, 3, 8));
  for (const int x : {3, 250, s().PlotWidth - 1}) {
    hover(x);
    EXPECT_EQ(cursor->Text().toStdString(), expected(x, t0, t1)) << x;
  }

  // The exported picture is the plot of the Graphs block set to the zoomed range.
  TempDir dir;
  const std::string path = dir.path("zoomed.png");
  {
    Modals modals;
    modals.Then([&](QWidget* w) { ChooseFile(w, path); });
    Item("ExportPlotItem")->trigger();
  }
  const QImage exported = QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(exported.isNull());
  PlotPanelForm form = window->plot_panel();
  form.Zoom = PlotZoom();
  TBlock& graphs = s().block(19);
  const TBlock kept = graphs;
  graphs.An = graphs.Bn = 0;  // ZERO: the bounds are the coefficients
  graphs.aa = t0;
  graphs.bb = t1;
  EXPECT_EQ(exported, RenderPlotImage(s(), form).convertToFormat(QImage::Format_RGB32));
  graphs = kept;
  EXPECT_NE(exported, RenderPlotImage(s(), form).convertToFormat(QImage::Format_RGB32));

  QTest::mouseDClick(box, Qt::LeftButton, {}, QPoint(300, 100));
  QApplication::processEvents();
  EXPECT_EQ(Find<QLabel>("GrMinTLb")->text().toStdString(), FormatFixed(whole.Tmin, 3, 8));
  EXPECT_EQ(Find<QLabel>("GrMaxTLb")->text().toStdString(), FormatFixed(whole.Tmax, 3, 8));
}

// The palette lists every type the Create menu makes; one dropped on the diagram is
// created where it was dropped, through the Create item's dialog, and undone at once.
TEST_F(ViewGestures, PaletteDropCreatesTheBlockAtTheDropPoint) {
  Open({ExamplePath("damped_oscillator.txt")});
  auto* list = Find<QListWidget>("PaletteList");
  ASSERT_TRUE(list);
  int created_by_menu = 0, entries = 0, container = -1;
  for (QAction* a : Find<QMenu>("CreateMenu")->actions()) created_by_menu += a->objectName().startsWith("Create") ? 1 : 0;
  for (int row = 0; row < list->count(); ++row) {
    const QString letter = list->item(row)->data(Qt::UserRole).toString();
    entries += letter.isEmpty() ? 0 : 1;
    if (letter == QStringLiteral("C")) container = row;
  }
  EXPECT_EQ(entries, created_by_menu - 1);  // all but "P not assigned", which makes nothing
  ASSERT_GE(container, 0);

  window->zoom().SetZoom(2);
  PaintBox* box = window->diagram_box();
  std::unique_ptr<QMimeData> data(list->model()->mimeData({list->model()->index(container, 0)}));
  const QPoint at(1001, 601);  // the model's point (500, 300) at 200 %
  QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(box, &enter);
  EXPECT_TRUE(enter.isAccepted());
  const int32_t id = s().HighestBlock + 1;
  Modals modals;
  modals.Then([](QWidget* dialog) { Press(dialog, "ApplyBtn"); });
  QDropEvent drop(QPointF(at), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(box, &drop);
  const TBlock& b = s().block(id);
  EXPECT_EQ(b.Type, BlockType::Container);
  EXPECT_EQ(b.XX, 500);
  EXPECT_EQ(b.YY, 300);
  EXPECT_EQ(s().HighestBlock, id);
  Item("UndoItem")->trigger();
  EXPECT_EQ(s().block(id).Type, BlockType::Empty);
}

// Ctrl+F finds a block by name and centres it, says so when none matches; Space+drag
// and Shift+wheel move the view and never the block under the mouse.
TEST_F(ViewGestures, FindCentresABlockAndSpaceDragOrShiftWheelPans) {
  Open({ExamplePath("damped_oscillator.txt")});
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  window->zoom().SetZoom(2);
  TBlock& b = s().block(102);
  b.XX = 700;
  b.YY = 500;
  QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
  auto* edit = Find<QLineEdit>("FindBlockEdit");
  ASSERT_TRUE(edit && edit->isVisible());
  edit->setText(QString::fromStdString(b.Name).toUpper());
  QTest::keyClick(edit, Qt::Key_Return);
  auto* area = Find<QScrollArea>("GraphScrBx");
  PaintBox* box = window->diagram_box();
  const Extent label = LabelSize(b);
  const QPoint middle = box->mapTo(area->viewport(), QPointF((b.XX + label.width / 2.0) * 2, (b.YY + label.height / 2.0) * 2).toPoint());
  EXPECT_LE((middle - area->viewport()->rect().center()).manhattanLength(), 2);
  edit->setText(QStringLiteral("no such block"));
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(Find<QLabel>("FindBlockStatus")->text().toStdString(), "No block has the ID or name \"no such block\"");

  // Space held, a drag that starts on the block moves the view by the drag.
  QScrollBar* h = area->horizontalScrollBar();
  QScrollBar* v = area->verticalScrollBar();
  const QPoint h0(h->value(), v->value());
  const QPoint on_block((b.XX + 3) * 2, (b.YY + 3) * 2);
  const QPoint global = box->mapToGlobal(on_block);
  const int on_off = b.OnOff;
  QTest::keyPress(box, Qt::Key_Space);
  SendMouse(box, QEvent::MouseButtonPress, on_block, global, Qt::LeftButton, Qt::LeftButton);
  SendMouse(box, QEvent::MouseMove, on_block, global - QPoint(100, 60), Qt::NoButton, Qt::LeftButton);
  SendMouse(box, QEvent::MouseButtonRelease, on_block, global - QPoint(100, 60), Qt::LeftButton, Qt::NoButton);
  QTest::keyRelease(box, Qt::Key_Space);
  EXPECT_EQ(QPoint(h->value(), v->value()), h0 + QPoint(100, 60));
  EXPECT_EQ(b.XX, 700);
  EXPECT_EQ(b.OnOff, on_off);
  EXPECT_FALSE(window->isWindowModified());

  // Shift with the wheel: sideways by the wheel's turn.
  const int before = h->value();
  QWheelEvent wheel(QPointF(50, 50), area->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                    Qt::NoButton, Qt::ShiftModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(area->viewport(), &wheel);
  EXPECT_EQ(h->value(), before + 120);
  EXPECT_EQ(QPoint(h->value(), v->value()).y(), h0.y() + 60);
}

}  // namespace
}  // namespace trevolan::testing

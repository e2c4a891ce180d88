// Takes the screenshots of the window in README.md: two example models running with
// animation and the plot panel shown, the block dialog open on an Activity, the
// question about unsaved changes, the offer of a recovery copy, a zoomed diagram, a
// selection being moved and a wire being drawn, the tooltip over a block, the user
// guide, the plot cursor and the block palette.
//   trevolan_window_screenshots EXAMPLES_DIR OUTPUT_DIR
#include <cstdio>
#include <functional>
#include <string>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include "app/diagram_selection.h"
#include "app/diagram_zoom.h"
#include "app/main_window.h"
#include "app/paint_box.h"
#include "app/recovery.h"
#include "app/user_guide.h"

namespace {

using trevolan::MouseButton;
using trevolan::TForm1;

// The window on a model, reset, plot shown, values on the number lines, run with
// animation for `steps` steps.
std::unique_ptr<TForm1> RunningWindow(const std::string& model, int steps) {
  TForm1::Options options;
  options.args = {model};
  auto w = std::make_unique<TForm1>(std::move(options));
  w->resize(1000, 900);
  w->show();
  if (!QTest::qWaitForWindowExposed(w.get()) || !QTest::qWaitFor([&] { return w->main_form().activated; })) {
    std::fprintf(stderr, "the window did not come up\n");
  }
  w->ResetBtnClick();
  w->AnimBtnClick();  // off and on again: the caption shows that it is on
  w->AnimBtnClick();
  for (int i = 0; i < 3; ++i) w->NumbersBtnMouseUp(MouseButton::Left);
  w->GraphBtnMouseUp(MouseButton::Left);
  QApplication::processEvents();
  trevolan::Sim& s = w->sim();
  s.Holdnext = s.Time + steps * s.Delt - s.TimeTol;
  w->RunBtnClick();
  QTest::qWait(50);
  return w;
}

// The window's picture with a modal dialog drawn over it at `at` (window
// coordinates). The offscreen platform draws no window frames: a plain title bar
// stands in.
QImage WithDialog(QWidget* window, QWidget* dialog, QPoint at) {
  QImage shot = window->grab().toImage();
  QPainter painter(&shot);
  constexpr int kTitle = 20;
  const QRect frame(at - QPoint(0, kTitle), dialog->size() + QSize(0, kTitle));
  painter.fillRect(frame.translated(4, 4), QColor(0, 0, 0, 60));  // a shadow
  painter.fillRect(QRect(frame.topLeft(), QSize(frame.width(), kTitle)), QColor(40, 70, 130));
  painter.setPen(Qt::white);
  painter.drawText(QRect(frame.topLeft() + QPoint(8, 0), QSize(frame.width() - 8, kTitle)),
                   Qt::AlignVCenter | Qt::AlignLeft, dialog->windowTitle());
  painter.drawImage(at, dialog->grab().toImage());
  painter.setPen(QColor(90, 90, 90));
  painter.drawRect(frame.adjusted(0, 0, -1, -1));
  return shot;
}

// The window's picture with the message box that `open` brings up, in its middle;
// the box is then answered with `answer`.
QImage WithMessageBox(QWidget* window, const std::function<void()>& open, QMessageBox::StandardButton answer) {
  QImage shot;
  QTimer::singleShot(300, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    shot = WithDialog(window, box, window->rect().center() - box->rect().center());
    if (QAbstractButton* b = box->button(answer)) {
      b->click();
    } else {
      box->reject();
    }
  });
  open();
  return shot;
}

bool Save(const QImage& image, const std::string& path) {
  if (image.save(QString::fromStdString(path))) {
    std::printf("%s\n", path.c_str());
    return true;
  }
  std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s EXAMPLES_DIR OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  const std::string examples = argv[1], out = argv[2];
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The recovery copies and settings of these windows stay out of the user's home.
  QTemporaryDir home;
  qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
  qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
  QApplication app(argc, argv);
  trevolan::PrepareApplication();
  bool ok = true;

  {
    auto w = RunningWindow(examples + "/damped_oscillator.txt", 6000);
    ok &= Save(w->grab().toImage(), out + "/window_oscillator.png");
  }
  {
    auto w = RunningWindow(examples + "/producer_consumer.txt", 300);
    ok &= Save(w->grab().toImage(), out + "/window_producer_consumer.png");
    // The block dialog on the producer, an Activity, over the window.
    trevolan::Sim& s = w->sim();
    s.PickedBlock = 102;
    s.LastX = s.block(102).XX;
    s.LastY = s.block(102).YY;
    QImage shot;
    QTimer::singleShot(200, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      shot = WithDialog(w.get(), dialog, w->mapFromGlobal(dialog->pos()));
      dialog->reject();
    });
    const QPoint on_block(s.LastX + 2, s.LastY + 2);
    w->GraphBxMouseDown(MouseButton::Right, on_block);
    w->GraphBxMouseUp(MouseButton::Right, on_block);
    ok &= Save(shot, out + "/window_block_dialog.png");
  }
  QString left_copy;
  {
    // A switched block, and Exit: the question about the unsaved change.
    auto w = RunningWindow(examples + "/damped_oscillator.txt", 600);
    const trevolan::TBlock& b = w->sim().block(103);
    const QPoint on_block(b.XX + 3, b.YY + 3);
    w->GraphBxMouseDown(MouseButton::Left, on_block);
    w->GraphBxMouseUp(MouseButton::Left, on_block);
    ok &= Save(WithMessageBox(w.get(), [&] { w->close(); }, QMessageBox::Cancel), out + "/window_save_changes.png");
    // The copy of this session stands in for one that a killed session left.
    w->WriteRecoveryCopy();
    left_copy = trevolan::RecoveryFiles::DefaultFolder() + QStringLiteral("/session-left.recovery");
    QFile::copy(w->recovery().path(), left_copy);
  }
  {
    TForm1::Options options;
    auto w = std::make_unique<TForm1>(std::move(options));
    w->resize(1000, 700);
    w->show();
    if (!QTest::qWaitForWindowExposed(w.get())) std::fprintf(stderr, "the window did not come up\n");
    ok &= Save(WithMessageBox(w.get(), [&] {
                                if (!QTest::qWaitFor([&] { return !QFile::exists(left_copy); }, 3000)) ok = false;
                              },
                              QMessageBox::Discard),
               out + "/window_recovery.png");
  }
  {
    // The producer and consumer at 200 %, the plot panel hidden.
    auto w = RunningWindow(examples + "/producer_consumer.txt", 300);
    w->GraphBtnMouseUp(MouseButton::Left);
    QApplication::processEvents();
    w->zoom().SetZoom(2.0);
    auto* area = w->findChild<QScrollArea*>(QStringLiteral("GraphScrBx"));
    area->horizontalScrollBar()->setValue(120);
    area->verticalScrollBar()->setValue(40);
    QApplication::processEvents();
    ok &= Save(w->grab().toImage(), out + "/window_zoom.png");
  }
  {
    // A Shift+drag from one block of the damped oscillator towards another, with its
    // rubber line; then its four blocks taken by a Ctrl+drag rubber band and one of
    // them dragged: the whole selection's outlines follow.
    auto w = RunningWindow(examples + "/damped_oscillator.txt", 10);
    w->GraphBtnMouseUp(MouseButton::Left);  // the plot panel hidden
    trevolan::PaintBox* box = w->diagram_box();
    const auto drag_to = [box](QPoint at, Qt::KeyboardModifiers keys) {
      QMouseEvent move(QEvent::MouseMove, QPointF(at), box->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::LeftButton,
                       keys);
      QApplication::sendEvent(box, &move);
      QApplication::processEvents();
    };
    const trevolan::TBlock& spring = w->sim().block(103);
    const trevolan::TBlock& position = w->sim().block(102);
    const trevolan::TBlock& accel = w->sim().block(104);
    const QPoint towards(accel.XX + 4, accel.YY + 4);
    QTest::mousePress(box, Qt::LeftButton, Qt::ShiftModifier, QPoint(position.XX + 3, position.YY + 3));
    drag_to(towards, Qt::ShiftModifier);
    ok &= Save(w->grab().toImage(), out + "/window_wire.png");
    QTest::mouseRelease(box, Qt::LeftButton, Qt::ShiftModifier, QPoint(700, 600));  // on no block: no wire
    QTest::mousePress(box, Qt::LeftButton, Qt::ControlModifier, QPoint(270, 130));
    QTest::mouseRelease(box, Qt::LeftButton, Qt::ControlModifier, QPoint(530, 290));
    const QPoint on_spring(spring.XX + 3, spring.YY + 3);
    QTest::mousePress(box, Qt::LeftButton, {}, on_spring);
    drag_to(on_spring + QPoint(180, 90), {});
    ok &= Save(w->grab().toImage(), out + "/window_selection.png");
  }
  {
    // The tooltip over a block of the damped oscillator, drawn where it shows.
    auto w = RunningWindow(examples + "/damped_oscillator.txt", 600);
    trevolan::PaintBox* box = w->diagram_box();
    const trevolan::TBlock& b = w->sim().block(102);
    w->GraphBxMouseMove(Qt::NoButton, QPoint(b.XX + 3, b.YY + 3));
    const QPoint at = box->mapToGlobal(QPoint(b.XX + 3, b.YY + 3));
    QToolTip::showText(at + QPoint(8, 16), box->toolTip(), box);
    QApplication::processEvents();
    QImage shot = w->grab().toImage();
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (!top->isVisible() || !top->inherits("QTipLabel")) continue;
      QPainter painter(&shot);
      painter.drawImage(w->mapFromGlobal(top->pos()), top->grab().toImage());
    }
    ok &= Save(shot, out + "/window_hover.png");
    QToolTip::hideText();
  }
  {
    // The user guide, opened with F1, at the Integrator's section.
    auto w = RunningWindow(examples + "/damped_oscillator.txt", 10);
    w->ShowGuide(trevolan::TypeAnchor(trevolan::BlockType::Integrator));
    QApplication::processEvents();
    if (auto* guide = w->findChild<QWidget*>(QStringLiteral("UserGuide"))) {
      ok &= Save(guide->grab().toImage(), out + "/window_guide.png");
    } else {
      ok = false;
    }
  }
  {
    // The plot cursor over the damped oscillator's plot.
    auto w = RunningWindow(examples + "/damped_oscillator.txt", 6000);
    trevolan::PaintBox* plot = w->plot_box();
    const QPoint at(w->sim().PlotWidth * 2 / 5, 120);
    QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(plot->mapToGlobal(at)), Qt::NoButton, Qt::NoButton, {});
    QApplication::sendEvent(plot, &move);
    QApplication::processEvents();
    ok &= Save(w->grab().toImage(), out + "/window_plot_cursor.png");
  }
  {
    // The block palette beside the producer and consumer, a Container entry picked.
    auto w = RunningWindow(examples + "/producer_consumer.txt", 300);
    w->GraphBtnMouseUp(MouseButton::Left);
    if (auto* palette = w->findChild<QWidget*>(QStringLiteral("PaletteDock"))) palette->show();
    if (auto* list = w->findChild<QListWidget*>(QStringLiteral("PaletteList"))) {
      const QList<QListWidgetItem*> found = list->findItems(QStringLiteral("Container"), Qt::MatchExactly);
      if (!found.isEmpty()) list->setCurrentItem(found.front());
    }
    QApplication::processEvents();
    ok &= Save(w->grab().toImage(), out + "/window_palette.png");
  }
  {
    // The guide's section on continuous blocks, with its diagram.
    auto w = RunningWindow(examples + "/damped_oscillator.txt", 10);
    w->ShowGuide(QStringLiteral("continuous-blocks"));
    QApplication::processEvents();
    if (auto* guide = w->findChild<QWidget*>(QStringLiteral("UserGuide"))) {
      ok &= Save(guide->grab().toImage(), out + "/window_guide_continuous.png");
    } else {
      ok = false;
    }
  }
  return ok ? 0 : 1;
}

// Takes the screenshots of the window in README.md: two example models running with
// animation and the plot panel shown, and the block dialog open on an Activity.
//   trevolan_window_screenshots EXAMPLES_DIR OUTPUT_DIR
#include <cstdio>
#include <string>

#include <QApplication>
#include <QDialog>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include "app/main_window.h"
#include "app/paint_box.h"

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
      shot = w->grab().toImage();
      QPainter painter(&shot);
      // The offscreen platform draws no window frames: a plain title bar stands in.
      constexpr int kTitle = 20;
      const QPoint at = w->diagram_box()->mapTo(w.get(), QPoint(s.LastX + 10, s.LastY + 60));
      const QRect frame(at - QPoint(0, kTitle), dialog->size() + QSize(0, kTitle));
      painter.fillRect(frame.translated(4, 4), QColor(0, 0, 0, 60));  // a shadow
      painter.fillRect(QRect(frame.topLeft(), QSize(frame.width(), kTitle)), QColor(40, 70, 130));
      painter.setPen(Qt::white);
      painter.drawText(QRect(frame.topLeft() + QPoint(8, 0), QSize(frame.width() - 8, kTitle)),
                       Qt::AlignVCenter | Qt::AlignLeft, dialog->windowTitle());
      painter.drawImage(at, dialog->grab().toImage());
      painter.setPen(QColor(90, 90, 90));
      painter.drawRect(frame.adjusted(0, 0, -1, -1));
      painter.end();
      dialog->reject();
    });
    const QPoint on_block(s.LastX + 2, s.LastY + 2);
    w->GraphBxMouseDown(MouseButton::Right, on_block);
    w->GraphBxMouseUp(MouseButton::Right, on_block);
    ok &= Save(shot, out + "/window_block_dialog.png");
  }
  return ok ? 0 : 1;
}

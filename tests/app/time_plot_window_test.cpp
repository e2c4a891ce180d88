#include <QImage>

#include "app/paint_box.h"
#include "window_support.h"

namespace trevolan::testing {
namespace {

using PlotWindow = WindowTest;

// Pixels of the plot box in the colours of the first two channels.
int TracedPixels(TForm1& window) {
  const QImage& picture = window.plot_box()->surface().image();
  int n = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const QRgb p = picture.pixel(x, y);
      n += (p == qRgb(255, 0, 0) || p == qRgb(0, 0, 255)) ? 1 : 0;
    }
  }
  return n;
}

// The plot keeps no picture of its own: after a reset, after the panel is hidden and
// shown again, after another model, it shows what the tape holds and no old trace.
TEST_F(PlotWindow, EveryPaintOfThePlotDrawsFromTheTape) {
  Open({ExamplePath("damped_oscillator.txt")});
  Click("GraphBtn");
  const auto run = [this] {
    Click("ResetBtn");
    s().Holdnext = s().Time + 60;
    Click("RunBtn");
    QApplication::processEvents();
  };
  run();
  ASSERT_GT(s().TapeIndex, 2);
  EXPECT_GT(TracedPixels(*window), 0);
  Click("ResetBtn");
  QApplication::processEvents();
  EXPECT_EQ(TracedPixels(*window), 0);

  run();
  EXPECT_GT(TracedPixels(*window), 0);
  Click("GraphBtn");  // hidden: nothing is drawn while the tape is reset
  Click("ResetBtn");
  Item("TimePlotItem")->trigger();  // shown again
  QApplication::processEvents();
  EXPECT_FALSE(Find<QWidget>("GrPlotPnl")->isHidden());
  EXPECT_EQ(TracedPixels(*window), 0);

  run();
  EXPECT_GT(TracedPixels(*window), 0);
  Item("NewItem")->trigger();
  QApplication::processEvents();
  EXPECT_EQ(TracedPixels(*window), 0);
}

}  // namespace
}  // namespace trevolan::testing

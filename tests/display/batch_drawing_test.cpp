// The batch runner draws at the moments the window would, on a canvas that paints
// nothing: what drawing computes and the errors it raises are the same as in the window.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/batch.h"
#include "cli/script.h"

namespace trevolan {
namespace {

// Runs the commands of a script and returns what they wrote.
std::string Script(cli::Batch& b, const std::string& script) {
  std::ostringstream& out = static_cast<std::ostringstream&>(b.out());
  out.str("");
  for (const cli::Command& c : cli::ParseScript(script, true)) b.Execute(c);
  return out.str();
}

// A Visualizer (block 120) showing Time against a full scale of 10.
constexpr const char* kVisualizerOfTime =
    "set 120.Type V; set 120.Name vis; set 120.XX 300; set 120.YY 100; set 120.OnOff 1;"
    "set 120.An 2; set 120.pp 10; set 120.State 1; set HighestBlock 120;";

TEST(BatchDrawing, VisualizerValuesFollowEveryPaintAndStep) {
  std::ostringstream out;
  cli::Batch b(out);
  EXPECT_EQ(Script(b, kVisualizerOfTime), "");
  EXPECT_EQ(Script(b, "print 120.Value"), "0\n");
  // STEP holds after one step and repaints: Time 1 is 10 % of the full scale.
  EXPECT_EQ(Script(b, "step; print Time 120.Value"), "1 10\n");
  // Animation redraws every block at each graph step; the finish repaints.
  EXPECT_EQ(Script(b, "set FinTim 25; set 120.pp 100; finish; print Time 120.Value"), "25 25\n");
  // Without animation the value stays as the last paint left it.
  EXPECT_EQ(Script(b, "set AnimFlag 0; set 120.pp 1000; compute; print 120.Value"), "25\n");
  EXPECT_EQ(Script(b, "reset; print 120.Value"), "0\n");
}

TEST(BatchDrawing, WrongSourceIsRepairedAtTheFirstPaint) {
  std::ostringstream out;
  cli::Batch b(out);
  Script(b, kVisualizerOfTime);
  Script(b, "set 120.State 5; compute");
  EXPECT_EQ(Script(b, "print 120.Name 120.State"), "vis 5\n");  // no paint yet
  EXPECT_EQ(Script(b, "reset; print 120.Name 120.State 120.Displ"), "Not_G_or_M 0 3\n");
}

TEST(BatchDrawing, DrawingErrorsAreReportedAsTheWindowWould) {
  std::ostringstream out;
  cli::Batch b(out);
  Script(b, kVisualizerOfTime);
  EXPECT_EQ(Script(b, "set 120.An 5000; reset"), "error: Range check error\n");
  EXPECT_TRUE(b.had_error());
  // The run stops at its first graph step, held.
  EXPECT_EQ(Script(b, "set 120.An 2; reset; set 120.Pn 1001; run; print HoldFlag RunBusy"),
            "error: Range check error\n1 0\n");

  cli::Batch plot(out);
  EXPECT_EQ(Script(plot, "set PlotFlag 1; set TapeChannels 1; set GrMinY 5; set GrMaxY 5; reset; set FinTim 30; finish"),
            "error: Floating point division by zero\n");
  EXPECT_EQ(Script(plot, "set PlotFlag 0; finish; print Time"), "30\n");  // a hidden plot draws nothing
}

TEST(BatchDrawing, StartsAfterTheWindowsFirstPaint) {
  std::ostringstream out;
  cli::Batch b(out);
  EXPECT_FALSE(b.sim().LinksFlag);
  EXPECT_EQ(b.sim().PlotWidth, 650);
  // So a single block drawn by a compute pass draws no links, and a bad connection on
  // a Container goes unnoticed until the next full redraw, as in the window.
  EXPECT_EQ(Script(b, "set 150.Type C; set 150.XX 300; set 150.YY 100; set 150.An 5000; set HighestBlock 150;"
                      "set 150.Value 1; compute; print 150.State"),
            "3\n");  // full: its capacity is 0
  EXPECT_EQ(Script(b, "reset"), "error: Range check error\n");
}

TEST(BatchDrawing, ThePlotPanelIsPreparedForTheBatchRunnersPanel) {
  std::ostringstream out;
  cli::Batch b(out);
  Script(b, "reset");
  EXPECT_EQ(b.sim().PlotWidth, 650);
  EXPECT_EQ(b.frontend().plot_panel().GrMaxTLb.caption, "1000.000");
  EXPECT_EQ(b.frontend().plot_panel().Legend[0].caption, "ZERO");
}

}  // namespace
}  // namespace trevolan

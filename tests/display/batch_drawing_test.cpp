// The batch runner draws at the moments the window would, on a canvas that paints
// nothing: what drawing computes and the errors it raises are the same as in the window.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "cli/batch.h"
#include "cli/script.h"
#include "display/diagram.h"
#include "display/recording_canvas.h"
#include "display/time_plot.h"
#include "support/test_support.h"

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

TEST(BatchDrawing, AReadDependsOnNothingTheModelBeforeLeft) {
  // A link to block 8101: the first paint after the reading fails, and a failed paint
  // must not leave the next reading drawing links, which would stop it at that block.
  testing::TempDir dir;
  std::string text = testing::ReadTextFile(testing::ExamplePath("damped_oscillator.txt"));
  const std::string line = "@&   104   accel   300   250   1   3   0   103   0   101";
  const size_t at = text.find(line);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, line.size(), line.substr(0, line.size() - 3) + "8101");
  testing::WriteTextFile(dir.path("m.txt"), text);
  std::ostringstream out;
  cli::Batch b(out);
  const std::string open = "open " + dir.path("m.txt") + "; print HighestBlock 105.Type 104.Cn";
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Script(b, open), "error: Range check error\n105 N 8101\n") << i;
}

TEST(BatchDrawing, AModelReadsAlikeWhateverTheOrderOfItsLines) {
  // A Visualizer in bar mode (102) of block 101 against the full scale of block 105,
  // which comes before it in the file: a save writes it after, and while the bar is
  // drawn before 105 is read again it has no full scale, a bar beyond the integer range.
  // That paint alone fails, and what it computed is not kept: the model reads back
  // whole, and its Visualizer's Value is what the paint of the whole model makes of it,
  // or, when that paint stops before it (a Switch 110 set beyond any position), as read.
  const std::string header = "Dorvanek-Consulting:Analogue and Petri-Net Simulator: Trevolan4\r\n";
  const std::string blocks =
      "@C   105   scale   300   300   1   3   0   0   0   0   0   0   -1   0   0   0   0   0   50 \"\"\r\n"
      "@C   101   source   100   100   1   3   0   0   0   0   0   0   -1   0   0   0   0   0   3 \"\"\r\n"
      "@V   102   bar   300   100   1   3   2   101   0   0   0   105   -1   0   0   0   0   0   7 \"\"\r\n";
  const std::string beyond =
      "@W   110   beyond   400   100   1   3   0   0   0   0   0   0   -1   1e308   0   0   0   0   0 \"\"\r\n";
  const struct {
    std::string blocks, read;
  } cases[] = {
      {blocks, "105 50 6\n"},
      {blocks + beyond, "error: Invalid floating point operation in block 110 while drawing it\n110 50 7\n"},
  };
  for (const auto& c : cases) {
    testing::TempDir dir;
    testing::WriteTextFile(dir.path("m.txt"), header + c.blocks);
    std::ostringstream out;
    cli::Batch b(out);
    const std::string print = "; print HighestBlock 105.Value 102.Value";
    EXPECT_EQ(Script(b, "open " + dir.path("m.txt") + print), c.read);
    EXPECT_EQ(Script(b, "save " + dir.path("saved.txt") + "; open " + dir.path("saved.txt") + print), c.read);
  }
}

TEST(BatchDrawing, ThePlotPanelIsPreparedForTheBatchRunnersPanel) {
  std::ostringstream out;
  cli::Batch b(out);
  Script(b, "reset");
  EXPECT_EQ(b.sim().PlotWidth, 650);
  EXPECT_EQ(b.frontend().plot_panel().GrMaxTLb.caption, "1000.000");
  EXPECT_EQ(b.frontend().plot_panel().Legend[0].caption, "ZERO");
}

// The batch runner's frontend as it was before drawing learnt to leave out what cannot
// matter: every notification draws every block it names, in full.
class FullDrawingFrontend : public Frontend {
 public:
  FullDrawingFrontend(Sim& s, std::ostream& out) : s_(s), out_(out) {}
  void ShowMessage(const std::string& text) override { out_ << "message: " << text << '\n'; }
  void DrawBlock(int id) override { trevolan::DrawBlock(s_, diagram_, id); }
  void DrawAllBlocks() override { trevolan::DrawAllBlocks(s_, diagram_); }
  void RedrawDiagram() override { trevolan::RedrawDiagram(s_, diagram_); }
  void GrPlotPnlPrep() override { trevolan::GrPlotPnlPrep(s_, panel_); }
  void DrawTimePlot() override { trevolan::DrawTimePlot(s_, plot_); }
  void FormPaint() override {
    RedrawDiagram();
    GrPlotPnlPrep();
    DrawTimePlot();
  }

 private:
  Sim& s_;
  std::ostream& out_;
  RecordingCanvas diagram_, plot_;  // canvases that paint, so drawing composes all it would
  PlotPanelForm panel_;
};

// Everything a run leaves behind: every field of every block, the globals, the tape.
std::string ModelState(const Sim& s) {
  std::string t;
  const auto num = [&t](double x) {
    char buf[40];
    std::snprintf(buf, sizeof buf, " %a", x);
    t += buf;
  };
  for (int id = 0; id <= kMaxBlockID; ++id) {
    const TBlock& b = s.block(id);
    t += std::to_string(id) + TypeLetter(b.Type) + b.Name + "|" + b.Comment + "|";
    for (const int32_t v : {b.ID, b.OnOff, b.Displ, b.State, b.XX, b.YY, b.An, b.Bn, b.Cn, b.Dn, b.Pn}) {
      t += " " + std::to_string(v);
    }
    for (const double v : {b.aa, b.bb, b.cc, b.dd, b.pp, b.Value}) num(v);
    for (const double v : b.stored) num(v);
    t += "\n";
  }
  for (const double v : {s.Time, s.GrNext, s.Holdnext}) num(v);
  t += " " + std::to_string(s.HighestBlock) + " " + std::to_string(s.HoldFlag) + std::to_string(s.RunBusy) +
       std::to_string(s.LinksFlag) + " " + std::to_string(s.StepsTaken) + " " + std::to_string(s.TapeIndex) + "\n";
  for (int r = 0; r <= s.TapeIndex; ++r) {
    for (int c = 0; c <= s.TapeChannels; ++c) num(s.TapeCell(c, r));
  }
  return t;
}

// The first line where two texts differ, both ways; empty when they are equal.
std::string FirstDifference(const std::string& a, const std::string& b) {
  std::istringstream sa(a), sb(b);
  std::string la, lb;
  while (true) {
    const bool more_a = static_cast<bool>(std::getline(sa, la)), more_b = static_cast<bool>(std::getline(sb, lb));
    if (!more_a && !more_b) return "";
    if (more_a != more_b || la != lb) return la.substr(0, 300) + "\n  against\n" + lb.substr(0, 300);
  }
}

// Runs a script once on the batch runner as it is and once drawing everything in full,
// and returns both outputs with the model state after it.
std::pair<std::string, std::string> BothWays(const std::string& script) {
  std::string result[2];
  for (const bool full : {false, true}) {
    std::ostringstream out;
    cli::Batch b(out);
    FullDrawingFrontend full_frontend(b.sim(), out);
    if (full) b.sim().frontend = &full_frontend;
    const std::string output = Script(b, script);
    result[full] = output + "\n" + ModelState(b.sim());
  }
  return {result[0], result[1]};
}

// Drawing on the canvas that paints nothing leaves out the blocks whose drawing can
// neither fail nor compute anything; every example, run with animation on in several
// displays and with blocks whose drawing computes or fails, must end as with every
// block drawn in full, errors included.
TEST(BatchDrawing, LeavingOutInertDrawingChangesNothing) {
  // Blocks added after the example's own: Visualizers over the clock, one of them
  // summed up by an Integrator, so that every Value it took during the run counts; a
  // Switch, a Sine with a phase link, a strip Visualizer on a Container (repaired at
  // its first drawing), and that Container placed at the edge of the coordinate range,
  // where its number line overflows.
  const std::string probes =
      "set 990.Type V; set 990.XX 300; set 990.YY 300; set 990.OnOff 1; set 990.An 2; set 990.pp 500;"
      "set 990.State 1; set 991.Type V; set 991.XX 400; set 991.YY 300; set 991.An 2; set 991.State 3;"
      "set 992.Type W; set 992.XX 500; set 992.YY 300; set 992.An 2; set 993.Type S; set 993.XX 600;"
      "set 993.YY 300; set 993.Pn 2; set 994.Type V; set 994.XX 700; set 994.YY 300; set 994.An 995;"
      "set 994.State 6; set 995.Type C; set 995.XX 800; set 995.YY 300; set 996.Type I; set 996.OnOff 1;"
      "set 996.An 990; set 996.cc 1; set HighestBlock 996;";
  const std::string displays[] = {
      "",
      "set NumberMode 1; set GridFlag 1;",
      "set NumberMode 2; set ScaleFactr 1e17;",  // the scaled numbers leave 64 bits
      // an Access block moves a Container step by step to the edge, where its drawing
      // fails in the middle of a run that began with every block well inside
      "set NumberMode 3; set PlotFlag 1;" + probes +
          "set 997.Type @; set 997.OnOff 1; set 997.An 998; set 997.aa 16; set 997.Bn 999; set 997.bb 5;"
          "set 998.Type I; set 998.OnOff 1; set 998.An 1; set 998.cc 429496728; set 999.Type C; set 999.XX 850;"
          "set 999.YY 300; set HighestBlock 999;",
      probes + "set 995.YY 2147483640;",  // fails at the first drawing of 995
      probes + "set 992.aa 1e12; set 993.Pn 1001;",
  };
  int examples = 0;
  for (const std::string& model : testing::ExampleModels()) {
    ++examples;
    for (const std::string& display : displays) {
      for (const char* when : {"before", "after"}) {
        const bool before = std::string(when) == "before";
        const std::string script = "open " + model + ";" + (before ? display : "") +
                                   "reset; step; run;" + (before ? "" : display) + "finish; compute";
        const auto [as_is, in_full] = BothWays(script);
        EXPECT_EQ(FirstDifference(as_is, in_full), "") << model << " with " << display << " " << when;
      }
    }
  }
  EXPECT_GE(examples, 10);
}

}  // namespace
}  // namespace trevolan

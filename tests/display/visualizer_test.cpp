#include "display/visualizer.h"

#include <gtest/gtest.h>

#include "display/diagram.h"
#include "display/draw_support.h"

namespace trevolan {
namespace {

using testing::DrawSim;
using testing::LineSeen;
using testing::LinesOf;
using testing::Place;

constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kGreen{0, 128, 0}, kBlue{0, 0, 255}, kSilver{192, 192, 192};
constexpr Rgb kScale5{212, 0, 0}, kScale10{255, 169, 0};
constexpr int kVis = 130, kSource = 131;

// A Visualizer at (400, 300) reading block 131 (value v) with full scale fs.
struct VisSim : DrawSim {
  VisSim(int mode, double v, double fs) {
    Place(**this, kSource, 'C', 200, 100, "source").Value = v;
    TBlock& vis = Place(**this, kVis, 'V', 400, 300, "vis");
    vis.State = mode;
    vis.An = kSource;
    vis.pp = fs;
    sim->LinksFlag = false;
  }
  TBlock& vis() { return sim->block(kVis); }
};

std::vector<Point> Corners(const DrawOp& op) { return op.points; }

TEST(VisualizerValue, PercentageOfFullScaleOrTheInputItself) {
  struct Case {
    double v, aa, fs;
    double value;
  };
  const Case cases[] = {
      {25, 0, 50, 50},  {80, 0, 50, 160}, {-10, 0, 50, -20}, {25, 0, -50, 50},  // the full scale's magnitude
      {20, 5, 50, 50},  {2.5, 0, 0, 2},   {3.5, 0, 0, 4},    {1, 0, 3, 33},
  };
  for (const Case& k : cases) {
    VisSim s(9, k.v, k.fs);
    s.vis().aa = k.aa;
    RecordingCanvas c;
    DrawVisualizer(*s, c, kVis);
    EXPECT_EQ(s.vis().Value, k.value) << k.v << " of " << k.fs;
    EXPECT_TRUE(c.ops.empty()) << "mode 9 draws nothing outside a full redraw";
  }
  // The full scale may come from a block on Pn.
  VisSim s(9, 30, 0);
  Place(*s, 132, 'C', 0, 0).Value = 60;
  s.vis().Pn = 132;
  s.vis().pp = 0;
  RecordingCanvas c;
  DrawVisualizer(*s, c, kVis);
  EXPECT_EQ(s.vis().Value, 50);
}

TEST(VisualizerValue, UnknownModeDrawsOnlyTheSilverLinkDuringARedraw) {
  VisSim s(9, 25, 50);
  s->LinksFlag = true;
  RecordingCanvas c;
  DrawVisualizer(*s, c, kVis);
  const std::vector<LineSeen> link = {{{206, 106}, {400, 306}, kSilver, 1}};
  EXPECT_EQ(LinesOf(c), link);
  EXPECT_EQ(c.ops.size(), 2u);
  EXPECT_EQ(s.vis().Value, 50);
}

TEST(VisualizerNumber, ShowsTheInputUnscaledOrTheId) {
  struct Case {
    int number_mode;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {0, {"vis ", "          ", "   25.0000"}},
      {1, {"vis ", "          ", "130"}},
      {2, {"vis ", "          ", "   25.0000"}},
      {3, {"vis ", "          ", "   25.0000"}},
      {4, {"vis "}},
  };
  for (const Case& k : cases) {
    VisSim s(0, 25, 50);
    s->NumberMode = k.number_mode;
    s->ScaleFactr = 2;
    RecordingCanvas c;
    DrawVisualizer(*s, c, kVis);
    EXPECT_EQ(c.Texts(), k.texts) << k.number_mode;
    EXPECT_EQ(c.ops[0].brush, kSilver);
    EXPECT_EQ(c.ops[0].font.colour, kBlack);
    if (c.ops.size() > 1) {
      EXPECT_EQ(c.ops[2].points[0], (Point{400, 313}));
      EXPECT_EQ(c.ops[2].brush, (Rgb{240, 240, 240}));
    }
  }
}

TEST(VisualizerBars, FrameAndBarByModeAndPercentage) {
  struct Case {
    int mode;
    int32_t bn, cn;
    double v;
    std::vector<Point> frame, bar;
    Rgb colour;
  };
  const std::vector<Case> cases = {
      // Full scale 50: v = 25 fills half of H = 40 above YY.
      {1, 0, 40, 25, {{400, 260}, {450, 300}}, {{400, 280}, {450, 300}}, kGreen},
      // 160 % clamps to H and takes the colour of "full".
      {1, 0, 40, 80, {{400, 260}, {450, 300}}, {{400, 260}, {450, 300}}, kScale10},
      // -20 % hangs below the base line.
      {1, 0, 40, -10, {{400, 260}, {450, 300}}, {{400, 308}, {450, 300}}, kScale5},
      {1, 0, 40, 0, {{400, 260}, {450, 300}}, {{400, 300}, {450, 300}}, kScale5},
      // Horizontal: W = 60 and H defaults to 50.
      {2, 60, 0, 25, {{400, 250}, {460, 300}}, {{400, 250}, {430, 300}}, kGreen},
      {2, 60, 0, -100, {{400, 250}, {460, 300}}, {{400, 250}, {340, 300}}, kScale5},
      {2, 0, 0, 50, {{400, 250}, {450, 300}}, {{400, 250}, {450, 300}}, kScale10},
  };
  for (const Case& k : cases) {
    VisSim s(k.mode, k.v, 50);
    s.vis().Bn = k.bn;
    s.vis().Cn = k.cn;
    RecordingCanvas c;
    DrawVisualizer(*s, c, kVis);
    ASSERT_EQ(c.ops.size(), 3u);
    EXPECT_EQ(c.ops[0].text, "vis ");
    EXPECT_EQ(c.ops[1].kind, DrawKind::Rectangle);
    EXPECT_EQ(c.ops[1].points, k.frame);
    EXPECT_EQ(c.ops[1].pen.colour, kBlack);
    EXPECT_EQ(c.ops[1].brush, kWhite);
    EXPECT_EQ(c.ops[2].kind, DrawKind::FillRect);
    EXPECT_EQ(c.ops[2].points, k.bar) << "mode " << k.mode << " v " << k.v;
    EXPECT_EQ(c.ops[2].brush, k.colour) << "mode " << k.mode << " v " << k.v;
  }
}

TEST(VisualizerBars, WithoutFullScaleTheBarLeavesTheIntegerRange) {
  VisSim s(1, 1, 0);
  RecordingCanvas c;
  EXPECT_THROW(DrawVisualizer(*s, c, kVis), FloatError);  // 5e20 pixels
  EXPECT_EQ(s.vis().Value, 1);
  s->block(kSource).Value = 1e-10;  // 5e10 pixels: beyond 32 bits
  EXPECT_THROW(DrawVisualizer(*s, c, kVis), RangeError);
  s->block(kSource).Value = 0;
  EXPECT_NO_THROW(DrawVisualizer(*s, c, kVis));
}

TEST(VisualizerShapes, TriangleQuadAndEllipseInTheAnimationColour) {
  VisSim s(3, 25, 50);  // 50 % is scale entry 10
  TBlock& vis = s.vis();
  vis.Bn = 20;
  vis.Cn = 40;
  vis.Dn = -10;
  vis.bb = 30;
  vis.cc = 10.4;
  vis.dd = -5.5;  // rounds to -6
  RecordingCanvas c;
  DrawVisualizer(*s, c, kVis);
  ASSERT_EQ(c.ops.size(), 2u);
  EXPECT_EQ(c.ops[1].kind, DrawKind::Polygon);
  EXPECT_EQ(Corners(c.ops[1]), (std::vector<Point>{{400, 300}, {420, 270}, {440, 290}}));
  EXPECT_EQ(c.ops[1].brush, kScale10);
  EXPECT_EQ(c.ops[1].pen.colour, kBlack);

  vis.State = 4;
  c.Clear();
  DrawVisualizer(*s, c, kVis);
  EXPECT_EQ(Corners(c.ops[1]), (std::vector<Point>{{400, 300}, {420, 270}, {440, 290}, {390, 306}}));

  vis.State = 7;
  vis.Bn = 31;  // half of 31 rounds to the even 16
  vis.Cn = 20;
  c.Clear();
  DrawVisualizer(*s, c, kVis);
  EXPECT_EQ(c.ops[1].kind, DrawKind::Ellipse);
  EXPECT_EQ(c.ops[1].points, (std::vector<Point>{{384, 280}, {416, 300}}));
  EXPECT_EQ(c.ops[1].brush, kScale10);
}

TEST(VisualizerShapes, WithoutFullScaleTheColourSpanIsColourMaxMinusColourMin) {
  VisSim s(3, 50, 0);
  s->ColourMin = 40;
  s->ColourMax = 240;  // 100 x 50 / 200 = 25 %, not offset by ColourMin
  RecordingCanvas c;
  DrawVisualizer(*s, c, kVis);
  EXPECT_EQ(c.ops[1].brush, kScale5);
  EXPECT_EQ(s.vis().Value, 50);  // the Value keeps the input itself

  s->ColourMax = 40;
  c.Clear();
  EXPECT_THROW(DrawVisualizer(*s, c, kVis), FloatError);
  EXPECT_TRUE(c.Of(DrawKind::Polygon).empty());
}

// A generator table: y data 0, 10, 5 at x 0, 1, 2.
TBlock& Generator(Sim& s, int id, std::vector<double> y, std::vector<double> x) {
  TBlock& g = Place(s, id, 'G', 0, 0, "gen");
  g.stored = {static_cast<double>(y.size())};
  g.stored.insert(g.stored.end(), y.begin(), y.end());
  g.stored.insert(g.stored.end(), x.begin(), x.end());
  return g;
}

TEST(VisualizerTable, XyPlotOfAGeneratorTable) {
  VisSim s(5, 0, 0);
  Generator(*s, 140, {0, 10, 5}, {0, 1, 2});
  TBlock& vis = s.vis();
  vis.An = 140;
  vis.Bn = 100;
  vis.Cn = -40;  // magnitudes count
  RecordingCanvas c;
  DrawVisualizer(*s, c, kVis);
  EXPECT_EQ(c.Texts(), (std::vector<std::string>{"vis ", "Function Gen. 140"}));
  const auto rect = c.Of(DrawKind::Rectangle);
  ASSERT_EQ(rect.size(), 1u);
  EXPECT_EQ(rect[0].points, (std::vector<Point>{{400, 300}, {500, 240}}));
  const std::vector<LineSeen> lines = {
      {{400, 280}, {500, 280}, kBlack, 1},  // base line
      {{450, 280}, {450, 240}, kBlack, 1},  // dashed middle lines
      {{400, 260}, {500, 260}, kBlack, 1},
      {{400, 280}, {450, 240}, kBlue, 1},  // three points, two segments
      {{450, 240}, {500, 260}, kBlue, 1},
  };
  EXPECT_EQ(LinesOf(c), lines);
  const auto drawn = c.Of(DrawKind::Line);
  EXPECT_EQ(drawn[1].pen.style, PenStyle::Dashed);
  EXPECT_EQ(drawn[3].pen.style, PenStyle::Solid);
  const auto texts = c.Of(DrawKind::Text);
  EXPECT_EQ(texts[1].points[0], (Point{405, 283}));
}

TEST(VisualizerTable, EqualDataLieAtTheMiddleAndScalesShift) {
  VisSim s(5, 0, 0);
  TBlock& g = Generator(*s, 140, {7, 7, 7}, {0, 1, 2});
  g.stored.push_back(99);  // 2n + 2 entries: the last is not part of the table
  TBlock& vis = s.vis();
  vis.An = 140;
  vis.Bn = 100;
  vis.Cn = 40;
  RecordingCanvas c;
  DrawVisualizer(*s, c, kVis);
  const auto lines = LinesOf(c);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3], (LineSeen{{400, 260}, {450, 260}, kBlue, 1}));

  // With full scales: y from 0 over |fs|, x from 0 over the block on Dn plus dd; aa and
  // bb shift the data.
  Place(*s, 141, 'C', 0, 0).Value = 2;
  vis.pp = 14;
  vis.Dn = 141;
  vis.dd = 2;  // x full scale 4
  vis.aa = 7;  // v = 0 + 7 against 14: Value 50
  vis.bb = 1;
  c.Clear();
  DrawVisualizer(*s, c, kVis);
  EXPECT_EQ(vis.Value, 50);
  const auto shifted = LinesOf(c);
  ASSERT_EQ(shifted.size(), 5u);
  EXPECT_EQ(shifted[3], (LineSeen{{425, 240}, {450, 240}, kBlue, 1}));
}

TEST(VisualizerTable, MemoryCaptionAndWrongSources) {
  VisSim s(5, 0, 0);
  TBlock& m = Place(*s, 141, 'M', 0, 0, "mem");
  m.An = 101;
  m.Bn = 102;
  m.stored = {0, 1, 2, 3, 4};
  Place(*s, 101, 'C', 0, 0, "level");
  Place(*s, 102, 'C', 0, 0, "time");
  s.vis().An = 141;
  RecordingCanvas c;
  DrawVisualizer(*s, c, kVis);
  EXPECT_EQ(c.Texts(), (std::vector<std::string>{"vis ", "level vs time"}));

  // An empty slot: the label only.
  s.vis().An = 150;
  c.Clear();
  DrawVisualizer(*s, c, kVis);
  EXPECT_EQ(c.Texts(), std::vector<std::string>{"vis "});
  EXPECT_EQ(c.ops.size(), 1u);

  // A table too short to read.
  TBlock& g = Generator(*s, 142, {}, {});
  g.stored.clear();
  s.vis().An = 142;
  EXPECT_THROW(DrawVisualizer(*s, c, kVis), RangeError);
}

TEST(VisualizerRepair, WrongSourceTypeMakesANumberVisualizer) {
  struct Case {
    int mode;
    char source;
    const char* name;
  };
  const Case cases[] = {{5, 'C', "Not_G_or_M"}, {5, 'B', "Not_G_or_M"}, {6, 'G', "Not_B_or_M"}, {6, 'X', "Not_B_or_M"}};
  for (const Case& k : cases) {
    VisSim s(k.mode, 25, 50);
    s->block(kSource).Type = TypeOfLetter(k.source);
    s.vis().Displ = 0;
    RecordingCanvas c;
    DrawVisualizer(*s, c, kVis);
    EXPECT_TRUE(c.ops.empty()) << "nothing drawn the first time";
    EXPECT_EQ(s.vis().Name, k.name);
    EXPECT_EQ(s.vis().Displ, 3);
    EXPECT_EQ(s.vis().State, 0);
    EXPECT_EQ(s.vis().Value, 50);
    DrawVisualizer(*s, c, kVis);
    EXPECT_EQ(c.Texts(), (std::vector<std::string>{std::string(k.name) + " ", "          ", "   25.0000"}));
  }
}

TEST(VisualizerStrip, BeltItemsStandAlongTheStrip) {
  VisSim s(6, 0, 0);
  TBlock& belt = Place(*s, 150, 'B', 0, 0, "belt");
  belt.stored = {0, 2, 0, 4, 1};
  belt.aa = 4;  // capacity: the span of the bars
  TBlock& vis = s.vis();
  vis.An = 150;
  vis.Bn = 600;
  vis.bb = 300;
  RecordingCanvas c;
  DrawVisualizer(*s, c, kVis);
  const auto lines = c.Of(DrawKind::Line);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].points, (std::vector<Point>{{400, 300}, {600, 300}}));
  EXPECT_EQ(lines[0].pen, (Pen{kBlue, 2, PenStyle::Solid}));
  const auto strip = c.Of(DrawKind::Polygon);
  ASSERT_EQ(strip.size(), 1u);
  EXPECT_EQ(strip[0].points, (std::vector<Point>{{400, 300}, {600, 300}, {600, 290}, {400, 290}}));
  EXPECT_EQ(strip[0].pen.width, 1);
  EXPECT_EQ(strip[0].brush, kWhite);
  const auto bars = c.Of(DrawKind::FillRect);
  ASSERT_EQ(bars.size(), 4u);
  const std::vector<std::vector<Point>> expected = {{{450, 300}, {455, 295}},
                                                    {{500, 300}, {505, 300}},
                                                    {{550, 300}, {555, 290}},  // a full item is as tall as the strip
                                                    {{600, 300}, {605, 298}}};  // 2.5 rounds to 2
  for (size_t i = 0; i < bars.size(); ++i) {
    EXPECT_EQ(bars[i].points, expected[i]) << i;
    EXPECT_EQ(bars[i].brush, kGreen);
  }

  belt.stored.clear();
  c.Clear();
  DrawVisualizer(*s, c, kVis);
  EXPECT_EQ(c.Of(DrawKind::Line).size(), 1u);
  EXPECT_EQ(c.Of(DrawKind::Polygon).size(), 1u);
  EXPECT_TRUE(c.Of(DrawKind::FillRect).empty());
}

TEST(VisualizerStrip, MemoryBarsAreOffsetByTheLeastEntry) {
  VisSim s(6, 0, 0);
  TBlock& m = Place(*s, 151, 'M', 0, 0, "mem");
  m.stored = {0, 2, 6, 4, 0, 0, 0};
  TBlock& vis = s.vis();
  vis.An = 151;
  vis.Bn = 430;
  vis.bb = 270;
  vis.Cn = 8;
  vis.cc = 3;
  RecordingCanvas c;
  DrawVisualizer(*s, c, kVis);
  const auto bars = c.Of(DrawKind::FillRect);
  ASSERT_EQ(bars.size(), 3u);
  EXPECT_EQ(bars[0].points, (std::vector<Point>{{410, 290}, {413, 290}}));
  EXPECT_EQ(bars[1].points, (std::vector<Point>{{420, 280}, {423, 272}}));
  EXPECT_EQ(bars[2].points, (std::vector<Point>{{430, 270}, {433, 266}}));

  m.stored = {0};  // no entries to take a span over
  EXPECT_THROW(DrawVisualizer(*s, c, kVis), RangeError);
}

TEST(VisualizerErrors, ConnectionsOutOfRange) {
  for (const auto set : {+[](TBlock& v) { v.An = 1001; }, +[](TBlock& v) { v.Pn = -1; }}) {
    VisSim s(0, 25, 50);
    s.vis().Value = 7;
    set(s.vis());
    RecordingCanvas c;
    EXPECT_THROW(DrawVisualizer(*s, c, kVis), RangeError);
    EXPECT_EQ(s.vis().Value, 7);
    EXPECT_TRUE(c.ops.empty());
  }
}

TEST(VisualizerPasses, VisualizersAreDrawnOverTheFirstPassAndAnimate) {
  VisSim s(0, 25, 50);
  RecordingCanvas c;
  s->block(kSource).Value = 40;
  DrawAllBlocks(*s, c);
  EXPECT_EQ(s.vis().Value, 80);
  const auto texts = c.Texts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[0], "source ");
  EXPECT_EQ(texts[1], "vis ");
}

}  // namespace
}  // namespace trevolan

#include "display/time_plot.h"

#include <optional>

#include <gtest/gtest.h>

#include "display/draw_support.h"
#include "display/plot_reading.h"
#include "model/numbers.h"

namespace trevolan {
namespace {

using testing::LinesOf;
using testing::Place;
using testing::TestSim;

constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kBlue{0, 0, 255}, kSilver{192, 192, 192};

// A recorded tape of rows 0..rows-1 at times 0, 10, 20, ...: channel 1 rises by 1 a row,
// channel 2 falls by 1. The plot spans time 0..100 and values -10..10 on a width of
// 650, with 4 value and 5 time intervals.
struct PlotSim : TestSim {
  explicit PlotSim(int rows = 11) {
    Sim& s = **this;
    s.PlotFlag = true;
    s.PlotWidth = 650;
    s.TimeTol = 0.001;
    s.block(14).Value = 0;
    s.block(15).Value = 100;
    s.block(16).Value = -10;
    s.block(17).Value = 10;
    s.block(19).Value = 4;
    s.block(19).pp = 5;
    s.TapeChannels = 2;
    for (int r = 0; r < rows; ++r) {
      s.TapeCell(0, r) = 10.0 * r;
      s.TapeCell(1, r) = r;
      s.TapeCell(2, r) = -r;
    }
    s.TapeIndex = rows - 1;
  }
};

// The points of the trace of a channel: x = N(t x 6.5), y = 379 - N((v + 10) x 18.95).
Point TracePoint(double t, double v) {
  return {static_cast<int32_t>(RoundHalfEven(t * 6.5)), 379 - static_cast<int32_t>(RoundHalfEven((v + 10) * 18.95))};
}

std::vector<DrawOp> TraceLines(const RecordingCanvas& c, Rgb colour) {
  std::vector<DrawOp> out;
  for (const DrawOp& op : c.Of(DrawKind::Line)) {
    if (op.pen.colour == colour && op.pen.style == PenStyle::Solid) out.push_back(op);
  }
  return out;
}

TEST(TimePlot, FrameGridAndTracesOfTheWholeTape) {
  PlotSim s;
  RecordingCanvas c;
  DrawTimePlot(*s, c);
  ASSERT_FALSE(c.ops.empty());
  EXPECT_EQ(c.ops[0].kind, DrawKind::Rectangle);
  EXPECT_EQ(c.ops[0].points, (std::vector<Point>{{0, 0}, {650, 383}}));
  EXPECT_EQ(c.ops[0].pen.width, 2);
  EXPECT_EQ(c.ops[0].pen.colour, kBlack);
  EXPECT_EQ(c.ops[0].brush, kWhite);

  std::vector<std::vector<Point>> grid;
  for (const DrawOp& op : c.Of(DrawKind::Line)) {
    if (op.pen.style == PenStyle::Dotted) grid.push_back(op.points);
  }
  // Five time intervals of 130 pixels; four value intervals of 95 (379 / 4 = 94.75),
  // the first on the top edge and none at the bottom.
  const std::vector<std::vector<Point>> expected_grid = {
      {{130, 379}, {130, 0}}, {{260, 379}, {260, 0}}, {{390, 379}, {390, 0}}, {{520, 379}, {520, 0}},
      {{650, 379}, {650, 0}}, {{0, 0}, {650, 0}},     {{0, 95}, {650, 95}},   {{0, 190}, {650, 190}},
      {{0, 285}, {650, 285}},
  };
  EXPECT_EQ(grid, expected_grid);

  const auto red = TraceLines(c, kRed);
  ASSERT_EQ(red.size(), 11u);  // from the first point to itself, then on to every row
  EXPECT_EQ(red[0].points[0], TracePoint(0, 0));
  EXPECT_EQ(red[0].points[0], (Point{0, 189}));  // 189.5 rounds to the even 190
  for (int r = 0; r <= 10; ++r) EXPECT_EQ(red[static_cast<size_t>(r)].points[1], TracePoint(10.0 * r, r)) << r;
  const auto blue = TraceLines(c, kBlue);
  ASSERT_EQ(blue.size(), 11u);
  EXPECT_EQ(blue.back().points[1], TracePoint(100, -10));
  EXPECT_EQ(blue.back().points[1], (Point{650, 379}));
}

TEST(TimePlot, NeedsThePlotShownAndThreeRows) {
  for (int rows : {1, 2}) {
    PlotSim s(rows);
    RecordingCanvas c;
    DrawTimePlot(*s, c);
    EXPECT_TRUE(c.ops.empty()) << rows;
  }
  PlotSim three(3);
  RecordingCanvas c;
  DrawTimePlot(*three, c);
  EXPECT_EQ(TraceLines(c, kRed).size(), 3u);

  PlotSim hidden;
  hidden->PlotFlag = false;
  c.Clear();
  DrawTimePlot(*hidden, c);
  EXPECT_TRUE(c.ops.empty());
}

TEST(TimePlot, WindowOfRows) {
  struct Case {
    double tmin, tmax;
    int first, last;  // -1: nothing drawn
  };
  const Case cases[] = {
      {25, 75, 3, 7},        // rows inside the window only
      {0.0005, 100, 0, 10},  // later than the first sample by less than TimeTol
      {-50, 150, 0, 10},     // the whole recording inside
      {20, 1000, 2, 10},     {0, 80, 0, 8},
      {100, 200, -1, -1},    // Tmin at the last sample
      {-100, 0, -1, -1},     // Tmax at the first sample
      {95, 200, -1, -1},     // a single row: the previous picture stays
  };
  for (const Case& k : cases) {
    PlotSim s;
    s->block(14).Value = k.tmin;
    s->block(15).Value = k.tmax;
    RecordingCanvas c;
    DrawTimePlot(*s, c);
    const auto red = TraceLines(c, kRed);
    if (k.first < 0) {
      EXPECT_TRUE(c.ops.empty()) << k.tmin << ".." << k.tmax;
      continue;
    }
    ASSERT_EQ(red.size(), static_cast<size_t>(k.last - k.first + 1)) << k.tmin << ".." << k.tmax;
    const double st = 650 / (k.tmax - k.tmin), sy = 379 / 20.0;
    const auto at = [&](int row) {
      return Point{static_cast<int32_t>(RoundHalfEven((10.0 * row - k.tmin) * st)),
                   379 - static_cast<int32_t>(RoundHalfEven((row + 10) * sy))};
    };
    EXPECT_EQ(red.front().points[0], at(k.first));
    EXPECT_EQ(red.back().points[1], at(k.last));
    // The same time range as a zoom of the plot, the Graphs block at 0..100: the same
    // traces.
    PlotSim zoomed;
    RecordingCanvas z;
    DrawTimePlot(*zoomed, z, PlotZoom{true, k.tmin, k.tmax});
    const auto zoomed_red = TraceLines(z, kRed);
    ASSERT_EQ(zoomed_red.size(), red.size()) << k.tmin << ".." << k.tmax;
    EXPECT_EQ(zoomed_red.front().points, red.front().points);
    EXPECT_EQ(zoomed_red.back().points, red.back().points);
  }
}

// The cursor reads the drawn row nearest to the pointer's time, where the trace draws
// it; a drag zooms to the times under its ends, and reading goes on in the zoom.
TEST(TimePlot, CursorReadsTheNearestRowAndADragZooms) {
  PlotSim s;  // 6.5 pixels a unit of time; rows every 10
  struct Case {
    PlotZoom zoom;
    int32_t x;
    int32_t row, drawn_at;  // row -1: nothing read
  };
  const PlotZoom whole{}, zoom{true, 20, 50};  // 650 / 30 pixels a unit of time
  const Case cases[] = {
      {whole, 0, 0, 0},     {whole, 68, 1, 65},   {whole, 97, 1, 65},    {whole, 98, 2, 130},
      {whole, 650, 10, 650}, {zoom, 0, 2, 0},     {zoom, 100, 2, 0},     {zoom, 120, 3, 217},
      {zoom, 650, 5, 650},  {PlotZoom{true, 95, 200}, 10, -1, 0},  // a single row in range: no trace
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.zoom.Tmin) + " x " + std::to_string(k.x));
    const std::optional<PlotReading> r = ReadPlotAt(*s, k.zoom, k.x);
    ASSERT_EQ(r.has_value(), k.row >= 0);
    if (!r) continue;
    EXPECT_EQ(r->row, k.row);
    EXPECT_EQ(r->time, 10.0 * k.row);
    EXPECT_EQ(r->x, k.drawn_at);
    ASSERT_EQ(r->channels.size(), 2u);
    EXPECT_EQ(r->channels[0].value, k.row);
    EXPECT_EQ(r->channels[1].value, -k.row);
    EXPECT_EQ(r->channels[1].colour, kBlue);
  }
  s->TapeChannelIDs[1] = 2;
  EXPECT_EQ(ReadingText(*ReadPlotAt(*s, whole, 68)), "Time 10\nTime 1\n" + s->block(0).Name + " -1");

  // A drag of 130..325 pixels is 20..50; a shorter one than kMinZoomDrag zooms nothing.
  const std::optional<PlotZoom> dragged = ZoomedPlot(*s, whole, 325, 130);
  ASSERT_TRUE(dragged);
  EXPECT_TRUE(dragged->on);
  EXPECT_EQ(dragged->Tmin, 20);
  EXPECT_EQ(dragged->Tmax, 50);
  EXPECT_FALSE(ZoomedPlot(*s, whole, 100, 100 + kMinZoomDrag - 1));
  const std::optional<PlotZoom> again = ZoomedPlot(*s, *dragged, 0, 325);  // within the zoom
  ASSERT_TRUE(again);
  EXPECT_DOUBLE_EQ(again->Tmax, 35);
  PlotPanelForm form;
  form.Zoom = *dragged;
  GrPlotPnlPrep(*s, form);
  EXPECT_EQ(form.GrMinTLb.caption, "  20.000");
  EXPECT_EQ(form.GrMaxTLb.caption, "  50.000");
}

TEST(TimePlot, RangeComesFromTheGraphsBlockConnectionsAndCoefficients) {
  PlotSim s;
  TBlock& graphs = s->block(19);
  Place(*s, 120, 'C', 0, 0).Value = 40;
  graphs.An = 120;
  graphs.aa = -20;  // Tmin 20
  graphs.bb = -10;  // Tmax 90
  graphs.Value = 0;  // fewer than 1 interval means 10
  graphs.pp = -3;
  RecordingCanvas c;
  DrawTimePlot(*s, c);
  size_t dotted = 0;
  for (const DrawOp& op : c.Of(DrawKind::Line)) dotted += op.pen.style == PenStyle::Dotted;
  EXPECT_EQ(dotted, 20u);
  const auto red = TraceLines(c, kRed);
  ASSERT_EQ(red.size(), 8u);  // rows 2..9
  EXPECT_EQ(red.front().points[0].x, 0);
  EXPECT_EQ(red.back().points[1].x, 650);
}

TEST(TimePlot, EqualBoundsFailAfterTheFrameAndGrid) {
  for (const bool time_axis : {false, true}) {
    PlotSim s;
    if (time_axis) {
      // Rows 6 and 5 lie on either side of a window narrower than TimeTol.
      s->block(14).Value = 50.0005;
      s->block(15).Value = 50.0005;
    } else {
      s->block(16).Value = 5;
      s->block(17).Value = 5;
    }
    RecordingCanvas c;
    EXPECT_THROW(DrawTimePlot(*s, c), FloatError) << time_axis;
    EXPECT_EQ(c.Of(DrawKind::Rectangle).size(), 1u);
    EXPECT_EQ(c.Of(DrawKind::Line).size(), 9u);
    EXPECT_TRUE(TraceLines(c, kRed).empty());
  }
}

TEST(TimePlot, RangeErrors) {
  PlotSim s;
  s->block(19).Value = 1e10;  // intervals beyond 32 bits
  RecordingCanvas c;
  EXPECT_THROW(DrawTimePlot(*s, c), RangeError);

  PlotSim eleven;
  eleven->TapeChannels = 11;
  c.Clear();
  EXPECT_THROW(DrawTimePlot(*eleven, c), RangeError);
  EXPECT_EQ(TraceLines(c, kRed).size(), 11u);  // the channels before were drawn

  PlotSim huge;
  huge->TapeCell(1, 4) = 1e12;  // a point far beyond 32 bits
  c.Clear();
  EXPECT_THROW(DrawTimePlot(*huge, c), RangeError);
}

TEST(TimePlot, AnAbsurdIntervalCountDrawsOneLineForAll) {
  PlotSim s;
  s->block(19).pp = 2e9;
  s->block(19).Value = 1e9;
  RecordingCanvas c;
  DrawTimePlot(*s, c);
  std::vector<std::vector<Point>> grid;
  for (const DrawOp& op : c.Of(DrawKind::Line)) {
    if (op.pen.style == PenStyle::Dotted) grid.push_back(op.points);
  }
  const std::vector<std::vector<Point>> expected = {{{0, 379}, {0, 0}}, {{0, 0}, {650, 0}}};
  EXPECT_EQ(grid, expected);
}

TEST(PlotPanel, AxisLabelsLegendAndLayout) {
  TestSim s;
  Place(*s, 101, 'I', 0, 0, "ramp");
  s->TapeChannelIDs[1] = 101;
  s->TapeChannelIDs[3] = 101;
  s->block(16).Value = -60;
  s->block(17).Value = 110;
  s->block(19).aa = 0.0004;  // 0.0004 shows as 0.000
  PlotPanelForm form;
  GrPlotPnlPrep(*s, form);
  EXPECT_EQ(form.BoxWidth, 760);
  EXPECT_EQ(s->PlotWidth, 650);
  EXPECT_EQ(form.GrMaxTLb.left, 700);
  EXPECT_LE(form.BoxLeft + form.BoxWidth, form.PanelWidth);
  EXPECT_EQ(form.GrMinTLb.caption, "   0.000");
  EXPECT_EQ(form.GrMaxTLb.caption, "1000.000");
  EXPECT_EQ(form.GrMinYLb.caption, " -60.000");
  EXPECT_EQ(form.GrMaxYLb.caption, " 110.000");
  EXPECT_EQ(form.Legend[0].caption, "ramp");
  EXPECT_EQ(form.Legend[0].background, kWhite);
  EXPECT_EQ(form.Legend[0].colour, kRed);
  EXPECT_EQ(form.Legend[1].caption, "ZERO");  // channel 2 unused: block 0's name
  EXPECT_EQ(form.Legend[1].background, kSilver);
  EXPECT_EQ(form.Legend[1].colour, kBlue);
  EXPECT_EQ(form.Legend[2].caption, "ramp");
  EXPECT_EQ(form.Legend[6].colour, (Rgb{255, 126, 0}));
  EXPECT_EQ(form.Legend[9].top, 320);
  EXPECT_EQ(form.Legend[9].colour, (Rgb{0, 255, 0}));

  form.PanelWidth = 1000;
  GrPlotPnlPrep(*s, form);
  EXPECT_EQ(form.BoxWidth, 890);
  EXPECT_EQ(s->PlotWidth, 780);
  EXPECT_EQ(form.GrMaxTLb.left, 830);

  s->TapeChannelIDs[5] = 1001;
  EXPECT_THROW(GrPlotPnlPrep(*s, form), RangeError);
}

}  // namespace
}  // namespace trevolan

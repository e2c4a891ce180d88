#include "display/time_plot.h"

#include "display/pixels.h"
#include "model/numbers.h"

namespace trevolan {

namespace {

using namespace colour;


// A block's Value plus an addend, formed in extended precision.
double Bound(const Sim& s, int32_t id, double addend) {
  return static_cast<double>(static_cast<long double>(s.V(id)) + static_cast<long double>(addend));
}

// The number of intervals of an axis, as the Graphs block gives it: fewer than 1
// means 10.
int32_t Intervals(int32_t n) { return n < 1 ? 10 : n; }

void DrawGrid(Canvas& c, const Sim& s, int32_t n_time, int32_t n_value) {
  const int64_t left = s.PlotLeft, top = s.PlotTop, width = s.PlotWidth, height = s.PlotHeight;
  c.pen = Pen{kBlack, 1, PenStyle::Dotted};
  const int64_t dy = Nearest(static_cast<double>(height) / n_value);
  const int64_t dx = Nearest(static_cast<double>(width) / n_time);
  // With a spacing of 0 every line falls on the same place: one stands for them all,
  // so that an absurd interval count cannot stall the paint.
  const int64_t vertical = dx == 0 ? 1 : n_time;
  const int64_t horizontal = dy == 0 ? 1 : n_value;
  for (int64_t k = 1; k <= vertical; ++k) {
    const int32_t x = Px(left + k * dx);
    c.MoveTo(x, Px(top + height));
    c.LineTo(x, Px(top));
  }
  for (int64_t k = 1; k <= horizontal; ++k) {
    const int32_t y = Px(top + (k - 1) * dy);  // the first on the top edge, none at the bottom
    c.MoveTo(Px(left), y);
    c.LineTo(Px(left + width), y);
  }
}

}  // namespace

PlotRange GraphsRange(const Sim& s) {
  const TBlock& g = s.block(kGraphsBlock);
  return {Bound(s, g.An, g.aa), Bound(s, g.Bn, g.bb), Bound(s, g.Cn, g.cc), Bound(s, g.Dn, g.dd)};
}

PlotRange ShownPlotRange(const Sim& s, const PlotZoom& zoom) {
  PlotRange r = GraphsRange(s);
  if (zoom.on) {
    r.Tmin = zoom.Tmin;
    r.Tmax = zoom.Tmax;
  }
  return r;
}

std::optional<PlotRows> PlottedRows(const Sim& s, const PlotRange& r) {
  if (s.TapeIndex < 2) return std::nullopt;
  const int32_t n = s.TapeIndex;
  const double t0 = s.TapeCell(0, 0), tn = s.TapeCell(0, n);
  if (r.Tmin >= tn || r.Tmax <= t0) return std::nullopt;  // the window lies wholly outside the recording
  PlotRows rows{0, n};
  if (t0 < r.Tmin - s.TimeTol) {
    while (s.TapeCell(0, rows.first) < r.Tmin) ++rows.first;
  }
  if (tn > r.Tmax + s.TimeTol) {
    while (s.TapeCell(0, rows.last) > r.Tmax) --rows.last;
  }
  if (rows.first == rows.last) return std::nullopt;
  return rows;
}

void GrPlotPnlPrep(Sim& s, PlotPanelForm& form) {
  form.BoxWidth = Px(int64_t{form.PanelWidth} - form.BoxLeft - 10);
  s.PlotWidth = Px(int64_t{form.BoxWidth} - 110);
  form.GrMaxTLb.left = Px(int64_t{form.BoxWidth} - 60);
  const PlotRange r = ShownPlotRange(s, form.Zoom);
  form.GrMinTLb.caption = FormatFixed(r.Tmin, 3, 8);
  form.GrMaxTLb.caption = FormatFixed(r.Tmax, 3, 8);
  form.GrMinYLb.caption = FormatFixed(r.Ymin, 3, 8);
  form.GrMaxYLb.caption = FormatFixed(r.Ymax, 3, 8);
  for (size_t ch = 1; ch <= form.Legend.size(); ++ch) {
    PlotLabel& label = form.Legend[ch - 1];
    const int32_t id = s.TapeChannelIDs[ch];
    label.background = id > 0 ? kWhite : kSilver;
    label.colour = kChannelColours[ch - 1];
    label.caption = s.block(id).Name;
  }
}

namespace {

// The white frame, which also clears the plot area, and the dotted grid.
void DrawFrame(const Sim& s, Canvas& c, int32_t n_time, int32_t n_value) {
  const int64_t left = s.PlotLeft, top = s.PlotTop, width = s.PlotWidth, height = s.PlotHeight;
  c.brush = kWhite;
  c.pen.colour = kBlack;
  c.pen.width = 2;
  c.Rectangle(Px(left), Px(top), Px(left + width), Px(top + height + 4));
  DrawGrid(c, s, Intervals(n_time), Intervals(n_value));
}

// The plot from the tape; with nothing to draw, the empty frame when `frame_always`,
// else nothing at all (the previous picture stays).
void DrawPlot(Sim& s, Canvas& c, const PlotZoom& zoom, bool frame_always) {
  if (!s.PlotFlag) return;
  const TBlock& graphs = s.block(kGraphsBlock);
  const auto nothing = [&] {
    if (frame_always) DrawFrame(s, c, ToInt32(graphs.pp), ToInt32(graphs.Value));
  };
  if (s.TapeIndex < 2) return nothing();
  const PlotRange r = ShownPlotRange(s, zoom);
  const std::optional<PlotRows> rows = PlottedRows(s, r);
  const int32_t n_value = ToInt32(graphs.Value), n_time = ToInt32(graphs.pp);
  if (!rows) return nothing();
  const int32_t first = rows->first, last = rows->last;

  DrawFrame(s, c, n_time, n_value);
  const int64_t left = s.PlotLeft, top = s.PlotTop, width = s.PlotWidth, height = s.PlotHeight;
  const double sy = Quotient(static_cast<double>(height), r.Ymax - r.Ymin);
  const double st = Quotient(static_cast<double>(width), r.Tmax - r.Tmin);
  const int64_t bottom = top + height;
  for (int32_t m = 1; m <= s.TapeChannels; ++m) {
    if (m > static_cast<int32_t>(kChannelColours.size())) throw RangeError();
    c.pen = Pen{kChannelColours[static_cast<size_t>(m - 1)], 1, PenStyle::Solid};
    const auto x = [&](int32_t row) { return Px(left + Nearest((s.TapeCell(0, row) - r.Tmin) * st)); };
    const auto y = [&](int32_t row) { return Px(bottom - Nearest((s.TapeCell(m, row) - r.Ymin) * sy)); };
    c.MoveTo(x(first), y(first));
    for (int32_t row = first; row <= last; ++row) c.LineTo(x(row), y(row));
  }
}

}  // namespace

void DrawTimePlot(Sim& s, Canvas& c, const PlotZoom& zoom) { DrawPlot(s, c, zoom, false); }

void RedrawTimePlot(Sim& s, Canvas& c, const PlotZoom& zoom) { DrawPlot(s, c, zoom, true); }

}  // namespace trevolan

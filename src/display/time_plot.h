#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "display/canvas.h"
#include "model/sim.h"

namespace trevolan {

// A time range the user zoomed the plot to, shown in place of the Graphs block's; the
// view's own, never part of the model.
struct PlotZoom {
  bool on = false;
  double Tmin = 0, Tmax = 0;
};

// One label of the plot panel: where it stands (pixels of the panel), what it says and
// in which colours.
struct PlotLabel {
  PlotLabel(int32_t at_left = 0, int32_t at_top = 0) : left(at_left), top(at_top) {}
  int32_t left, top;
  std::string caption;
  Rgb colour = colour::kBlack;       // text
  Rgb background = colour::kSilver;  // the panel's own colour unless set
};

// The time-plot panel as a form: its layout and the texts and colours of its labels.
// GrPlotPnlPrep fills it from the model; the window copies it into its widgets, and
// the batch runner's image export paints it.
struct PlotPanelForm {
  // Set by the window from its panel before each GrPlotPnlPrep.
  int32_t PanelWidth = 870, PanelHeight = 450;
  // The plot box. It fits inside the panel: it keeps its left of 100 and a right margin
  // of 10, and the plot area inside it is the box's width - 110.
  int32_t BoxLeft = 100, BoxTop = 8, BoxWidth = 725, BoxHeight = 382;
  PlotLabel GrMinTLb{88, 400}, GrMaxTLb{760, 400};  // time at the left and right edge
  PlotLabel GrMaxYLb{40, 4}, GrMinYLb{44, 368};     // value at the top and bottom edge
  // The channel legend, channels 1..10 (the labels Label1, Label2, Label4..Label11).
  std::array<PlotLabel, 10> Legend{{{16, 44}, {16, 72}, {16, 100}, {16, 128}, {16, 156},
                                    {16, 188}, {16, 220}, {16, 252}, {16, 284}, {16, 320}}};
  PlotZoom Zoom;  // the time range shown, when zoomed
};

// The plot's axis range from the Graphs block (ID 19): each bound is the Value of the
// block on one of its connections plus the matching coefficient.
struct PlotRange {
  double Tmin, Tmax, Ymin, Ymax;
};
PlotRange GraphsRange(const Sim& s);
// The range the plot shows: the Graphs block's, with the zoom's time range in its
// place while it is on.
PlotRange ShownPlotRange(const Sim& s, const PlotZoom& zoom);

// The first and last tape rows the plot draws with range `r`; none when the plot draws
// no trace (too few rows, the range wholly outside the recording, a single row in it).
struct PlotRows {
  int32_t first, last;
};
std::optional<PlotRows> PlottedRows(const Sim& s, const PlotRange& r);

// Lays out the panel for its width (and sets the plot width) and writes the axis
// labels and the legend.
void GrPlotPnlPrep(Sim& s, PlotPanelForm& form);

// The recorded channels as polylines against time inside a frame with a dotted grid,
// when the plot is shown and the tape holds at least three rows. The window of time is
// the Graphs block's; only the rows inside it are drawn.
void DrawTimePlot(Sim& s, Canvas& c, const PlotZoom& zoom = {});
// The same on a cleared box, for a window that keeps no picture of its own: with nothing
// to draw it shows the empty frame and grid instead of the previous picture.
void RedrawTimePlot(Sim& s, Canvas& c, const PlotZoom& zoom = {});

}  // namespace trevolan

#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "display/canvas.h"
#include "display/time_plot.h"
#include "model/sim.h"

// Reading the time plot with the mouse: the tape row under a point of the plot box,
// and the zoom to a time range dragged across it. Points are pixels of the plot box.
namespace trevolan {

// One channel's value at the row read.
struct ChannelReading {
  std::string name;  // of the block recorded on the channel
  double value;
  Rgb colour;
};

// What the plot shows at one point: the drawn row nearest to it in time, drawn at x.
struct PlotReading {
  int32_t row;
  double time;
  int32_t x;
  std::vector<ChannelReading> channels;
};

// The time at x on the range shown with `zoom`; none when the range or the plot width
// is empty.
std::optional<double> PlotTimeAt(const Sim& s, const PlotZoom& zoom, int32_t x);

// The row the plot draws nearest to the time at x, with each channel's value in it;
// none when the plot draws no trace.
std::optional<PlotReading> ReadPlotAt(const Sim& s, const PlotZoom& zoom, int32_t x);

// The time and values of a reading as the plot's cursor shows them, one per line.
std::string ReadingText(const PlotReading& reading);

// The zoom to the time range between x0 and x1 of the plot shown with `zoom` (zoomed
// or not); none for a drag of fewer than kMinZoomDrag pixels, which zooms nothing.
// Back to the whole run is a zoom that is off.
inline constexpr int32_t kMinZoomDrag = 4;
std::optional<PlotZoom> ZoomedPlot(const Sim& s, const PlotZoom& zoom, int32_t x0, int32_t x1);

}  // namespace trevolan

#include "display/plot_reading.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "display/colours.h"
#include "display/pixels.h"
#include "display/time_plot.h"
#include "model/numbers.h"

namespace trevolan {

namespace {

// Pixels of the plot area per unit of time, as the traces are drawn; none for an
// empty range or width.
std::optional<double> TimeScale(const Sim& s, const PlotRange& r) {
  if (!(r.Tmax > r.Tmin) || s.PlotWidth <= 0) return std::nullopt;
  return static_cast<double>(s.PlotWidth) / (r.Tmax - r.Tmin);
}

}  // namespace

std::optional<double> PlotTimeAt(const Sim& s, const PlotZoom& zoom, int32_t x) {
  const PlotRange r = ShownPlotRange(s, zoom);
  const std::optional<double> st = TimeScale(s, r);
  if (!st) return std::nullopt;
  return r.Tmin + (x - s.PlotLeft) / *st;
}

std::optional<PlotReading> ReadPlotAt(const Sim& s, const PlotZoom& zoom, int32_t x) {
  const PlotRange r = ShownPlotRange(s, zoom);
  const std::optional<double> st = TimeScale(s, r);
  const std::optional<PlotRows> rows = PlottedRows(s, r);
  if (!st || !rows) return std::nullopt;
  const double t = r.Tmin + (x - s.PlotLeft) / *st;
  int32_t best = rows->first;
  for (int32_t row = rows->first; row <= rows->last; ++row) {
    if (std::abs(s.TapeCell(0, row) - t) < std::abs(s.TapeCell(0, best) - t)) best = row;
  }
  PlotReading reading{best, s.TapeCell(0, best), Px(s.PlotLeft + Nearest64((s.TapeCell(0, best) - r.Tmin) * *st)), {}};
  const int32_t channels = std::min<int32_t>(s.TapeChannels, static_cast<int32_t>(kChannelColours.size()));
  for (int32_t m = 1; m <= channels; ++m) {
    reading.channels.push_back({s.block(s.TapeChannelIDs[static_cast<size_t>(m)]).Name, s.TapeCell(m, best),
                                kChannelColours[static_cast<size_t>(m - 1)]});
  }
  return reading;
}

std::string ReadingText(const PlotReading& reading) {
  std::string text = "Time " + FormatGeneral(reading.time);
  for (const ChannelReading& c : reading.channels) text += "\n" + c.name + " " + FormatGeneral(c.value);
  return text;
}

std::optional<PlotZoom> ZoomedPlot(const Sim& s, const PlotZoom& zoom, int32_t x0, int32_t x1) {
  if (std::abs(int64_t{x1} - x0) < kMinZoomDrag) return std::nullopt;
  const std::optional<double> t0 = PlotTimeAt(s, zoom, std::min(x0, x1));
  const std::optional<double> t1 = PlotTimeAt(s, zoom, std::max(x0, x1));
  if (!t0 || !t1) return std::nullopt;
  return PlotZoom{true, *t0, *t1};
}

}  // namespace trevolan

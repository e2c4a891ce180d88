#include "cli/batch.h"
#include "cli/runner.h"
#include "commands/dialog_typing.h"
#ifndef TREVOLAN_NO_RENDER
#include "display/qt_render.h"
#endif

namespace trevolan::cli {

#ifdef TREVOLAN_NO_RENDER
namespace {

// A batch runner built without Qt knows the commands but has nothing to paint with.
[[noreturn]] void NoQt() { throw SimError("pictures need a trevolan-cli built with Qt 6 (qt6-base-dev, qt6-svg-dev)"); }
void WriteDiagramFile(const Sim&, const std::string&, double) { NoQt(); }
template <typename Panel>
void WritePlotFile(const Sim&, const Panel&, const std::string&) {
  NoQt();
}

}  // namespace
#endif

study::PictureWriter StudyPictureWriter() {
#ifdef TREVOLAN_NO_RENDER
  return study::WriteSvgPicture;
#else
  return [](const std::string& path, study::SweepPlotSize size, const std::function<void(Canvas&)>& paint) {
    WriteCanvasFile(path, size.width, size.height, paint);
  };
#endif
}

void AddDisplayCommands(Batch& b) {
  b.Add({"render-diagram", "FILE [SCALE]", "Writes the diagram as the window shows it now: PNG, SVG or PDF",
         "The format is chosen by the extension of FILE (.png, .svg, .pdf; any other is PNG). The image "
         "reaches from the top-left corner to 20 pixels past the last thing drawn, at most the "
         "1400 x 1000 pixels of the drawing area. A PNG is drawn SCALE times as large (1 to 4; 1 when "
         "not given), text and lines at that resolution, and marked as SCALE x 96 dots per inch (the "
         "user guide's pictures, sharp on screens of that pixel ratio). It needs no display: the batch "
         "runner paints on Qt's offscreen platform.",
         "render-diagram diagram.png 2"},
        [&b](const Command& c) {
          const double scale = c.size() > 2 ? commands::NumberArgument(c[2]) : 1.0;
          if (!(scale >= 1 && scale <= 4)) throw SimError("the scale must be from 1 to 4: " + c[2]);
          WriteDiagramFile(b.sim(), c[1], scale);
        });
  b.Add({"render-plot", "FILE", "Writes the time plot as the plot panel would show it: PNG, SVG or PDF",
         "The format is chosen by the extension of FILE (.png, .svg, .pdf; any other is PNG). The plot "
         "panel at its design size of 870 x 450 pixels, as if it were visible: the traces in the "
         "channel colours, the time and value ranges at the edges and the legend of the recorded blocks.",
         "render-plot plot.png"},
        [&b](const Command& c) { WritePlotFile(b.sim(), b.frontend().plot_panel(), c[1]); });
}

}  // namespace trevolan::cli

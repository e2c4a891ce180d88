#include "cli/batch.h"
#include "display/qt_render.h"

namespace trevolan::cli {

void AddDisplayCommands(Batch& b) {
  // The format by the file's extension: .png, .svg or .pdf.
  b.Add("render-diagram", 1, 1, [&b](const Command& c) { WriteDiagramFile(b.sim(), c[1]); });
  b.Add("render-plot", 1, 1, [&b](const Command& c) { WritePlotFile(b.sim(), b.frontend().plot_panel(), c[1]); });
}

}  // namespace trevolan::cli

#include "display/headless_frontend.h"

#include "display/diagram.h"

namespace trevolan {

void HeadlessFrontend::DrawBlock(int id) {
  if (model_) trevolan::DrawBlock(*model_, diagram_canvas_, id);
}

void HeadlessFrontend::DrawAllBlocks() {
  if (model_) trevolan::DrawAllBlocks(*model_, diagram_canvas_);
}

void HeadlessFrontend::RedrawDiagram() {
  if (model_) trevolan::RedrawDiagram(*model_, diagram_canvas_);
}

void HeadlessFrontend::GrPlotPnlPrep() {
  if (model_) trevolan::GrPlotPnlPrep(*model_, plot_panel_);
}

void HeadlessFrontend::DrawTimePlot() {
  if (model_) trevolan::DrawTimePlot(*model_, plot_canvas_);
}

// The window's repaint; the status line has nothing to compute.
void HeadlessFrontend::FormPaint() {
  RedrawDiagram();
  GrPlotPnlPrep();
  DrawTimePlot();
}

}  // namespace trevolan

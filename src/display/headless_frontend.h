#pragma once
#include "display/canvas.h"
#include "display/time_plot.h"
#include "model/frontend.h"
#include "model/sim.h"

namespace trevolan {

// A frontend without a window that draws as the window does, at the same moments, on
// canvases that paint nothing: what drawing computes (the plot's width, the panel's
// labels) and the errors it raises are then the same with and without a window. The
// batch runner and the Python module build on it.
class HeadlessFrontend : public Frontend {
 public:
  // Nothing is painted, so the drawing of blocks that can neither fail nor change the
  // model is left out (Sim::DrawingIsInert).
  HeadlessFrontend() : Frontend(true) {}
  bool MayHaveEdited() const override { return false; }  // no user to edit while it runs
  void DrawBlock(int id) override;
  void DrawAllBlocks() override;
  void RedrawDiagram() override;
  void GrPlotPnlPrep() override;
  void DrawTimePlot() override;
  void FormPaint() override;

  // The model that the drawing notifications draw.
  void Attach(Sim& model) { model_ = &model; }
  // The plot panel as the last GrPlotPnlPrep left it.
  PlotPanelForm& plot_panel() { return plot_panel_; }

 protected:
  Sim* model() const { return model_; }

 private:
  Sim* model_ = nullptr;
  NullCanvas diagram_canvas_, plot_canvas_;  // the window's two paint boxes
  PlotPanelForm plot_panel_;
};

}  // namespace trevolan

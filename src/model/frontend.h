#pragma once
#include <string>

namespace trevolan {

// What the core tells the window. Every call is a notification without result; the
// default does nothing, the batch runner prints messages, the window repaints, tests
// record.
class Frontend {
 public:
  // True for a frontend that draws on a canvas that paints nothing (the batch runner):
  // drawing then counts only for what it computes and the errors it raises, so the
  // core leaves out the drawing of single blocks where it can do neither
  // (Sim::DrawingIsInert).
  explicit Frontend(bool paints_nothing = false) : paints_nothing(paints_nothing) {}
  virtual ~Frontend() = default;
  const bool paints_nothing;

  virtual void ShowMessage(const std::string& /*text*/) {}  // the program's own modal warning
  virtual void ProcessMessages() {}                      // once per step of the run loop
  // Whether the user may have edited the model in the last ProcessMessages: the run
  // loop then forgets what it knew of the model. A frontend without a user says no.
  virtual bool MayHaveEdited() const { return true; }
  virtual void DrawBlock(int /*id*/) {}
  virtual void DrawAllBlocks() {}
  virtual void RedrawDiagram() {}
  virtual void GrPlotPnlPrep() {}
  virtual void DrawTimePlot() {}
  virtual void ShowStatus() {}
  virtual void FormPaint() {}
  virtual void RunCaptionChanged(const std::string& /*caption*/) {}
  virtual void TapeRowRecorded() {}                      // a row is in the tape at TapeIndex
};

}  // namespace trevolan

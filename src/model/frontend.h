#pragma once
#include <string>
#include <vector>

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
  // The warnings of one action that found many problems (a model file with a bad
  // number on many lines): the first few, then `more` ("and N more problems in FILE"),
  // empty when there are no more. By default each is a warning of its own; the window
  // shows them in one box, the batch runner says `more` on standard error.
  virtual void ShowProblems(const std::vector<std::string>& first, const std::string& more) {
    for (const std::string& text : first) ShowMessage(text);
    if (!more.empty()) ShowMessage(more);
  }
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

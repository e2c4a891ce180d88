#pragma once
#include <chrono>
#include <cstdint>

#include "model/frontend.h"

namespace trevolan {

class TForm1;

// What the core tells the window: messages become modal boxes, the drawing
// notifications paint on the pictures of the two paint boxes, the status and the run
// caption go to the control bar, and the run loop's call once per step lets the
// window handle what the user did.
class WindowFrontend : public Frontend {
 public:
  explicit WindowFrontend(TForm1& window) : window_(window) {}

  void ShowMessage(const std::string& text) override;
  void ProcessMessages() override;
  void DrawBlock(int id) override;
  void DrawAllBlocks() override;
  void RedrawDiagram() override;
  void GrPlotPnlPrep() override;
  void DrawTimePlot() override;
  void ShowStatus() override;
  void FormPaint() override;
  void RunCaptionChanged(const std::string& caption) override;

  // How often the run loop hands control to the window's events while it runs.
  static constexpr std::chrono::milliseconds kEventInterval{5};

 private:
  using Clock = std::chrono::steady_clock;

  TForm1& window_;
  // The clock is read only every `stride_` steps; the stride adapts so that it is
  // read about every half millisecond, however long a step takes.
  uint32_t countdown_ = 1, stride_ = 1;
  Clock::time_point last_check_{}, last_events_{};
};

}  // namespace trevolan

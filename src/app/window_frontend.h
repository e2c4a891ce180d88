#pragma once
#include <chrono>
#include <cstdint>

#include "display/canvas.h"
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
  // All in one box: a file with a problem on each of 100,000 lines is one Return.
  void ShowProblems(const std::vector<std::string>& first, const std::string& more) override;
  void ProcessMessages() override;
  bool MayHaveEdited() const override { return handled_events_; }
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

  // Held while a model file is read (File Open, the model named at start-up). The
  // reader asks for all blocks to be drawn after every block line, which painted would
  // cost seconds for a large model, and nothing of it is seen before the reading ends:
  // the window then computes what those drawings compute, on a canvas that paints
  // nothing, and paints once, at the full repaint that follows the reading or, when
  // the reading stopped early, at the end.
  class ModelReading {
   public:
    explicit ModelReading(WindowFrontend& f) : f_(f) { ++f_.reading_; }
    ~ModelReading() {
      if (--f_.reading_ == 0) f_.PaintLeftOutBlocks();
    }
    ModelReading(const ModelReading&) = delete;
    ModelReading& operator=(const ModelReading&) = delete;

   private:
    WindowFrontend& f_;
  };

 private:
  using Clock = std::chrono::steady_clock;

  // The blocks as the last drawing left out while reading would have painted them,
  // leaving the model as that drawing left it.
  void PaintLeftOutBlocks();

  TForm1& window_;
  int reading_ = 0;
  bool blocks_left_out_ = false;  // a drawing of all blocks is owed to the picture
  NullCanvas reading_canvas_;
  // The clock is read only every `stride_` steps; the stride adapts so that it is
  // read about every half millisecond, however long a step takes.
  uint32_t countdown_ = 1, stride_ = 1;
  Clock::time_point last_check_{}, last_events_{};
  bool handled_events_ = true;  // by the last ProcessMessages: the user may have edited
};

}  // namespace trevolan

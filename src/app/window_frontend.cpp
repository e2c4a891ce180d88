#include "app/window_frontend.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>
#include <string>
#include <vector>

#include "app/cpu_state.h"
#include "app/main_window.h"
#include "app/paint_box.h"
#include "app/widgets.h"
#include "display/diagram.h"
#include "display/time_plot.h"

namespace trevolan {

namespace {

using std::chrono::microseconds;
constexpr uint32_t kMaxStride = 4096;
constexpr microseconds kCheckInterval{500};

}  // namespace

void WindowFrontend::ShowMessage(const std::string& text) {
  PaintLeftOutBlocks();  // the box lets the picture be shown
  QMessageBox box(QMessageBox::Information, QApplication::applicationName(), Q(text), QMessageBox::Ok, &window_);
  box.exec();
  ClearAvxUpperState();
}

void WindowFrontend::ShowProblems(const std::vector<std::string>& first, const std::string& more) {
  std::string text;
  for (const std::string& line : first) text += (text.empty() ? "" : "\n") + line;
  if (!more.empty()) text += "\n" + more;
  ShowMessage(text);
}

// Once per step of a run. Handling the window's events costs about as much as a step
// of a hundred blocks even when nothing is pending, so while the model runs they are
// handled every few milliseconds, which still runs every user action between two
// steps; at a hold, which ends the loop, always.
void WindowFrontend::ProcessMessages() {
  handled_events_ = false;
  if (!window_.sim().HoldFlag) {
    if (--countdown_ != 0) return;
    const Clock::time_point now = Clock::now();
    const auto since_check = now - last_check_;
    last_check_ = now;
    if (since_check > kCheckInterval * 64) {
      stride_ = 1;  // a new run, perhaps of a slower model, or a long pause: start over
    } else if (since_check < kCheckInterval / 2 && stride_ < kMaxStride) {
      stride_ *= 2;
    } else if (since_check > kCheckInterval * 2 && stride_ > 1) {
      stride_ /= 2;
    }
    countdown_ = stride_;
    if (now - last_events_ < kEventInterval) return;
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  handled_events_ = true;
  ClearAvxUpperState();
  last_events_ = last_check_ = Clock::now();
}

void WindowFrontend::DrawBlock(int id) {
  trevolan::DrawBlock(window_.sim(), window_.diagram_box()->surface().Begin(), id);
  ClearAvxUpperState();  // compute procedures draw their block and go on computing
}

void WindowFrontend::DrawAllBlocks() {
  if (reading_ > 0) {
    trevolan::DrawAllBlocks(window_.sim(), reading_canvas_);
    blocks_left_out_ = true;
    return;
  }
  trevolan::DrawAllBlocks(window_.sim(), window_.diagram_box()->surface().Begin());
  ClearAvxUpperState();
}

void WindowFrontend::PaintLeftOutBlocks() {
  if (!blocks_left_out_) return;
  blocks_left_out_ = false;
  // What the drawing computed was computed when it was asked for: the Visualizers'
  // fields are put back as they were, and an error it raises now was reported then.
  Sim& s = window_.sim();
  const PaintedFields computed(s);
  try {
    trevolan::DrawAllBlocks(s, window_.diagram_box()->surface().Begin());
  } catch (const std::exception&) {
  }
  computed.Restore(s);
  ClearAvxUpperState();
}

void WindowFrontend::RedrawDiagram() {
  blocks_left_out_ = false;  // the picture is cleared and drawn anew
  trevolan::RedrawDiagram(window_.sim(), window_.diagram_box()->surface().Begin());
  ClearAvxUpperState();
}

void WindowFrontend::GrPlotPnlPrep() {
  PlotPanelForm& form = window_.plot_panel();
  form.PanelWidth = window_.PlotPanelWidth();
  trevolan::GrPlotPnlPrep(window_.sim(), form);
  window_.ShowPlotPanel();
  ClearAvxUpperState();
}

void WindowFrontend::DrawTimePlot() {
  Sim& s = window_.sim();
  if (!s.PlotFlag) return;  // nothing is drawn on a hidden panel
  // The whole picture from the tape at every call: after another model, a reset or a
  // shorter tape no trace of the old one stays.
  Surface& plot = window_.plot_box()->surface();
  plot.Clear();
  RedrawTimePlot(s, plot.Begin(), window_.plot_panel().Zoom);
  ClearAvxUpperState();
}

void WindowFrontend::ShowStatus() {
  window_.main_form().ShowStatus(window_.sim());
  window_.ShowStatusTexts();
  ClearAvxUpperState();
}

void WindowFrontend::FormPaint() {
  window_.SyncWidgets();  // the plot panel shown or hidden before it is laid out
  RedrawDiagram();
  GrPlotPnlPrep();
  DrawTimePlot();
  ShowStatus();
}

void WindowFrontend::RunCaptionChanged(const std::string& caption) {
  window_.main_form().RunCaptionChanged(caption);
  window_.ShowRunCaption();
  ClearAvxUpperState();
}

}  // namespace trevolan

#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "display/colours.h"
#include "editing/form_fields.h"
#include "model/sim.h"

// The main window as a form: the texts of its control bar and status display, the
// check mark of its View menu, and what its buttons, menu items and the mouse on the
// diagram do. The window copies these texts into its widgets and hands the form the
// mouse buttons and the files chosen in its dialogs; dialogs it opens are callbacks,
// run at the moment the window would show them.
namespace trevolan {

// The mouse buttons as the window tells them apart: Middle stands for any button but
// the left and the right one.
enum class MouseButton : uint8_t { Left, Right, Middle };

// The two texts of the status display.
struct StatusText {
  int64_t ClockSeconds = 0;
  std::string DayClock;  // "d::h:m:s ", simulated time read as seconds
  std::string TimeLb;    // "Time " and Time in 10 characters, or "ID Nos. displayed"
  bool TimeLbChanged = false;  // false for a NumberMode outside 0..3: the label keeps its text
};

// The status display for the state as it stands. FloatError when Time is a NaN or
// beyond the 64-bit range of the clock.
StatusText StatusTexts(const Sim& s);

using Callback = std::function<void()>;

struct MainForm {
  MainForm();

  // The control bar, in its order.
  ButtonField RunBtn, StepBtn;
  LabelField TickPnl, TimeLb;
  ButtonField ResetBtn;
  LabelField ClockPnl, DayClock;
  ButtonField NumbersBtn, AnimBtn, GridBtn, GraphBtn, Button1;
  // The Anim? caption is at first drawn in the button face, and so unseen, until the
  // button is first used.
  Rgb AnimBtnFont = colour::kButtonFace;

  bool TimePlotChecked = false;  // the check mark of View, "Time Plot"
  bool activated = false;        // the start-up has run

  // The first activation: hides the plot, loads the model named by a single
  // command-line argument, and paints. Later activations do nothing.
  void FormActivate(Sim& s, const std::vector<std::string>& args);

  // The status display: the day clock and the time label, and the clock seconds.
  void ShowStatus(Sim& s);

  // RUN/HOLD and STEP change the run caption; the control bar follows it.
  void RunCaptionChanged(const std::string& caption) { RunBtn.caption = caption; }

  // Number: the left button steps NumberMode 0, 1, 2, 3, 0; the right one opens the
  // number display dialog. Then the window repaints.
  void NumbersBtnMouseUp(Sim& s, MouseButton button, const Callback& show_number_dialog);
  // Anim?: animation on or off, the caption and its colour telling which; then the
  // diagram and the plot are redrawn.
  void AnimBtnClick(Sim& s);
  // Grid?: the grid off, or on with the block IDs on the number lines.
  void GridBtnClick(Sim& s);
  // Graph?: the left button shows or hides the plot panel; the right one opens the
  // block dialog on the Graphs block (19).
  void GraphBtnMouseUp(Sim& s, MouseButton button, const Callback& show_block_dialog);
  // Excel Link: the left button shows or hides the link window; the right one opens
  // the block dialog on the user block (20).
  void Button1MouseUp(Sim& s, MouseButton button, const Callback& toggle_link_window,
                      const Callback& show_block_dialog);
  // View, "Time Plot": the check mark, the plot panel and PlotFlag together.
  void TimePlotClick(Sim& s);

  // A Create menu item: the new block at the last click, and the block dialog on it
  // ("&P not assigned" does nothing).
  void CreateItemClick(Sim& s, BlockType type, const Callback& show_block_dialog);

  // File, Open / Save Model As / Save Tape as, with the file chosen in the dialog, or
  // nothing when it was cancelled.
  void OpenClick(Sim& s, const std::optional<std::string>& path);
  void SaveAsClick(Sim& s, const std::optional<std::string>& path);
  void SaveTapeAsClick(Sim& s, const std::optional<std::string>& path);

  // The mouse on the diagram. Down picks the block under the point; up toggles it
  // (left click), opens the block dialog on it (right click) or moves it (a drag), and
  // always records the point as the place of the next new block.
  void GraphBxMouseDown(Sim& s, int32_t x, int32_t y);
  // Whether the button going up at (x, y) ends a click (within one pixel of where it
  // went down) rather than a drag.
  static bool IsClick(const Sim& s, int32_t x, int32_t y);
  void GraphBxMouseUp(Sim& s, MouseButton button, int32_t x, int32_t y, const Callback& show_block_dialog);
};

}  // namespace trevolan

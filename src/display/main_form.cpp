#include "display/main_form.h"

#include <cstdlib>

#include "display/diagram.h"
#include "display/pixels.h"
#include "editing/new_block.h"
#include "editing/toggle.h"
#include "model/file_commands.h"
#include "model/numbers.h"

namespace trevolan {

namespace {


}  // namespace

StatusText StatusTexts(const Sim& s) {
  StatusText t;
  t.ClockSeconds = Nearest64(s.Time);
  int64_t h = t.ClockSeconds / 3600;
  int64_t sec = t.ClockSeconds - 3600 * h;
  const int64_t m = sec / 60;
  sec -= 60 * m;
  const int64_t d = h / 24;
  h %= 24;
  t.DayClock = std::to_string(d) + "::" + std::to_string(h) + ":" + std::to_string(m) + ":" + std::to_string(sec) + " ";
  switch (s.NumberMode) {
    case 0:
    case 2:
    case 3:
      t.TimeLb = "Time " + FormatFixed(s.Time, 4, 10) + " ";
      t.TimeLbChanged = true;
      break;
    case 1:
      t.TimeLb = "ID Nos. displayed";
      t.TimeLbChanged = true;
      break;
    default: break;
  }
  return t;
}

MainForm::MainForm()
    : RunBtn{"RUN", "Run or Hold Simulation"},
      StepBtn{"STEP", "Step one Delta Time"},
      TickPnl{"", "Simulated Time"},
      TimeLb{"Time", "Simulated Time during run"},
      ResetBtn{"RESET", "Reset to INITIAL conditions"},
      ClockPnl{"", "Set up Timing Parameters"},
      DayClock{"Clock ", "Time of Day clock"},
      NumbersBtn{"Number", "Display Block IDs or values or nothing"},
      AnimBtn{"Anim?", "Animation on or off while running"},
      GridBtn{"Grid?", "Display or hide grid (with IDs)"},
      GraphBtn{"Graph?", "Show or hide oscilloscope graph"},
      Button1{"Excel Link", "Connection to Excel "} {}

void MainForm::FormActivate(Sim& s, const std::vector<std::string>& args) {
  if (activated) return;
  activated = true;
  s.PlotFlag = false;
  if (args.size() == 1) StartupLoad(s, args.front());
  s.NotifyFormPaint();
}

void MainForm::ShowStatus(Sim& s) {
  const StatusText t = StatusTexts(s);
  s.ClockSeconds = t.ClockSeconds;
  DayClock.caption = t.DayClock;
  if (t.TimeLbChanged) {
    TimeLb.caption = t.TimeLb;
    TimeLb.visible = true;
  }
}

void MainForm::NumbersBtnMouseUp(Sim& s, MouseButton button, const Callback& show_number_dialog) {
  if (button == MouseButton::Left) {
    s.NumberMode += 1;
    if (s.NumberMode > 3) s.NumberMode = 0;
  } else if (button == MouseButton::Right) {
    if (show_number_dialog) show_number_dialog();
  }
  s.NotifyFormPaint();
}

void MainForm::AnimBtnClick(Sim& s) {
  s.AnimFlag = !s.AnimFlag;
  if (s.AnimFlag) {
    AnimBtn.caption = "anim?";
    AnimBtnFont = colour::kRed;
  } else {
    AnimBtn.caption = "Anim?";
    AnimBtnFont = colour::kBlack;
  }
  s.NotifyRedrawDiagram();
  s.NotifyGrPlotPnlPrep();
  s.NotifyDrawTimePlot();
}

void MainForm::GridBtnClick(Sim& s) {
  if (s.GridFlag) {
    s.GridFlag = false;
  } else {
    s.GridFlag = true;
    s.NumberMode = 1;
  }
  s.NotifyFormPaint();
}

void MainForm::GraphBtnMouseUp(Sim& s, MouseButton button, const Callback& show_block_dialog) {
  if (button == MouseButton::Left) {
    s.PlotFlag = !s.PlotFlag;  // the panel is shown exactly while PlotFlag is set
  } else if (button == MouseButton::Right) {
    s.PickedBlock = kGraphsBlock;
    if (show_block_dialog) show_block_dialog();
  }
  s.NotifyFormPaint();
}

void MainForm::Button1MouseUp(Sim& s, MouseButton button, const Callback& toggle_link_window,
                              const Callback& show_block_dialog) {
  if (button == MouseButton::Left) {
    if (toggle_link_window) toggle_link_window();
  } else if (button == MouseButton::Right) {
    s.PickedBlock = kUserBlock;
    if (show_block_dialog) show_block_dialog();
  }
  s.NotifyFormPaint();
}

void MainForm::TimePlotClick(Sim& s) {
  TimePlotChecked = !TimePlotChecked;
  s.PlotFlag = TimePlotChecked;
}

void MainForm::CreateItemClick(Sim& s, BlockType type, const Callback& show_block_dialog) {
  if (type == BlockType::Pid) return;  // "&P not assigned"
  s.PickedBlock = CreateBlockFromMenu(s, type);
  if (show_block_dialog) show_block_dialog();
}

void MainForm::OpenClick(Sim& s, const std::optional<std::string>& path) {
  if (!path) {
    s.NotifyFormPaint();
    return;
  }
  FileOpen(s, *path);
}

void MainForm::SaveAsClick(Sim& s, const std::optional<std::string>& path) {
  if (path) FileSaveAs(s, *path);
}

void MainForm::SaveTapeAsClick(Sim& s, const std::optional<std::string>& path) {
  if (path) FileSaveTapeAs(s, *path);
}

void MainForm::GraphBxMouseDown(Sim& s, int32_t x, int32_t y) {
  const int32_t id = BlockAtPoint(s, x, y);
  s.PickedBlock = id == -1 ? 0 : id;
  s.LastX = x;
  s.LastY = y;
}

bool MainForm::IsClick(const Sim& s, int32_t x, int32_t y) {
  return std::llabs(int64_t{s.LastX} - x) < 2 && std::llabs(int64_t{s.LastY} - y) < 2;
}

void MainForm::GraphBxMouseUp(Sim& s, MouseButton button, int32_t x, int32_t y, const Callback& show_block_dialog) {
  if (s.PickedBlock > 0) {
    if (!IsClick(s, x, y)) {
      TBlock& b = s.block(s.PickedBlock);
      b.XX = x;
      b.YY = y;
    } else if (button == MouseButton::Left) {
      ToggleBlock(s, s.PickedBlock);
    } else if (button == MouseButton::Right) {
      if (show_block_dialog) show_block_dialog();
    }
  }
  s.PickedBlock = 0;
  s.LastX = x;
  s.LastY = y;
  s.NotifyFormPaint();
}

}  // namespace trevolan

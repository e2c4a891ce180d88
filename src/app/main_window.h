#pragma once
#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QMainWindow>

#include "app/event_guard.h"
#include "app/user_link_window.h"
#include "app/window_frontend.h"
#include "display/main_form.h"
#include "display/time_plot.h"
#include "model/sim.h"

class QAction;
class QLabel;
class QPushButton;
class QScrollArea;

namespace trevolan {

class BlockDialog;
class CopyDialog;
class InsertDialog;
class MouseUpButton;
class NumberDialog;
class PaintBox;
class Panel;
class THelpFm;
class TimingDialog;

// The application-wide settings of the window: its title, the one font of the
// program, and tooltips that come up after 100 ms. Made once, before the window.
void PrepareApplication();

// The main window (TForm1): the diagram in a scroll box, the time-plot panel docked
// above the blue control bar, the menus, and every dialog. It holds the model; each
// of its handlers runs inside the event guard and only copies texts and calls the core.
class TForm1 : public QMainWindow {
 public:
  struct Options {
    std::vector<std::string> args;  // the command-line arguments after the program's name
    // The workbook a linked file is loaded into; by default LibreOffice Calc, without
    // a window when there is no display.
    UserLinkWindow::WorkbookFactory make_workbook;
  };

  explicit TForm1(Options options);
  ~TForm1() override;

  Sim& sim() { return *sim_; }
  MainForm& main_form() { return form_; }
  EventGuard& guard() { return guard_; }
  WindowFrontend& frontend() { return frontend_; }

  // Replaces the model by one built elsewhere (benchmarks and tests); only while held.
  void AdoptModel(std::unique_ptr<Sim> model);

  // The handlers, each run inside the event guard.
  void FormActivate();
  void RunBtnClick();
  void StepBtnClick();
  void ResetBtnClick();
  void ShowTiming();
  void NumbersBtnMouseUp(MouseButton button);
  void AnimBtnClick();
  void GridBtnClick();
  void GraphBtnMouseUp(MouseButton button);
  void Button1MouseUp(MouseButton button);
  void GraphBxMouseDown(MouseButton button, QPoint at);
  void GraphBxMouseUp(MouseButton button, QPoint at);

  // The whole picture of both paint boxes drawn anew (the paint event of either box):
  // diagram, plot panel, time plot.
  void GraphBxPaint();

  // What the frontend paints on and shows in.
  PaintBox* diagram_box() { return GraphBx; }
  PaintBox* plot_box() { return GrPlotBx; }
  PlotPanelForm& plot_panel() { return plot_form_; }
  int PlotPanelWidth() const;
  // The plot panel's labels and box after GrPlotPnlPrep.
  void ShowPlotPanel();
  // The status display, the run caption, the Anim? caption, the window caption, the
  // plot panel and the check mark of the menu, as the state stands.
  void SyncWidgets();
  // The parts of it that change while the model runs.
  void ShowStatusTexts();
  void ShowRunCaption();

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildControlBar();
  void BuildPlotPanel();
  void ShowBlockDialog();
  // Runs a handler in the guard, with the main window as the parent of its boxes.
  void Handle(const EventGuard::Handler& handler) { guard_.Run(this, handler); }

  Options options_;
  std::unique_ptr<Sim> sim_;
  WindowFrontend frontend_;
  EventGuard guard_;
  MainForm form_;
  PlotPanelForm plot_form_;

  // The client area, top to bottom.
  QScrollArea* GraphScrBx = nullptr;
  PaintBox* GraphBx = nullptr;
  Panel* GrPlotPnl = nullptr;
  PaintBox* GrPlotBx = nullptr;
  QLabel *GrMinTLb = nullptr, *GrMaxTLb = nullptr, *GrMinYLb = nullptr, *GrMaxYLb = nullptr;
  std::array<QLabel*, 10> Legend{};  // Label1, Label2, Label4 .. Label11
  QLabel *dataLb = nullptr, *saveLb = nullptr;
  QWidget* SimControl = nullptr;
  QPushButton *RunBtn = nullptr, *StepBtn = nullptr, *ResetBtn = nullptr;
  Panel *TickPnl = nullptr, *ClockPnl = nullptr;
  QLabel *TimeLb = nullptr, *DayClock = nullptr;
  MouseUpButton *NumbersBtn = nullptr, *GraphBtn = nullptr, *Button1 = nullptr;
  QPushButton *AnimBtn = nullptr, *GridBtn = nullptr;
  QAction* TimePlotItem = nullptr;

  // The dialogs, made in the program's order after the main window.
  TimingDialog* TimingFm = nullptr;
  BlockDialog* BlockFm = nullptr;
  NumberDialog* NumberDatFm = nullptr;
  UserLinkWindow* User1 = nullptr;
  THelpFm* HelpFm = nullptr;
  InsertDialog* InsertFm = nullptr;
  CopyDialog* CopyFm = nullptr;
};

}  // namespace trevolan

#pragma once
#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QMainWindow>

#include "app/event_guard.h"
#include "app/user_link_window.h"
#include "app/window_frontend.h"
#include "display/main_form.h"
#include "display/time_plot.h"
#include "editing/undo.h"
#include "model/document.h"
#include "model/sim.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QScrollArea;
class QSplitter;
class QTimer;

namespace trevolan {

class BlockDialog;
class BlockFinder;
class CopyDialog;
class DiagramSelection;
class DiagramZoom;
class ModelHistory;
class RecentFiles;
class RecoveryFiles;
class InsertDialog;
class MouseUpButton;
class NumberDialog;
class PaintBox;
class PaletteDock;
class Panel;
class THelpFm;
class UserGuide;
class TimingDialog;

// The status line of a model's first RUN when it was loaded and never reset.
inline constexpr const char* kFirstRunHint = "Press RESET to start from the model's initial values";

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
    // The folder of the recovery copies (empty: the user's state folder), and how
    // often at most a copy is written while the model has unsaved changes.
    std::string recovery_folder;
    std::chrono::milliseconds recovery_interval{60000};
  };

  explicit TForm1(Options options);
  ~TForm1() override;

  Sim& sim() { return *sim_; }
  MainForm& main_form() { return form_; }
  EventGuard& guard() { return guard_; }
  WindowFrontend& frontend() { return frontend_; }

  // Replaces the model by one built elsewhere (benchmarks and tests); only while held.
  void AdoptModel(std::unique_ptr<Sim> model);

  // The model's file state, its undo history and its recovery copies.
  const Document& document() const { return document_; }
  ModelHistory& history() { return *history_; }
  RecoveryFiles& recovery() { return *recovery_; }
  DiagramZoom& zoom() { return *zoom_; }
  DiagramSelection& selection() { return *selection_; }
  // The window's size and position and the plot panel's height from the user's
  // settings; false when none were kept.
  bool RestoreWindowSettings();
  // Writes the recovery copy now when the model has changes it lacks.
  void WriteRecoveryCopy();
  // Offers the recovery copies of sessions that ended without closing (the window
  // does this once after its start-up).
  void OfferRecovery();
  // A model file opened as File, Open does, after the question about unsaved changes
  // (a dropped or recent file).
  void OpenModelFile(const std::string& path);

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
  // Over a block the cursor points and a tooltip names it; a drag shows an outline.
  void GraphBxMouseMove(Qt::MouseButtons buttons, QPoint at);
  // The user guide at a section (empty: its top).
  void ShowGuide(const QString& anchor);

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
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  using Namer = std::function<std::string(const ModelChange&)>;

  void BuildMenus();
  void BuildFileMenu(QMenu* file);
  void BuildControlBar();
  // RUN/HOLD, STEP and RESET as keys and a tool bar.
  void BuildRunToolBar();
  void BuildPlotPanel();
  void ShowBlockDialog();
  // Runs a handler in the guard, with the main window as the parent of its boxes.
  void Handle(const EventGuard::Handler& handler) { guard_.Run(this, handler); }
  // Runs a handler that may edit the model; what it changed goes into the undo
  // history under the name `name` gives it.
  void Edit(const EventGuard::Handler& handler, const Namer& name);
  // Runs an undo or a redo: a run is held first, and the window repaints after.
  void ApplyHistory(const std::function<void(Sim&)>& step);
  void HistoryChanged();
  // "Apply to block N" or "Delete block N" for the block dialog's edit, N as typed in
  // its ID field.
  std::string BlockDialogChangeName(const ModelChange& change, int64_t opened_on);

  // The file flows (main_window_file.cpp). Each returns whether it went through.
  bool AskToSaveChanges();
  bool SaveModelFile();
  bool SaveModelFileAs();
  void NewClick();
  void OpenClick(std::optional<std::string> path);
  void ModelLoaded(bool with_save_file);
  void ModelWritten();
  void ExportDiagram();
  void ExportPlot();
  void ExportTapeCsv();
  // The status line after an export that went through (a chosen `path`).
  void Exported(const std::optional<std::string>& path);
  // The file Save Model writes, in full.
  std::string SaveTarget() const;
  void CheckRecoveryCopy();
  void EndBySignal(int signo);
  void SaveWindowSettings();
  // True with the answer Yes of a box asking a question.
  bool Ask(const std::string& text, const char* name);

  Options options_;
  std::unique_ptr<Sim> sim_;
  WindowFrontend frontend_;
  EventGuard guard_;
  MainForm form_;
  PlotPanelForm plot_form_;
  Document document_;
  ModelHistory* history_ = nullptr;
  std::unique_ptr<RecoveryFiles> recovery_;
  QTimer* recovery_timer_ = nullptr;
  bool keep_recovery_ = false;  // the program ends by a signal: the copy stays for the next start
  bool recovery_offered_ = false;
  int32_t highest_before_edit_ = 0;  // HighestBlock when the edit began, for its name
  RecentFiles* recent_ = nullptr;
  DiagramZoom* zoom_ = nullptr;
  DiagramSelection* selection_ = nullptr;  // the selection and the gestures that wire and select
  BlockFinder* finder_ = nullptr;  // Find Block, Ctrl+F
  PaletteDock* palette_ = nullptr;

  // The client area, top to bottom; the splitter lets the plot panel's height change.
  QSplitter* splitter_ = nullptr;
  int plot_height_ = 450;  // of the plot panel while it is shown; its design height at first
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
  QAction* RunItem = nullptr;  // the tool bar's RUN/HOLD
  QAction* SaveModelItem = nullptr;  // its status tip names the file it writes

  // The dialogs, made in the program's order after the main window.
  TimingDialog* TimingFm = nullptr;
  BlockDialog* BlockFm = nullptr;
  NumberDialog* NumberDatFm = nullptr;
  UserLinkWindow* User1 = nullptr;
  THelpFm* HelpFm = nullptr;
  UserGuide* guide_ = nullptr;  // made when first asked for
  InsertDialog* InsertFm = nullptr;
  CopyDialog* CopyFm = nullptr;
};

}  // namespace trevolan

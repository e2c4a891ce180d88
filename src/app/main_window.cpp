#include "app/main_window.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <QVBoxLayout>

#include "app/block_dialog.h"
#include "app/block_finder.h"
#include "app/copy_dialog.h"
#include "app/data_folders.h"
#include "app/diagram_pan.h"
#include "app/diagram_selection.h"
#include "app/diagram_zoom.h"
#include "app/file_dialogs.h"
#include "app/help_dialog.h"
#include "app/insert_dialog.h"
#include "app/model_history.h"
#include "app/number_dialog.h"
#include "app/paint_box.h"
#include "app/palette_dock.h"
#include "app/plot_cursor.h"
#include "app/recent_files.h"
#include "app/recovery.h"
#include "app/timing_dialog.h"
#include "app/user_guide.h"
#include "app/widgets.h"
#include "model/catalogue.h"
#include "display/diagram.h"
#include "display/qt_canvas.h"
#include "display/zoom.h"
#include "engine/run_loop.h"
#include "link/calc_workbook.h"
#include "model/fields.h"
#include "model/file_commands.h"
#include "model/model_file.h"
#include "model/numbers.h"

namespace trevolan {

namespace {

constexpr QSize kDiagramSize{1400, 1000};
constexpr int kMinPlotPanelHeight = 120;
constexpr int kRecoveryCheckMs = 1000;
constexpr int kControlBarHeight = 41;

// Tooltips come up after 100 ms.
class QuickTipStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == QStyle::SH_ToolTip_WakeUpDelay) return 100;
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
};

// A block ID as typed into a dialog's field, or `otherwise` when the text is none.
int64_t TypedId(const std::string& text, int64_t otherwise) {
  const std::optional<double> typed = ParseFileNumber(text);
  return typed && *typed >= 0 && *typed <= kMaxBlockID ? static_cast<int64_t>(*typed) : otherwise;
}

// Without a display (the offscreen platform) the spreadsheet runs without a window.
bool Headless() {
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

}  // namespace

void PrepareApplication() {
  // The user's settings and state folders are named after these.
  QApplication::setOrganizationName(QStringLiteral("Trevolan"));
  QApplication::setApplicationName(QStringLiteral("Trevolan4"));
  // The desktop entry and its icon, so that the window matches its menu entry.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.trevolan.trevolan"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("trevolan"), QIcon(QStringLiteral(":/trevolan.svg"))));
  QApplication::setStyle(new QuickTipStyle);
  QApplication::setFont(DiagramFont(FontStyle::Regular));
}

TForm1::TForm1(Options options) : options_(std::move(options)), sim_(std::make_unique<Sim>()), frontend_(*this) {
  sim_->frontend = &frontend_;
  if (!options_.make_workbook) {
    const bool headless = Headless();
    options_.make_workbook = [headless] { return std::make_shared<CalcWorkbook>(headless); };
  }
  setObjectName(QStringLiteral("Form1"));
  SetBackground(this, Qt::white);

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  GraphScrBx = new QScrollArea(central);
  GraphScrBx->setObjectName(QStringLiteral("GraphScrBx"));
  GraphScrBx->setFrameShape(QFrame::NoFrame);
  SetBackground(GraphScrBx->viewport(), Qt::white);
  GraphBx = new PaintBox(nullptr, kDiagramSize);
  GraphBx->setObjectName(QStringLiteral("GraphBx"));
  GraphBx->setFixedSize(kDiagramSize);
  GraphScrBx->setWidget(GraphBx);
  GraphBx->on_press = [this](MouseButton b, QPoint at) { GraphBxMouseDown(b, at); };
  GraphBx->on_release = [this](MouseButton b, QPoint at) { GraphBxMouseUp(b, at); };
  GraphBx->on_move = [this](Qt::MouseButtons buttons, QPoint at) { GraphBxMouseMove(buttons, at); };
  GraphBx->setMouseTracking(true);
  GraphBx->on_stale = [this] { guard_.Repaint(this, [this] { GraphBxPaint(); }); };
  zoom_ = new DiagramZoom(GraphScrBx, GraphBx, kDiagramSize, [this] {
    const Extent e = BlocksExtent(*sim_);
    return QSize(e.width, e.height);
  });
  selection_ = new DiagramSelection(
      this, GraphBx, [this]() -> Sim& { return *sim_; },
      [this](const EventGuard::Handler& handler, const Namer& name) { Edit(handler, name); },
      [this](const QString& text) { statusBar()->showMessage(text, 8000); });
  zoom_->on_zoom = [this](double z) {
    statusBar()->showMessage(QStringLiteral("Zoom %1 %").arg(qRound(z * 100)), 3000);
  };
  new DiagramPan(GraphScrBx, GraphBx);
  finder_ = new BlockFinder(GraphScrBx, GraphBx, [this]() -> const Sim& { return *sim_; });

  splitter_ = new QSplitter(Qt::Vertical, central);
  splitter_->setObjectName(QStringLiteral("PlotSplitter"));
  splitter_->setChildrenCollapsible(false);
  splitter_->addWidget(GraphScrBx);
  BuildPlotPanel();
  new PlotCursor(*this);
  splitter_->addWidget(GrPlotPnl);
  splitter_->setStretchFactor(0, 1);
  splitter_->setStretchFactor(1, 0);
  connect(splitter_, &QSplitter::splitterMoved, this, [this] {
    if (!GrPlotPnl->isHidden()) plot_height_ = GrPlotPnl->height();
  });
  layout->addWidget(splitter_, 1);
  BuildControlBar();
  layout->addWidget(SimControl);
  setCentralWidget(central);
  setMinimumWidth(SimControl->minimumSizeHint().width());  // every caption of the bar readable

  TimingFm = new TimingDialog(this, guard_);
  BlockFm = new BlockDialog(this, guard_);
  NumberDatFm = new NumberDialog(this, guard_);
  User1 = new UserLinkWindow(this, guard_, [this]() -> Sim& { return *sim_; }, options_.make_workbook);
  HelpFm = new THelpFm(this, [this] { ShowGuide(QString()); });
  // F1 anywhere in the window opens the user guide; in the block dialog, at its type.
  auto* guide = new QAction(QStringLiteral("User Guide"), this);
  guide->setObjectName(QStringLiteral("UserGuideItem"));
  guide->setShortcut(QKeySequence::HelpContents);
  connect(guide, &QAction::triggered, this, [this] { ShowGuide(QString()); });
  addAction(guide);
  BlockFm->on_help = [this](BlockType type) { ShowGuide(TypeAnchor(type)); };
  InsertFm = new InsertDialog(this, guard_);
  CopyFm = new CopyDialog(this, guard_);

  palette_ = new PaletteDock(*this);
  addDockWidget(Qt::LeftDockWidgetArea, palette_);
  setWindowTitle(Q(sim_->WindowCaption) + QStringLiteral("[*]"));
  history_ = new ModelHistory(this, [this](const std::function<void(Sim&)>& step) { ApplyHistory(step); });
  history_->on_change = [this] { HistoryChanged(); };
  BuildMenus();
  statusBar()->setObjectName(QStringLiteral("StatusBar"));
  setAcceptDrops(true);

  recovery_ = std::make_unique<RecoveryFiles>(QString::fromStdString(options_.recovery_folder));
  recovery_timer_ = new QTimer(this);
  recovery_timer_->setInterval(std::min<int>(kRecoveryCheckMs, static_cast<int>(options_.recovery_interval.count()) + 1));
  connect(recovery_timer_, &QTimer::timeout, this, [this] { CheckRecoveryCopy(); });
  recovery_timer_->start();
  HandleTerminationSignals([this](int signo) { EndBySignal(signo); });

  guard_.SetAfterEach([this] { SyncWidgets(); });
  guard_.SetRangeDetail([this] { return RangeFaultDetail(*sim_); });
  resize(1000, 720);
  SyncWidgets();
}

TForm1::~TForm1() {
  // The dialogs work on the model through the guard: they go first.
  delete User1;
  delete CopyFm;
  delete InsertFm;
  delete HelpFm;
  delete NumberDatFm;
  delete BlockFm;
  delete TimingFm;
  // The other widgets outlive the model and the guard by a moment: Qt deletes them
  // after this window's own members. Nothing they do from here on may reach either.
  guard_.SetAfterEach(nullptr);
  HandleTerminationSignals(nullptr);
  // A window that was not closed by a signal leaves no copy behind.
  if (!keep_recovery_) recovery_->Remove();
  history_->on_change = nullptr;
  GraphBx->on_press = GraphBx->on_release = nullptr;
  GraphBx->on_overlay = nullptr;
  GraphBx->on_stale = GrPlotBx->on_stale = nullptr;
  GrPlotPnl->on_resize = nullptr;
  sim_->frontend = nullptr;
}

void TForm1::BuildPlotPanel() {
  GrPlotPnl = new Panel(this);
  GrPlotPnl->setObjectName(QStringLiteral("GrPlotPnl"));
  GrPlotPnl->setFrameShape(QFrame::Panel);
  GrPlotPnl->setFrameShadow(QFrame::Raised);
  GrPlotPnl->setMinimumHeight(kMinPlotPanelHeight);
  SetBackground(GrPlotPnl, QColor(192, 192, 192));
  GrPlotPnl->hide();
  // A new width lays the panel out anew.
  GrPlotPnl->on_resize = [this] {
    QTimer::singleShot(0, this, [this] { guard_.Repaint(this, [this] { GraphBxPaint(); }); });
  };

  GrPlotBx = new PaintBox(GrPlotPnl, QSize(plot_form_.BoxWidth, plot_form_.BoxHeight));
  GrPlotBx->setObjectName(QStringLiteral("GrPlotBx"));
  GrPlotBx->move(plot_form_.BoxLeft, plot_form_.BoxTop);
  GrPlotBx->on_stale = [this] { guard_.Repaint(this, [this] { GraphBxPaint(); }); };

  GrMinTLb = PlacedLabel(GrPlotPnl, 0, 0, "GrMinTLb");
  GrMaxTLb = PlacedLabel(GrPlotPnl, 0, 0, "GrMaxTLb");
  GrMinYLb = PlacedLabel(GrPlotPnl, 0, 0, "GrMinYLb");
  GrMaxYLb = PlacedLabel(GrPlotPnl, 0, 0, "GrMaxYLb");
  static constexpr const char* kLegendNames[] = {"Label1", "Label2", "Label4", "Label5",  "Label6",
                                                  "Label7", "Label8", "Label9", "Label10", "Label11"};
  for (size_t i = 0; i < Legend.size(); ++i) Legend[i] = PlacedLabel(GrPlotPnl, 0, 0, kLegendNames[i]);
  dataLb = PlacedLabel(GrPlotPnl, 16, 400, "dataLb");
  dataLb->setText(QStringLiteral("datalb"));
  saveLb = PlacedLabel(GrPlotPnl, 16, 420, "saveLb");
  saveLb->setText(QStringLiteral("saveLb"));
  ShowPlotPanel();
}

void TForm1::BuildControlBar() {
  SimControl = new QWidget(this);
  SimControl->setObjectName(QStringLiteral("SimControl"));
  SimControl->setFixedHeight(kControlBarHeight);
  SetBackground(SimControl, QColor(0, 0, 255));
  auto* bar = new QHBoxLayout(SimControl);
  bar->setContentsMargins(8, 8, 8, 8);
  bar->setSpacing(8);

  const auto button = [bar](QPushButton* b, const char* name, const ButtonField& field) {
    b->setObjectName(QString::fromLatin1(name));
    // The design width, or the caption's own where the font needs more.
    b->setMinimumWidth(75);
    b->setFixedHeight(25);
    b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::NoFocus);
    Show(b, field);
    bar->addWidget(b);
  };
  const auto panel = [this, bar](Panel*& p, QLabel*& label, const char* name, const char* label_name,
                                 const LabelField& panel_field, const LabelField& label_field, int width,
                                 const char* widest) {
    p = new Panel(SimControl);
    p->setObjectName(QString::fromLatin1(name));
    p->setFrameShape(QFrame::Panel);
    p->setFrameShadow(QFrame::Sunken);
    // Wide enough for the longest text it shows, at the font in use; a fixed width, so
    // that the bar is not laid out anew at every status update.
    const int needed = p->fontMetrics().horizontalAdvance(QString::fromLatin1(widest)) + 8 + 2 * p->frameWidth();
    p->setFixedSize(std::max(width, needed), 25);
    p->setToolTip(Q(panel_field.hint));
    SetBackground(p, ToColor(colour::kButtonFace));
    auto* inner = new QHBoxLayout(p);
    inner->setContentsMargins(4, 0, 4, 0);
    label = new QLabel(p);
    label->setObjectName(QString::fromLatin1(label_name));
    Show(label, label_field);
    inner->addWidget(label);
    p->on_click = [this] { ShowTiming(); };
    p->on_right_up = [this] { ShowTiming(); };
    bar->addWidget(p);
  };

  RunBtn = new QPushButton(SimControl);
  button(RunBtn, "RunBtn", form_.RunBtn);
  connect(RunBtn, &QPushButton::clicked, this, [this] { RunBtnClick(); });
  StepBtn = new QPushButton(SimControl);
  button(StepBtn, "StepBtn", form_.StepBtn);
  connect(StepBtn, &QPushButton::clicked, this, [this] { StepBtnClick(); });
  panel(TickPnl, TimeLb, "TickPnl", "TimeLb", form_.TickPnl, form_.TimeLb, 140, "Time 9999999.9999 ");
  ResetBtn = new QPushButton(SimControl);
  button(ResetBtn, "ResetBtn", form_.ResetBtn);
  connect(ResetBtn, &QPushButton::clicked, this, [this] { ResetBtnClick(); });
  panel(ClockPnl, DayClock, "ClockPnl", "DayClock", form_.ClockPnl, form_.DayClock, 100, "999::23:59:59 ");
  NumbersBtn = new MouseUpButton(SimControl);
  button(NumbersBtn, "NumbersBtn", form_.NumbersBtn);
  NumbersBtn->on_mouse_up = [this](MouseButton b) { NumbersBtnMouseUp(b); };
  AnimBtn = new QPushButton(SimControl);
  button(AnimBtn, "AnimBtn", form_.AnimBtn);
  connect(AnimBtn, &QPushButton::clicked, this, [this] { AnimBtnClick(); });
  GridBtn = new QPushButton(SimControl);
  button(GridBtn, "GridBtn", form_.GridBtn);
  connect(GridBtn, &QPushButton::clicked, this, [this] { GridBtnClick(); });
  GraphBtn = new MouseUpButton(SimControl);
  button(GraphBtn, "GraphBtn", form_.GraphBtn);
  GraphBtn->on_mouse_up = [this](MouseButton b) { GraphBtnMouseUp(b); };
  Button1 = new MouseUpButton(SimControl);
  button(Button1, "Button1", form_.Button1);
  Button1->on_mouse_up = [this](MouseButton b) { Button1MouseUp(b); };
  bar->addStretch(1);
  BuildRunToolBar();
}

void TForm1::BuildRunToolBar() {
  QToolBar* tools = addToolBar(QStringLiteral("Run"));
  tools->setObjectName(QStringLiteral("RunToolBar"));
  tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
  // The keys press the bar's buttons; the buttons and the tool bar's actions name them.
  const auto action = [this, tools](QPushButton* b, const char* name, const QKeySequence& key, auto click) {
    QAction* a = tools->addAction(b->text());
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(key);
    const QString tip = b->toolTip() + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + QLatin1Char(')');
    a->setToolTip(tip);
    b->setToolTip(tip);
    connect(a, &QAction::triggered, this, click);
    return a;
  };
  RunItem = action(RunBtn, "RunItem", QKeySequence(Qt::Key_F5), [this] { RunBtnClick(); });
  action(StepBtn, "StepItem", QKeySequence(Qt::Key_F10), [this] { StepBtnClick(); });
  action(ResetBtn, "ResetItem", QKeySequence(Qt::SHIFT | Qt::Key_F5), [this] { ResetBtnClick(); });
}

void TForm1::BuildMenus() {
  QMenuBar* bar = menuBar();
  const auto item = [this](QMenu* menu, const char* caption, const char* name, auto handler) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, [this, handler] { Handle(handler); });
    return a;
  };
  // An item whose handler may edit the model.
  const auto edit_item = [this](QMenu* menu, const char* caption, const char* name, auto handler, Namer namer) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, [this, handler, namer] { Edit(handler, namer); });
    return a;
  };
  const auto named = [](const char* name) { return [name](const ModelChange&) { return std::string(name); }; };

  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("FileMenu"));
  BuildFileMenu(file);

  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  view->setObjectName(QStringLiteral("ViewMenu"));
  edit_item(view, "Show Timing", "ShowTimingItem", [this] { TimingFm->Execute(*sim_); }, named(kTimingChangeName));
  // The menu's mark shows the panel, whichever control showed or hid it last, and the
  // item shows or hides the panel as the Graph? button does.
  TimePlotItem = item(view, "Time Plot", "TimePlotItem", [this] {
    form_.TimePlotChecked = sim_->PlotFlag;
    form_.TimePlotClick(*sim_);
  });
  TimePlotItem->setCheckable(true);
  edit_item(view, "Number Display", "NumberDisplayItem", [this] { NumberDatFm->Execute(*sim_); },
            named(kNumberDisplayChangeName));
  view->addSeparator();
  zoom_->AddItems(view);
  finder_->AddItem(view);
  view->addAction(palette_->toggleViewAction());

  QMenu* edit = bar->addMenu(QStringLiteral("Edit"));
  edit->setObjectName(QStringLiteral("EditMenu"));
  edit->addAction(history_->undo_action());
  edit->addAction(history_->redo_action());
  edit->addSeparator();
  edit_item(edit, "&Insert", "InsertItem", [this] { InsertFm->Execute(*sim_, [this] { ShowBlockDialog(); }); },
            [this](const ModelChange&) { return InsertName(TypedId(InsertFm->form().Edit2.text, sim_->HighestBlock)); });
  edit_item(edit, "&Copy", "CopyItem", [this] { CopyFm->Execute(*sim_); }, [this](const ModelChange&) {
    // A block copied beyond the table's end goes to the next free ID.
    const TCopyFm& f = CopyFm->form();
    const int64_t next = int64_t{highest_before_edit_} + 1;
    return CopyName(TypedId(f.FromID.text, 0), std::min(TypedId(f.ToID.text, next), next));
  });
  selection_->AddItems(edit);

  QMenu* create = bar->addMenu(QStringLiteral("&Create"));
  create->setObjectName(QStringLiteral("CreateMenu"));
  create->setToolTipsVisible(true);
  for (const BlockTypeInfo& info : BlockTypes()) {
    if (!info.menu_caption) continue;
    const BlockType type = info.type;
    const std::string name = std::string("Create") + TypeLetter(type) + "Item";
    QAction* a = edit_item(
        create, info.menu_caption, name.c_str(),
        [this, type] {
          // A block that the dialog does not take into the table (Cancel) leaves its slot
          // as it was: nothing changed, nothing to undo.
          const int32_t id = sim_->HighestBlock + 1;
          const TBlock before = id <= kMaxBlockID ? sim_->block(id) : TBlock{};
          form_.CreateItemClick(*sim_, type, [this] { ShowBlockDialog(); });
          if (id <= kMaxBlockID && sim_->HighestBlock < id) sim_->block(id) = before;
        },
        [this](const ModelChange&) { return CreateName(sim_->PickedBlock); });
    a->setToolTip(QString::fromUtf8(info.menu_hint));
    a->setStatusTip(QString::fromUtf8(info.menu_hint));
    if (info.separator_after) create->addSeparator();
  }

  QAction* help = bar->addAction(QStringLiteral("Help"));
  help->setObjectName(QStringLiteral("HelpItem"));
  connect(help, &QAction::triggered, this, [this] { Handle([this] { HelpFm->exec(); }); });
}

void TForm1::Edit(const EventGuard::Handler& handler, const Namer& name) {
  const ChangeRecorder recorder(*sim_);
  highest_before_edit_ = sim_->HighestBlock;
  Handle(handler);
  ModelChange change = recorder.Finish(*sim_, std::string());
  if (change.empty()) return;
  change.set_name(name(change));
  history_->Push(std::move(change));
}

void TForm1::ApplyHistory(const std::function<void(Sim&)>& step) {
  Handle([this, &step] {
    if (sim_->RunBusy) HoldRun(*sim_);
    step(*sim_);
    sim_->NotifyFormPaint();
  });
}

void TForm1::HistoryChanged() {
  document_.SetModified(history_->modified());
  document_.Edited();
  setWindowModified(document_.modified());
  // Back to the saved model: no copy is needed any more.
  if (!document_.modified() && recovery_) recovery_->Remove();
}

void TForm1::AdoptModel(std::unique_ptr<Sim> model) {
  model->frontend = &frontend_;
  sim_->frontend = nullptr;
  sim_ = std::move(model);
  Handle([this] { sim_->NotifyFormPaint(); });
}

void TForm1::ShowGuide(const QString& anchor) {
  if (!guide_) guide_ = new UserGuide(this, QString::fromStdString(GuideFile()));
  guide_->ShowAt(anchor);
}

void TForm1::ShowBlockDialog() {
  const TBlock& b = sim_->block(sim_->PickedBlock);
  const Extent label = LabelSize(b);
  const double z = GraphBx->zoom();
  const QRect shown = QRectF(QPointF(b.XX, b.YY) * z, QSizeF(label.width, label.height) * z).toAlignedRect();
  BlockFm->Execute(*sim_, QRect(GraphBx->mapToGlobal(shown.topLeft()), shown.size()));
}

void TForm1::FormActivate() {
  if (form_.activated) return;
  // A model named on the command line that cannot be read is not loaded: it joins no
  // recent list, and the window holds a new model (the load says why in its box).
  bool readable = false;
  if (options_.args.size() == 1) {
    try {
      ReadModelFile(options_.args[0]);
      readable = true;
    } catch (const SimError&) {
    }
  }
  Handle([this] {
    WindowFrontend::ModelReading reading(frontend_);
    form_.FormActivate(*sim_, options_.args);
  });
  if (readable) {
    ModelLoaded(false);
  } else {
    document_.NewModel();
  }
  // The offer comes once the window is up, as a box of its own.
  QTimer::singleShot(0, this, [this] { OfferRecovery(); });
}

void TForm1::RunBtnClick() {
  if (!sim_->RunBusy) {
    // The copy is brought up to date before a run that may not end well.
    if (document_.RecoveryBehind()) WriteRecoveryCopy();
    if (document_.TakeFirstRunHint()) statusBar()->showMessage(QString::fromLatin1(kFirstRunHint), 10000);
  }
  Handle([this] { RunButton(*sim_); });
}

void TForm1::StepBtnClick() {
  if (!sim_->RunBusy && document_.RecoveryBehind()) WriteRecoveryCopy();
  Handle([this] { StepButton(*sim_); });
}

void TForm1::ResetBtnClick() {
  if (!sim_->RunBusy) document_.ResetPressed();
  Handle([this] { ResetButton(*sim_); });
}

void TForm1::ShowTiming() {
  Edit([this] { TimingFm->Execute(*sim_); }, [](const ModelChange&) { return std::string(kTimingChangeName); });
}

void TForm1::NumbersBtnMouseUp(MouseButton button) {
  Edit([this, button] { form_.NumbersBtnMouseUp(*sim_, button, [this] { NumberDatFm->Execute(*sim_); }); },
       [](const ModelChange&) { return std::string(kNumberDisplayChangeName); });
}

void TForm1::AnimBtnClick() {
  Handle([this] { form_.AnimBtnClick(*sim_); });
}

void TForm1::GridBtnClick() {
  Handle([this] { form_.GridBtnClick(*sim_); });
}

std::string TForm1::BlockDialogChangeName(const ModelChange& change, int64_t opened_on) {
  return ApplyOrDeleteName(change, TypedId(BlockFm->form().Edit1.text, opened_on));
}

void TForm1::GraphBtnMouseUp(MouseButton button) {
  Edit([this, button] { form_.GraphBtnMouseUp(*sim_, button, [this] { ShowBlockDialog(); }); },
       [this](const ModelChange& c) { return BlockDialogChangeName(c, 19); });
}

void TForm1::Button1MouseUp(MouseButton button) {
  const auto handler = [this, button] {
    const auto toggle_link_window = [this] {
      if (User1->isVisible()) {
        User1->hide();
      } else {
        User1->show();
        User1->raise();
        User1->activateWindow();
      }
    };
    form_.Button1MouseUp(*sim_, button, toggle_link_window, [this] { ShowBlockDialog(); });
  };
  Edit(handler, [this](const ModelChange& c) { return BlockDialogChangeName(c, 20); });
}

void TForm1::GraphBxMouseDown(MouseButton button, QPoint at) {
  Handle([this, at] { form_.GraphBxMouseDown(*sim_, at.x(), at.y()); });
  selection_->Press(button, at);
}

void TForm1::GraphBxMouseUp(MouseButton button, QPoint at) {
  if (selection_->Release(button, at)) return;
  const int32_t picked = sim_->PickedBlock;
  const bool click = MainForm::IsClick(*sim_, at.x(), at.y());
  if (click && picked <= 0 && button == MouseButton::Left) selection_->Clear();
  Edit([this, button, at] { form_.GraphBxMouseUp(*sim_, button, at.x(), at.y(), [this] { ShowBlockDialog(); }); },
       [this, picked, click, button](const ModelChange& c) {
         if (!click) return MoveName(picked);
         return button == MouseButton::Left ? ClickName(picked) : BlockDialogChangeName(c, picked);
       });
}

namespace {

// What the tooltip over a block's picking square says of it.
QString BlockHoverText(const TBlock& b, int32_t id) {
  const BlockTypeInfo* info = FindBlockType(b.Type);
  QString text = QString::number(id);
  if (!b.Name.empty()) text += QLatin1Char(' ') + Q(b.Name);
  if (info) text += QStringLiteral(": ") + QString::fromUtf8(info->block);
  return text + QStringLiteral("\nValue ") + Q(FormatGeneral(b.Value));
}

}  // namespace

void TForm1::GraphBxMouseMove(Qt::MouseButtons buttons, QPoint at) {
  const Sim& s = *sim_;
  if (buttons != Qt::NoButton && selection_->Move(at)) return;
  if (buttons != Qt::NoButton) {
    // A block being dragged: an outline of it follows the mouse; the move itself
    // happens when the button goes up.
    const bool dragging = s.PickedBlock > 0 && !MainForm::IsClick(s, at.x(), at.y());
    const Extent size = dragging ? LabelSize(s.block(s.PickedBlock)) : Extent{0, 0};
    GraphBx->SetOutline(QRect(at.x(), at.y(), size.width, size.height));
    GraphBx->setCursor(dragging ? Qt::ClosedHandCursor : Qt::ArrowCursor);
    return;
  }
  const int32_t id = BlockAtPoint(s, at.x(), at.y());
  const bool over = id > 0 && s.block(id).Type != BlockType::Empty;
  GraphBx->setCursor(over ? Qt::PointingHandCursor : Qt::ArrowCursor);
  const QString tip = over ? BlockHoverText(s.block(id), id) : QString();
  if (tip == GraphBx->toolTip()) return;
  GraphBx->setToolTip(tip);
  // A tooltip already shown follows the mouse from one block to the next.
  if (QToolTip::isVisible()) QToolTip::showText(QCursor::pos(), tip, GraphBx);
}

void TForm1::GraphBxPaint() {
  frontend_.RedrawDiagram();
  frontend_.GrPlotPnlPrep();
  frontend_.DrawTimePlot();
}

int TForm1::PlotPanelWidth() const {
  // The panel spans the window; while hidden it may not have been laid out yet.
  const QWidget* area = centralWidget();
  return GrPlotPnl->isHidden() && area ? area->width() : GrPlotPnl->width();
}

void TForm1::ShowPlotPanel() {
  GrPlotBx->setGeometry(plot_form_.BoxLeft, plot_form_.BoxTop, std::max(plot_form_.BoxWidth, 1),
                        std::max(plot_form_.BoxHeight, 1));
  const auto place = [](QLabel* label, const PlotLabel& l) {
    label->move(l.left, l.top);
    label->setText(Q(l.caption));
    SetTextColour(label, ToColor(l.colour));
    SetBackground(label, ToColor(l.background));
    label->adjustSize();
  };
  place(GrMinTLb, plot_form_.GrMinTLb);
  place(GrMaxTLb, plot_form_.GrMaxTLb);
  place(GrMinYLb, plot_form_.GrMinYLb);
  place(GrMaxYLb, plot_form_.GrMaxYLb);
  for (size_t i = 0; i < Legend.size(); ++i) place(Legend[i], plot_form_.Legend[i]);
}

void TForm1::ShowStatusTexts() {
  TimeLb->setText(Q(form_.TimeLb.caption));
  TimeLb->setVisible(form_.TimeLb.visible);
  DayClock->setText(Q(form_.DayClock.caption));
}

void TForm1::ShowRunCaption() {
  RunBtn->setText(Q(sim_->RunCaption));
  RunItem->setText(RunBtn->text());
}

void TForm1::SyncWidgets() {
  const Sim& s = *sim_;
  setWindowTitle(Q(s.WindowCaption) + QStringLiteral("[*]"));  // "*" while the model has unsaved changes
  ShowRunCaption();
  ShowStatusTexts();
  AnimBtn->setText(Q(form_.AnimBtn.caption));
  const QColor anim_colour = ToColor(form_.AnimBtnFont);
  if (AnimBtn->palette().color(QPalette::ButtonText) != anim_colour) SetTextColour(AnimBtn, anim_colour);
  if (GrPlotPnl->isHidden() == s.PlotFlag) {
    GrPlotPnl->setHidden(!s.PlotFlag);
    // The panel comes back at the height it had, or was given in an earlier session.
    if (s.PlotFlag) splitter_->setSizes({std::max(splitter_->height() - plot_height_, 1), plot_height_});
  }
  TimePlotItem->setChecked(s.PlotFlag);
  SaveModelItem->setStatusTip(Q("Writes the model to " + SaveTarget()));
}

void TForm1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && !form_.activated) FormActivate();
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // A platform that never activates the window still gets its start-up.
  QTimer::singleShot(0, this, [this] { FormActivate(); });
}


}  // namespace trevolan

#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include "app/block_dialog.h"
#include "app/copy_dialog.h"
#include "app/file_dialogs.h"
#include "app/help_dialog.h"
#include "app/insert_dialog.h"
#include "app/number_dialog.h"
#include "app/paint_box.h"
#include "app/timing_dialog.h"
#include "app/widgets.h"
#include "blocks/catalogue.h"
#include "display/qt_canvas.h"
#include "engine/run_loop.h"
#include "link/calc_workbook.h"
#include "model/file_commands.h"

namespace trevolan {

namespace {

constexpr QSize kDiagramSize{1400, 1000};
constexpr int kPlotPanelHeight = 450;
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

// Without a display (the offscreen platform) the spreadsheet runs without a window.
bool Headless() {
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

}  // namespace

void PrepareApplication() {
  QApplication::setApplicationName(QStringLiteral("Trevolan4"));
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
  GraphBx->on_stale = [this] { guard_.Repaint(this, [this] { GraphBxPaint(); }); };
  layout->addWidget(GraphScrBx, 1);

  BuildPlotPanel();
  layout->addWidget(GrPlotPnl);
  BuildControlBar();
  layout->addWidget(SimControl);
  setCentralWidget(central);
  BuildMenus();

  TimingFm = new TimingDialog(this, guard_);
  BlockFm = new BlockDialog(this, guard_);
  NumberDatFm = new NumberDialog(this, guard_);
  User1 = new UserLinkWindow(this, guard_, [this]() -> Sim& { return *sim_; }, options_.make_workbook);
  HelpFm = new THelpFm(this);
  InsertFm = new InsertDialog(this, guard_);
  CopyFm = new CopyDialog(this, guard_);

  guard_.SetAfterEach([this] { SyncWidgets(); });
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
  GraphBx->on_press = GraphBx->on_release = nullptr;
  GraphBx->on_stale = GrPlotBx->on_stale = nullptr;
  GrPlotPnl->on_resize = nullptr;
  sim_->frontend = nullptr;
}

void TForm1::BuildPlotPanel() {
  GrPlotPnl = new Panel(this);
  GrPlotPnl->setObjectName(QStringLiteral("GrPlotPnl"));
  GrPlotPnl->setFrameShape(QFrame::Panel);
  GrPlotPnl->setFrameShadow(QFrame::Raised);
  GrPlotPnl->setFixedHeight(kPlotPanelHeight);
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

  const auto button = [this, bar](QPushButton* b, const char* name, const ButtonField& field) {
    b->setObjectName(QString::fromLatin1(name));
    b->setFixedSize(75, 25);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::NoFocus);
    Show(b, field);
    bar->addWidget(b);
  };
  const auto panel = [this, bar](Panel*& p, QLabel*& label, const char* name, const char* label_name,
                                 const LabelField& panel_field, const LabelField& label_field, int width) {
    p = new Panel(SimControl);
    p->setObjectName(QString::fromLatin1(name));
    p->setFrameShape(QFrame::Panel);
    p->setFrameShadow(QFrame::Sunken);
    p->setFixedSize(width, 25);
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
  panel(TickPnl, TimeLb, "TickPnl", "TimeLb", form_.TickPnl, form_.TimeLb, 140);
  ResetBtn = new QPushButton(SimControl);
  button(ResetBtn, "ResetBtn", form_.ResetBtn);
  connect(ResetBtn, &QPushButton::clicked, this, [this] { ResetBtnClick(); });
  panel(ClockPnl, DayClock, "ClockPnl", "DayClock", form_.ClockPnl, form_.DayClock, 100);
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
}

void TForm1::BuildMenus() {
  QMenuBar* bar = menuBar();
  const auto item = [this](QMenu* menu, const char* caption, const char* name, auto handler) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, [this, handler] { Handle(handler); });
    return a;
  };

  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("FileMenu"));
  item(file, "&New", "NewItem", [this] { FileNew(*sim_); })->setShortcut(QKeySequence::New);
  item(file, "&Open (model)", "OpenItem", [this] {
    const std::optional<std::string> path = ChooseModelFile(this);
    WindowFrontend::ModelReading reading(frontend_);
    form_.OpenClick(*sim_, path);
  })
      ->setShortcut(QKeySequence::Open);
  item(file, "Save Model &As", "SaveAsItem", [this] { form_.SaveAsClick(*sim_, ChooseSaveFile(this)); });
  item(file, "Save &Model", "SaveModelItem", [this] { FileSaveModel(*sim_); })->setShortcut(QKeySequence::Save);
  item(file, "Save Tape a&s", "SaveTapeAsItem", [this] { form_.SaveTapeAsClick(*sim_, ChooseSaveFile(this)); });
  item(file, "Save &Tape", "SaveTapeItem", [this] { FileSaveTape(*sim_); });
  file->addSeparator();
  item(file, "E&xit", "ExitItem", [this] { close(); })->setShortcut(QKeySequence::Quit);

  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  view->setObjectName(QStringLiteral("ViewMenu"));
  item(view, "Show Timing", "ShowTimingItem", [this] { TimingFm->Execute(*sim_); });
  TimePlotItem = item(view, "Time Plot", "TimePlotItem", [this] { form_.TimePlotClick(*sim_); });
  TimePlotItem->setCheckable(true);
  item(view, "Number Display", "NumberDisplayItem", [this] { NumberDatFm->Execute(*sim_); });

  QMenu* edit = bar->addMenu(QStringLiteral("Edit"));
  edit->setObjectName(QStringLiteral("EditMenu"));
  item(edit, "&Insert", "InsertItem", [this] { InsertFm->Execute(*sim_, [this] { ShowBlockDialog(); }); });
  item(edit, "&Copy", "CopyItem", [this] { CopyFm->Execute(*sim_); });

  QMenu* create = bar->addMenu(QStringLiteral("&Create"));
  create->setObjectName(QStringLiteral("CreateMenu"));
  create->setToolTipsVisible(true);
  for (const BlockTypeInfo& info : BlockTypes()) {
    if (!info.menu_caption) continue;
    const char type = info.type;
    const std::string name = std::string("Create") + type + "Item";
    QAction* a = item(create, info.menu_caption, name.c_str(), [this, type] {
      form_.CreateItemClick(*sim_, type, [this] { ShowBlockDialog(); });
    });
    a->setToolTip(QString::fromUtf8(info.menu_hint));
    a->setStatusTip(QString::fromUtf8(info.menu_hint));
    if (info.separator_after) create->addSeparator();
  }

  QAction* help = bar->addAction(QStringLiteral("Help"));
  help->setObjectName(QStringLiteral("HelpItem"));
  connect(help, &QAction::triggered, this, [this] { Handle([this] { HelpFm->exec(); }); });
}

void TForm1::AdoptModel(std::unique_ptr<Sim> model) {
  model->frontend = &frontend_;
  sim_->frontend = nullptr;
  sim_ = std::move(model);
  Handle([this] { sim_->NotifyFormPaint(); });
}

void TForm1::ShowBlockDialog() { BlockFm->Execute(*sim_, GraphBx); }

void TForm1::FormActivate() {
  if (form_.activated) return;
  Handle([this] {
    WindowFrontend::ModelReading reading(frontend_);
    form_.FormActivate(*sim_, options_.args);
  });
}

void TForm1::RunBtnClick() {
  Handle([this] { RunButton(*sim_); });
}

void TForm1::StepBtnClick() {
  Handle([this] { StepButton(*sim_); });
}

void TForm1::ResetBtnClick() {
  Handle([this] { ResetButton(*sim_); });
}

void TForm1::ShowTiming() {
  Handle([this] { TimingFm->Execute(*sim_); });
}

void TForm1::NumbersBtnMouseUp(MouseButton button) {
  Handle([this, button] { form_.NumbersBtnMouseUp(*sim_, button, [this] { NumberDatFm->Execute(*sim_); }); });
}

void TForm1::AnimBtnClick() {
  Handle([this] { form_.AnimBtnClick(*sim_); });
}

void TForm1::GridBtnClick() {
  Handle([this] { form_.GridBtnClick(*sim_); });
}

void TForm1::GraphBtnMouseUp(MouseButton button) {
  Handle([this, button] { form_.GraphBtnMouseUp(*sim_, button, [this] { ShowBlockDialog(); }); });
}

void TForm1::Button1MouseUp(MouseButton button) {
  Handle([this, button] {
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
  });
}

void TForm1::GraphBxMouseDown(MouseButton /*button*/, QPoint at) {
  Handle([this, at] { form_.GraphBxMouseDown(*sim_, at.x(), at.y()); });
}

void TForm1::GraphBxMouseUp(MouseButton button, QPoint at) {
  Handle([this, button, at] { form_.GraphBxMouseUp(*sim_, button, at.x(), at.y(), [this] { ShowBlockDialog(); }); });
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

void TForm1::ShowRunCaption() { RunBtn->setText(Q(sim_->RunCaption)); }

void TForm1::SyncWidgets() {
  const Sim& s = *sim_;
  setWindowTitle(Q(s.WindowCaption));
  ShowRunCaption();
  ShowStatusTexts();
  AnimBtn->setText(Q(form_.AnimBtn.caption));
  const QColor anim_colour = ToColor(form_.AnimBtnFont);
  if (AnimBtn->palette().color(QPalette::ButtonText) != anim_colour) SetTextColour(AnimBtn, anim_colour);
  GrPlotPnl->setHidden(!s.PlotFlag);
  TimePlotItem->setChecked(form_.TimePlotChecked);
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

void TForm1::closeEvent(QCloseEvent* event) {
  // A run in progress ends after its step, so the program can end.
  if (sim_->RunBusy) HoldRun(*sim_);
  User1->close();
  event->accept();
}

}  // namespace trevolan

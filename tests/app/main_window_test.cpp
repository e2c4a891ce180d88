#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QScreen>
#include <QStyle>
#include <QTableWidget>
#include <filesystem>

#include "app/data_folders.h"
#include "app/paint_box.h"
#include "display/main_form.h"
#include "display/zoom.h"
#include "editing/new_block.h"
#include "model/file_commands.h"
#include "model/numbers.h"
#include "window_support.h"

namespace trevolan::testing {
namespace {

using MainWindow = WindowTest;

// A model that runs for a long time without holding by itself: two million steps,
// seconds, so that a hold that never comes fails the test instead of hanging it.
void RunForever(Sim& s) {
  s.FinTim = 1e12;
  s.Holdstep = 1e12;
  s.Holdnext = s.Time + 2e6 * s.Delt;
  StoreTimingGlobals(s);
}

std::string LabelText(QWidget* window, const char* name) {
  auto* label = window->findChild<QLabel*>(QString::fromLatin1(name));
  return label ? label->text().toStdString() : "(no label " + std::string(name) + ")";
}

TEST_F(MainWindow, StartsWithItsCaptionsAndTheModelOfItsArgument) {
  const std::string model = ExamplePath("damped_oscillator.txt");
  Open({model});
  EXPECT_EQ(Caption(), "Trevolan4");
  EXPECT_EQ(s().DataFileName, model);
  EXPECT_GT(s().block(101).XX, 0);
  EXPECT_FALSE(s().PlotFlag);
  EXPECT_TRUE(Find<QWidget>("GrPlotPnl")->isHidden());
  const std::pair<const char*, const char*> buttons[] = {
      {"RunBtn", "RUN"},        {"StepBtn", "STEP"},   {"ResetBtn", "RESET"}, {"NumbersBtn", "Number"},
      {"AnimBtn", "Anim?"},     {"GridBtn", "Grid?"},  {"GraphBtn", "Graph?"}, {"Button1", "Excel Link"}};
  for (const auto& [name, caption] : buttons) EXPECT_EQ(Find<QPushButton>(name)->text().toStdString(), caption);
  // The hints name the keys of the buttons.
  EXPECT_EQ(Find<QPushButton>("RunBtn")->toolTip().toStdString(), "Run or Hold Simulation (F5)");
  EXPECT_EQ(Find<QWidget>("TickPnl")->toolTip().toStdString(), "Simulated Time");
  EXPECT_EQ(Find<QWidget>("ClockPnl")->toolTip().toStdString(), "Set up Timing Parameters");
  // The start-up painted the diagram: the label of block 101 is on the picture.
  const QImage& picture = window->diagram_box()->surface().image();
  const TBlock& b = s().block(101);
  EXPECT_NE(picture.pixel(b.XX + 3, b.YY + 5), qRgb(255, 255, 255));
}

TEST_F(MainWindow, MenusCarryTheirCaptionsShortcutsAndHints) {
  Open();
  EXPECT_EQ(Item("OpenItem")->text().toStdString(), "&Open (model)");
  EXPECT_EQ(Item("OpenItem")->shortcut(), QKeySequence(QKeySequence::Open));
  EXPECT_EQ(Item("NewItem")->shortcut(), QKeySequence(QKeySequence::New));
  EXPECT_EQ(Item("SaveModelItem")->shortcut(), QKeySequence(QKeySequence::Save));
  EXPECT_EQ(Item("ExitItem")->shortcut(), QKeySequence(QKeySequence::Quit));
  EXPECT_TRUE(Item("TimePlotItem")->isCheckable());
  auto* create = Find<QMenu>("CreateMenu");
  QStringList captions;
  int separators = 0;
  for (QAction* a : create->actions()) {
    if (a->isSeparator()) {
      ++separators;
      EXPECT_EQ(captions.back().toStdString(), "&Diverter");
    } else {
      captions << a->text();
    }
  }
  EXPECT_EQ(separators, 1);
  EXPECT_EQ(captions.size(), 26);  // every type but O and U
  EXPECT_EQ(captions.front().toStdString(), "&Activity/Actor");
  EXPECT_TRUE(captions.contains(QStringLiteral("&& Sum+/-")));
  EXPECT_EQ(Item("CreateAItem")->toolTip().toStdString(), "PetriNet process");
  EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 100);
}

TEST_F(MainWindow, RunThenHoldFromATimerDuringTheRun) {
  Open({ExamplePath("damped_oscillator.txt")});
  Click("ResetBtn");
  RunForever(s());
  std::string caption_while_running;
  double time_at_hold = -1;
  bool busy_while_running = false;
  QTimer::singleShot(150, [&] {
    caption_while_running = Find<QPushButton>("RunBtn")->text().toStdString();
    busy_while_running = s().RunBusy;
    time_at_hold = s().Time;
    Click("RunBtn");  // HOLD, handled between two steps
  });
  Click("RunBtn");  // returns when the run holds
  EXPECT_EQ(caption_while_running, "HOLD");
  EXPECT_TRUE(busy_while_running);
  EXPECT_GT(time_at_hold, 0);
  EXPECT_EQ(s().Time, time_at_hold);  // no step after the hold
  EXPECT_LT(s().Time, s().Holdnext);   // the click held it, not the hold step
  EXPECT_TRUE(s().HoldFlag);
  EXPECT_FALSE(s().RunBusy);
  EXPECT_EQ(Find<QPushButton>("RunBtn")->text().toStdString(), "RUN");
  EXPECT_GT(s().TapeIndex, 0);
  EXPECT_EQ(LabelText(window.get(), "DayClock"), StatusTexts(s()).DayClock);
}

TEST_F(MainWindow, StepAdvancesOneDeltaAndKeepsTheHoldGrid) {
  Open({ExamplePath("damped_oscillator.txt")});
  Click("ResetBtn");
  const double start = s().Time, holdnext = s().Holdnext;
  Click("StepBtn");
  EXPECT_DOUBLE_EQ(s().Time, start + s().Delt);
  EXPECT_EQ(s().Holdnext, holdnext);
  EXPECT_TRUE(s().HoldFlag);
  EXPECT_EQ(Find<QPushButton>("RunBtn")->text().toStdString(), "RUN");
}

TEST_F(MainWindow, ResetWhileRunningDoesNothing) {
  Open({ExamplePath("damped_oscillator.txt")});
  Click("ResetBtn");
  RunForever(s());
  double before_reset = -1, after_reset = -1;
  int tape_rows = -1;
  QTimer::singleShot(100, [&] {
    before_reset = s().Time;
    Click("ResetBtn");
    after_reset = s().Time;
    tape_rows = s().TapeIndex;
    QTimer::singleShot(50, [&] { Click("RunBtn"); });
  });
  Click("RunBtn");
  EXPECT_GT(before_reset, 0);
  EXPECT_EQ(after_reset, before_reset);
  EXPECT_GT(tape_rows, 0);
  EXPECT_GT(s().Time, after_reset);  // the run went on after the ignored RESET
}

TEST_F(MainWindow, CreateMenuOpensTheBlockDialogOnTheNewBlock) {
  Open();
  Modals modals;
  std::string title, id;
  modals.Then([&](QWidget* dialog) {
    title = dialog->windowTitle().toStdString();
    id = Text(dialog, "Edit1");
    Type(dialog, "Edit2", "tank");
    Press(dialog, "ApplyBtn");
  });
  ASSERT_EQ(s().HighestBlock, 100);
  Item("CreateIItem")->trigger();
  EXPECT_EQ(title, "Integrator (I)");
  EXPECT_EQ(id, "101");
  EXPECT_EQ(s().HighestBlock, 101);
  EXPECT_EQ(s().block(101).Type, BlockType::Integrator);
  EXPECT_EQ(s().block(101).Name, "tank");

  // Cancel creates nothing: no changed mark, nothing to undo, the slot as it was.
  const std::string caption = Caption();
  const bool could_undo = Item("UndoItem")->isEnabled();
  const std::string undo_text = Item("UndoItem")->text().toStdString();
  modals.Then([&](QWidget* dialog) { Press(dialog, "CancelBtn"); });
  Item("CreateCItem")->trigger();
  EXPECT_EQ(s().HighestBlock, 101);
  EXPECT_EQ(s().block(102).Type, BlockType::Empty);
  EXPECT_EQ(Caption(), caption);
  EXPECT_EQ(Item("UndoItem")->isEnabled(), could_undo);
  EXPECT_EQ(Item("UndoItem")->text().toStdString(), undo_text);
}

TEST_F(MainWindow, ClickTogglesABlockAndDragMovesIt) {
  Open({ExamplePath("damped_oscillator.txt")});
  PaintBox* box = window->diagram_box();
  const TBlock& b = s().block(101);
  const int x = b.XX, y = b.YY, on = b.OnOff;
  QTest::mousePress(box, Qt::LeftButton, {}, QPoint(x + 3, y + 3));
  QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(x + 4, y + 2));
  EXPECT_EQ(b.OnOff, on == 0 ? 1 : 0);
  EXPECT_EQ(s().PickedBlock, 0);

  QTest::mousePress(box, Qt::LeftButton, {}, QPoint(x + 3, y + 3));
  QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(x + 60, y + 40));
  EXPECT_EQ(b.XX, x + 60);
  EXPECT_EQ(b.YY, y + 40);
  EXPECT_EQ(b.OnOff, on == 0 ? 1 : 0);  // a drag does not toggle
  EXPECT_EQ(s().LastX, x + 60);
  // The moved label is drawn at its new place.
  EXPECT_NE(window->diagram_box()->surface().image().pixel(x + 63, y + 45), qRgb(255, 255, 255));
}

TEST_F(MainWindow, HoverNamesABlockADragShowsItsOutlineAndTheDialogTakesEnterAndEscape) {
  Open({ExamplePath("damped_oscillator.txt")});
  PaintBox* box = window->diagram_box();
  TBlock& b = s().block(102);
  b.XX = 40;  // room beside it for the dialog on the small screen of the tests
  const int x = b.XX, y = b.YY;
  const auto move = [box](QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(QEvent::MouseMove, QPointF(at), box->mapToGlobal(QPointF(at)), Qt::NoButton, buttons, {});
    QApplication::sendEvent(box, &event);
  };
  // Over the picking square: a pointing hand and a tooltip naming the block; off it, neither.
  move(QPoint(x + 3, y + 3), Qt::NoButton);
  EXPECT_EQ(box->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(box->toolTip().toStdString(), "102 " + b.Name + ": Integrator\nValue " + FormatGeneral(b.Value));
  move(QPoint(x + 30, y + 3), Qt::NoButton);
  EXPECT_EQ(box->cursor().shape(), Qt::ArrowCursor);
  EXPECT_TRUE(box->toolTip().isEmpty());

  // A drag shows an outline where the block would go; it moves on release.
  const auto shown = [box] { return box->grab().toImage().convertToFormat(QImage::Format_RGB32); };
  QTest::mousePress(box, Qt::LeftButton, {}, QPoint(x + 3, y + 3));
  move(QPoint(x + 60, y + 100), Qt::LeftButton);
  EXPECT_EQ(b.XX, x);
  EXPECT_NE(shown().pixel(x + 62, y + 100), box->surface().image().pixel(x + 62, y + 100));
  QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(x + 60, y + 100));
  EXPECT_EQ(b.XX, x + 60);
  EXPECT_EQ(shown(), box->surface().image().convertToFormat(QImage::Format_RGB32));  // no outline left

  // The block dialog opens beside the block, on the screen; Enter applies, Escape cancels.
  Modals modals;
  QRect dialog_place;
  modals.Then([&](QWidget* dialog) {
    dialog_place = dialog->frameGeometry();
    Type(dialog, "Edit2", "spring2");
    QTest::keyClick(Child<QLineEdit>(dialog, "Edit2"), Qt::Key_Return);
  });
  QTest::mouseClick(box, Qt::RightButton, {}, QPoint(b.XX + 2, b.YY + 2));
  EXPECT_EQ(b.Name, "spring2");
  EXPECT_GT(dialog_place.left(), box->mapToGlobal(QPoint(b.XX + LabelSize(b).width, 0)).x());
  EXPECT_TRUE(window->screen()->availableGeometry().contains(dialog_place));
  modals.Then([&](QWidget* dialog) {
    Type(dialog, "Edit2", "other");
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  QTest::mouseClick(box, Qt::RightButton, {}, QPoint(b.XX + 2, b.YY + 2));
  EXPECT_EQ(b.Name, "spring2");
  EXPECT_TRUE(modals.done());
}

TEST_F(MainWindow, KeysForRunStepResetRedoAndZoom) {
  Open({ExamplePath("damped_oscillator.txt")});
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  const auto key = [this](QKeyCombination k) { QTest::keySequence(window.get(), QKeySequence(k)); };
  EXPECT_EQ(Find<QPushButton>("RunBtn")->text().toStdString(), "RUN");  // the bar's captions stay
  EXPECT_TRUE(Find<QPushButton>("StepBtn")->toolTip().endsWith(QStringLiteral("(F10)")));
  EXPECT_TRUE(Find<QPushButton>("ResetBtn")->toolTip().endsWith(QStringLiteral("(Shift+F5)")));

  key(Qt::SHIFT | Qt::Key_F5);
  const double start = s().Time;
  key(QKeyCombination(Qt::Key_F10));
  EXPECT_DOUBLE_EQ(s().Time, start + s().Delt);
  key(Qt::SHIFT | Qt::Key_F5);
  EXPECT_EQ(s().Time, start);
  RunForever(s());
  std::string caption_while_running;
  QTimer::singleShot(100, [&] {
    caption_while_running = Item("RunItem")->text().toStdString();
    key(QKeyCombination(Qt::Key_F5));  // HOLD
  });
  key(QKeyCombination(Qt::Key_F5));  // returns when the run holds
  EXPECT_EQ(caption_while_running, "HOLD");
  EXPECT_GT(s().Time, start);
  EXPECT_FALSE(s().RunBusy);

  // Ctrl+Y redoes, Ctrl+= zooms in.
  PaintBox* box = window->diagram_box();
  const TBlock& b = s().block(101);
  const int x = b.XX;
  QTest::mousePress(box, Qt::LeftButton, {}, QPoint(b.XX + 3, b.YY + 3));
  QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(b.XX + 50, b.YY));
  key(Qt::CTRL | Qt::Key_Z);
  EXPECT_EQ(b.XX, x);
  key(Qt::CTRL | Qt::Key_Y);
  EXPECT_EQ(b.XX, x + 50);
  key(Qt::CTRL | Qt::Key_Equal);
  EXPECT_EQ(box->zoom(), 1.25);
}

TEST_F(MainWindow, RightClickOnABlockOpensItsDialog) {
  Open({ExamplePath("damped_oscillator.txt")});
  Modals modals;
  std::string id;
  modals.Then([&](QWidget* dialog) {
    id = Text(dialog, "Edit1");
    Press(dialog, "CancelBtn");
  });
  const TBlock& b = s().block(102);
  QTest::mouseClick(window->diagram_box(), Qt::RightButton, {}, QPoint(b.XX + 2, b.YY + 2));
  EXPECT_EQ(id, "102");
  EXPECT_EQ(s().PickedBlock, 0);
}

TEST_F(MainWindow, NumberGridAnimAndGraphButtons) {
  Open({ExamplePath("damped_oscillator.txt")});
  Click("NumbersBtn");
  EXPECT_EQ(s().NumberMode, 1);
  EXPECT_EQ(LabelText(window.get(), "TimeLb"), "ID Nos. displayed");
  Click("NumbersBtn");
  EXPECT_EQ(s().NumberMode, 2);
  EXPECT_EQ(LabelText(window.get(), "TimeLb").substr(0, 5), "Time ");

  Click("GridBtn");
  EXPECT_TRUE(s().GridFlag);
  EXPECT_EQ(s().NumberMode, 1);
  Click("GridBtn");
  EXPECT_FALSE(s().GridFlag);

  auto* anim = Find<QPushButton>("AnimBtn");
  Click("AnimBtn");
  EXPECT_FALSE(s().AnimFlag);
  EXPECT_EQ(anim->text().toStdString(), "Anim?");
  EXPECT_EQ(anim->palette().color(QPalette::ButtonText), QColor(0, 0, 0));
  Click("AnimBtn");
  EXPECT_TRUE(s().AnimFlag);
  EXPECT_EQ(anim->text().toStdString(), "anim?");
  EXPECT_EQ(anim->palette().color(QPalette::ButtonText), QColor(255, 0, 0));

  auto* panel = Find<QWidget>("GrPlotPnl");
  Click("GraphBtn");
  EXPECT_TRUE(s().PlotFlag);
  EXPECT_FALSE(panel->isHidden());
  EXPECT_TRUE(Item("TimePlotItem")->isChecked());  // the menu's mark follows the panel
  Click("GraphBtn");
  EXPECT_FALSE(s().PlotFlag);
  EXPECT_TRUE(panel->isHidden());
  EXPECT_FALSE(Item("TimePlotItem")->isChecked());

  Item("TimePlotItem")->trigger();
  EXPECT_TRUE(Item("TimePlotItem")->isChecked());
  EXPECT_FALSE(panel->isHidden());
  Click("GraphBtn");  // the button and the item move the same setting
  Item("TimePlotItem")->trigger();
  EXPECT_TRUE(s().PlotFlag);
  EXPECT_FALSE(panel->isHidden());
  EXPECT_TRUE(Item("TimePlotItem")->isChecked());
}

TEST_F(MainWindow, RightClickOnGraphOpensTheDialogOnBlock19) {
  Open();
  Modals modals;
  std::string title, id, header;
  bool grid_shown = false;
  modals.Then([&](QWidget* dialog) {
    title = dialog->windowTitle().toStdString();
    id = Text(dialog, "Edit1");
    auto* grid = Child<QTableWidget>(dialog, "DataGrid");
    grid_shown = grid->isVisible();
    header = grid->horizontalHeaderItem(0)->text().toStdString();
    Press(dialog, "CancelBtn");
  });
  Click("GraphBtn", Qt::RightButton);
  EXPECT_EQ(title, "Oscilloscope/Graph inputs (O)");
  EXPECT_EQ(id, "19");
  EXPECT_TRUE(grid_shown);
  EXPECT_EQ(header, "Input ID");
  EXPECT_FALSE(s().PlotFlag);  // the right button leaves the panel alone
}

TEST_F(MainWindow, OpenAndSaveAsThroughTheFileDialogs) {
  Open();
  TempDir dir;
  const std::string model = ExamplePath("damped_oscillator.txt");
  const std::string saved = dir.path("saved.txt");
  Modals modals;
  const auto choose = [](const std::string& path) { return [path](QWidget* w) { ChooseFile(w, path); }; };
  modals.Then([](QWidget* w) {  // the first time cancelled: nothing is read
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->nameFilters().front().toStdString(), "Text Files (*.txt)");
    // The build tree has the examples where an installed program has them.
    EXPECT_TRUE(dialog->sidebarUrls().contains(QUrl::fromLocalFile(QString::fromStdString(ExamplesFolder()))));
    dialog->reject();
  });
  modals.Then(choose(model));
  modals.Then(choose(saved));
  Item("OpenItem")->trigger();
  EXPECT_EQ(s().HighestBlock, 100);
  Item("OpenItem")->trigger();
  EXPECT_EQ(s().DataFileName, model);
  EXPECT_GT(s().HighestBlock, 100);
  EXPECT_EQ(Caption(), "Trevolan SaveFile");
  Item("SaveAsItem")->trigger();
  EXPECT_EQ(Caption(), "saved.txt Trevolan");
  EXPECT_EQ(s().SaveFileName, saved);
  auto reread = std::make_unique<Sim>();
  FileOpen(*reread, saved);
  EXPECT_EQ(reread->HighestBlock, s().HighestBlock);
  EXPECT_EQ(reread->block(101).Name, s().block(101).Name);
}

// While File Open reads, the drawings the reader asks for are computed and painted
// once: before a message box shows the picture, and after the reading. The Values
// they compute are those of the batch runner, which draws nothing.
TEST_F(MainWindow, ReadingAModelPaintsWhatWasReadBeforeAMessageAndAfterTheReading) {
  Open();
  TempDir dir;
  const std::string model = dir.path("model.txt");
  WriteTextFile(model,
                "@C   101   tank   200   200   1   3   0   0   0   0   0   0   -1   0   0   100   0   0   30 \"\"\r\n"
                "@V   102   gauge   300   200   1   3   0   101   0   0   0   0   -1   0   0   0   0   100   0 \"\"\r\n"
                "@C   103   bad   400   300   1   3   0   0   0   0   0   0   -1   0   0   x   0   0   0 \"\"\r\n"
                "@C   104   late   500   400   1   3   0   0   0   0   0   0   -1   0   0   100   0   0   5 \"\"\r\n");
  const auto painted = [this](int id) {
    const TBlock& b = s().block(id);
    return window->diagram_box()->surface().image().pixel(b.XX + 3, b.YY + 5) != qRgb(255, 255, 255);
  };
  Modals modals;
  modals.Then([model](QWidget* w) { ChooseFile(w, model); });
  bool first_painted_at_message = false, late_painted_at_message = true;
  modals.Then([&](QWidget* w) {
    first_painted_at_message = painted(101);
    late_painted_at_message = painted(104);
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text().toStdString(), "Problem in reading data for Block   103");
    box->accept();
  });
  Item("OpenItem")->trigger();
  EXPECT_TRUE(modals.done());
  EXPECT_TRUE(first_painted_at_message);
  // The problems of a file are shown together once the reading ends (one box, however
  // many lines are bad), so the block after the bad line is drawn by then.
  EXPECT_TRUE(late_painted_at_message);
  EXPECT_TRUE(painted(101));
  EXPECT_TRUE(painted(104));
  const CliResult batch = RunCli({"exec", "-c", "open " + model + "; print 102.Value"});
  EXPECT_EQ(batch.out, "message: Problem in reading data for Block   103\n" + FormatGeneral(s().block(102).Value) + "\n");
  EXPECT_EQ(s().block(102).Value, 30);
}

TEST_F(MainWindow, AnErrorInAHandlerShowsItsBoxAndTheProgramGoesOn) {
  Open({ExamplePath("damped_oscillator.txt")});
  Click("ResetBtn");
  s().block(101).An = 5000;  // a link outside the table
  Modals modals;
  modals.ThenMessage();
  Click("RunBtn");
  // The program's own message, and below it which value went beyond which bounds.
  ASSERT_EQ(modals.messages, (std::vector<std::string>{
                                 "Range check error\n\nblock 101 (velocity): An 5000: a connection is a block ID in 0..1000"}));
  EXPECT_TRUE(s().HoldFlag);
  EXPECT_FALSE(s().RunBusy);
  EXPECT_EQ(Find<QPushButton>("RunBtn")->text().toStdString(), "RUN");
  s().block(101).An = 0;
  const double t = s().Time;
  Click("StepBtn");  // the program goes on
  EXPECT_DOUBLE_EQ(s().Time, t + s().Delt);
}

TEST_F(MainWindow, ADrawingErrorIsShownOnceUntilTheViewChanges) {
  Open();
  // A Visualizer that takes its colour span from ColourMin..ColourMax, which is empty.
  NewBlock(s(), BlockType::Visualizer, 101, 200, 200);
  s().block(101).State = 3;
  s().block(101).pp = 0;
  s().HighestBlock = 101;
  s().ColourMax = s().ColourMin = 0;
  s().PlotFlag = true;  // the plot panel, whose new size repaints everything
  window->SyncWidgets();
  Modals modals;
  modals.ThenMessage();
  Click("GridBtn");  // a handler's repaint: the error is shown
  ASSERT_EQ(modals.messages.size(), 1u);
  // Repaints that no handler asked for (a new size) do not show it again...
  for (int i = 0; i < 3; ++i) {
    window->resize(window->width() + 20, window->height());
    window->guard().Repaint(window.get(), [this] { window->GraphBxPaint(); });
    QTest::qWait(20);
  }
  EXPECT_EQ(modals.messages.size(), 1u);
  // ...until the view changes.
  modals.ThenMessage();
  Click("NumbersBtn");
  ASSERT_EQ(modals.messages.size(), 2u);
  EXPECT_EQ(modals.messages[0], "Invalid floating point operation in block 101 while drawing it");
  EXPECT_EQ(modals.messages[1], modals.messages[0]);
  window->guard().Repaint(window.get(), [this] { window->GraphBxPaint(); });
  EXPECT_EQ(modals.messages.size(), 2u);
}

TEST_F(MainWindow, AFileWithManyBadLinesIsOneBox) {
  TempDir dir;
  const std::string path = dir.path("bad.txt");
  std::string text = "Dorvanek-Consulting:Analogue and Petri-Net Simulator: Trevolan4\r\n";
  std::string expected;
  for (int id = 101; id <= 125; ++id) {
    text += "@C   " + std::to_string(id) + "   c   10   20   1   2   0   0   0   0   0   0   -1   0   0   bad   50   0   5 \"\"\r\n";
    if (id <= 110) expected += "Problem in reading data for Block   " + std::to_string(id) + "\n";
  }
  WriteTextFile(path, text);
  Modals modals;
  modals.ThenMessage();
  Open({path});
  ASSERT_TRUE(QTest::qWaitFor([&] { return modals.done(); }, 5000));
  ASSERT_EQ(modals.messages.size(), 1u);
  EXPECT_EQ(modals.messages[0], expected + "and 15 more problems in " + path);
}

TEST_F(MainWindow, TimingDialogFromTheTimePanel) {
  Open();
  Modals modals;
  std::string delt, title;
  modals.Then([&](QWidget* dialog) {
    title = dialog->windowTitle().toStdString();
    delt = Text(dialog, "Edit4");
    Type(dialog, "Edit4", "zero");
    Press(dialog, "Apply");  // fails: the box comes and the dialog stays
  });
  modals.ThenMessage();
  modals.Then([&](QWidget* dialog) {
    Type(dialog, "Edit4", "0.5");
    Press(dialog, "Apply");
  });
  QTest::mouseClick(Find<QWidget>("TickPnl"), Qt::LeftButton);
  EXPECT_EQ(title, "Timing Data for Simulation");
  EXPECT_EQ(delt, "1");
  EXPECT_EQ(modals.messages, (std::vector<std::string>{"'zero' is not a valid floating point value"}));
  EXPECT_EQ(s().Delt, 0.5);
  EXPECT_EQ(s().block(3).Value, 0.5);
}

TEST_F(MainWindow, NumberDisplayDialogFromTheRightButton) {
  Open();
  Modals modals;
  int panels = 0;
  QColor first, twentieth;
  modals.Then([&](QWidget* dialog) {
    for (int k = 1; k <= 21; ++k) panels += dialog->findChild<QWidget*>(QStringLiteral("Panel%1").arg(k)) ? 1 : 0;
    first = Child<QWidget>(dialog, "Panel1")->palette().color(QPalette::Window);
    twentieth = Child<QWidget>(dialog, "Panel20")->palette().color(QPalette::Window);
    Type(dialog, "Edit4", "2.5");
    Press(dialog, "ApplyBtn");  // stays open
    Press(dialog, "CancelBtn");
  });
  Click("NumbersBtn", Qt::RightButton);
  EXPECT_EQ(panels, 21);
  EXPECT_EQ(first, QColor(0, 0, 0));
  EXPECT_EQ(twentieth, QColor(255, 255, 228));  // the legend's panel of entry 19
  EXPECT_EQ(s().ScaleFactr, 2.5);
  EXPECT_EQ(s().NumberMode, 0);  // the right button does not step the mode
}

TEST_F(MainWindow, InsertAndCopyFromTheEditMenu) {
  Open({ExamplePath("damped_oscillator.txt")});
  const int highest = s().HighestBlock;
  Modals modals;
  std::string proposed, from, to;
  modals.Then([&](QWidget* dialog) {
    proposed = Text(dialog, "Edit2");
    Type(dialog, "TypEdit", "c");
    Type(dialog, "Edit2", "101");
    Press(dialog, "ApplyBtn");
  });
  modals.Then([&](QWidget* dialog) {  // the block dialog on the new block
    EXPECT_EQ(Text(dialog, "Edit1"), "101");
    Press(dialog, "ApplyBtn");
  });
  Item("InsertItem")->trigger();
  EXPECT_EQ(proposed, std::to_string(highest));
  EXPECT_EQ(s().HighestBlock, highest + 1);
  EXPECT_EQ(s().block(101).Type, BlockType::Container);

  modals.Then([&](QWidget* dialog) {
    from = Text(dialog, "FromID");
    to = Text(dialog, "ToID");
    Press(dialog, "ApplyBtn");
  });
  Item("CopyItem")->trigger();
  EXPECT_EQ(from, "31");
  EXPECT_EQ(to, std::to_string(highest + 2));
  EXPECT_EQ(s().HighestBlock, highest + 2);
  EXPECT_EQ(s().block(highest + 2).Name, "PI");
}

TEST_F(MainWindow, InsertDialogKeepsItsTypeFromOneOpeningToTheNext) {
  Open();
  Modals modals;
  std::string type_shown;
  modals.Then([&](QWidget* dialog) {
    Type(dialog, "TypEdit", "K");
    Press(dialog, "CancelBtn");
  });
  modals.Then([&](QWidget* dialog) {
    type_shown = Text(dialog, "TypEdit");
    Press(dialog, "CancelBtn");
  });
  Item("InsertItem")->trigger();
  Item("InsertItem")->trigger();
  EXPECT_EQ(type_shown, "K");
  EXPECT_EQ(s().HighestBlock, 100);
}

TEST_F(MainWindow, HelpShowsTheAboutBox) {
  Open();
  Modals modals;
  std::string product, paths;
  modals.Then([&](QWidget* dialog) {
    product = Child<QLabel>(dialog, "ProductLb")->text().toStdString();
    paths = Child<QLabel>(dialog, "PathsLb")->text().toStdString();
    qobject_cast<QDialog*>(dialog)->accept();
  });
  Item("HelpItem")->trigger();
  EXPECT_EQ(product, "Trevolan4");
  const std::string examples = ExamplesFolder();
  EXPECT_TRUE(std::filesystem::exists(examples + "/damped_oscillator.txt")) << examples;
  EXPECT_NE(paths.find("Example models: " + examples + "\n"), std::string::npos) << paths;
}

TEST_F(MainWindow, ExitDuringARunEndsTheRun) {
  Open({ExamplePath("damped_oscillator.txt")});
  RunForever(s());
  QTimer::singleShot(100, [&] { Item("ExitItem")->trigger(); });
  Click("RunBtn");
  EXPECT_TRUE(s().HoldFlag);
  EXPECT_FALSE(s().RunBusy);
  EXPECT_LT(s().Time, s().Holdnext);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindow, AnimationDrawsTheBlocksWhileRunning) {
  Open({ExamplePath("damped_oscillator.txt")});
  Click("ResetBtn");
  Click("NumbersBtn");
  Click("NumbersBtn");
  Click("NumbersBtn");  // NumberMode 3: values on the number lines
  const QImage before = window->diagram_box()->surface().image().copy();
  Click("StepBtn");
  s().Holdnext = s().Time + 50 * s().Delt;  // up to a graph step
  Click("RunBtn");
  EXPECT_NE(window->diagram_box()->surface().image(), before);
}

}  // namespace
}  // namespace trevolan::testing

// The window for everyday work: nothing lost on close or crash, undo and redo, zoom,
// recent files, a dropped model, exports and the first run's hint.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <sstream>

#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QSvgRenderer>
#include <QUrl>
#include <QWheelEvent>

#include "app/diagram_zoom.h"
#include "app/model_history.h"
#include "app/paint_box.h"
#include "app/recovery.h"
#include "model/file_commands.h"
#include "model/atomic_file.h"
#include "model/document.h"
#include "model/model_file.h"
#include "window_support.h"

namespace trevolan::testing {

namespace {

using Everyday = WindowTest;

std::string ModelText(const Sim& s) { return ModelFileText(s, "recorded"); }

// Presses a button of the message box that comes up, and keeps its text.
Modals::Action Answer(QMessageBox::StandardButton button, std::string* text = nullptr) {
  return [button, text](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr) << "expected a message box, got " << w->objectName().toStdString();
    if (text) *text = box->text().toStdString();
    box->button(button)->click();
  };
}

// In a file dialog, the full path typed as the file name, and OK.
Modals::Action Choose(const std::string& path) {
  return [path](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr) << "expected a file dialog";
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString(path));
    static_cast<QDialog*>(dialog)->accept();
  };
}

// A left click on the diagram at a point of the model, shown at the box's zoom.
void ClickAt(PaintBox* box, QPoint model, Qt::MouseButton button = Qt::LeftButton) {
  const QPoint at((QPointF(model) * box->zoom()).toPoint());
  QTest::mouseClick(box, button, {}, at);
}

void Drag(PaintBox* box, QPoint from, QPoint to) {
  QTest::mousePress(box, Qt::LeftButton, {}, (QPointF(from) * box->zoom()).toPoint());
  QTest::mouseRelease(box, Qt::LeftButton, {}, (QPointF(to) * box->zoom()).toPoint());
}

QPoint On(const TBlock& b) { return QPoint(b.XX + 3, b.YY + 3); }

class CurrentFolder {
 public:
  explicit CurrentFolder(const std::string& dir) : saved_(QDir::currentPath()) { QDir::setCurrent(QString::fromStdString(dir)); }
  ~CurrentFolder() { QDir::setCurrent(saved_); }

 private:
  QString saved_;
};

TEST_F(Everyday, CloseNewAndSaveAskBeforeChangesAreLost) {
  TempDir dir;
  const CurrentFolder here(dir.dir());  // Save Model writes "SaveFile" here
  Open({ExamplePath("damped_oscillator.txt")});
  EXPECT_EQ(Caption(), "Trevolan4");
  const int on = s().block(101).OnOff;
  ClickAt(window->diagram_box(), On(s().block(101)));
  ASSERT_NE(s().block(101).OnOff, on);
  EXPECT_EQ(Caption(), "Trevolan4*");

  Modals modals;
  std::string question;
  modals.Then(Answer(QMessageBox::Cancel, &question));
  Item("ExitItem")->trigger();
  // The question names the file that Save writes: the model's save file, by the file rules.
  const std::string save_file = Document::Key(dir.path("savefile.txt"));
  EXPECT_EQ(question, "Save changes to damped_oscillator.txt as " + save_file + "?");
  EXPECT_TRUE(window->isVisible());  // Cancel keeps the window and the changes
  EXPECT_NE(s().block(101).OnOff, on);

  // New asks too; its Save writes where the question said, and the status line says so.
  modals.Then(Answer(QMessageBox::Save));
  Item("NewItem")->trigger();
  EXPECT_EQ(s().HighestBlock, 100);
  EXPECT_EQ(Caption(), "Trevolan (savefile.txt)");
  EXPECT_EQ(window->statusBar()->currentMessage().toStdString(), "Saved to " + save_file);
  auto kept = std::make_unique<Sim>();
  FileOpen(*kept, save_file);
  EXPECT_NE(kept->block(101).OnOff, on);

  // After Open, Save Model would write "SaveFile": a file of that name that this
  // program never opened nor wrote is not replaced without asking; No opens Save As.
  WriteTextFile(dir.path("SaveFile"), "someone else's");
  modals.Then(Choose(ExamplePath("damped_oscillator.txt")));
  Item("OpenItem")->trigger();
  ClickAt(window->diagram_box(), On(s().block(102)));
  EXPECT_EQ(Caption(), "Trevolan SaveFile*");
  modals.Then(Answer(QMessageBox::No, &question));
  modals.Then(Choose(dir.path("other.txt")));
  Item("SaveModelItem")->trigger();
  EXPECT_EQ(question, "The file " + Document::Key(dir.path("SaveFile")) +
                          " exists, and this program did not open or save it. Replace it with damped_oscillator.txt?");
  EXPECT_EQ(ReadTextFile(dir.path("SaveFile")), "someone else's");
  EXPECT_EQ(Caption(), "other.txt Trevolan");
  // A file this session wrote is replaced without a question; no changes, no question.
  ClickAt(window->diagram_box(), On(s().block(102)));
  Item("SaveModelItem")->trigger();
  EXPECT_EQ(Caption(), "other.txt Trevolan");
  Item("ExitItem")->trigger();
  EXPECT_FALSE(window->isVisible());
}

// Wherever the model came from, the question before its changes are lost and the tip of
// Save Model name the model and, in full, the file Save writes; Open says it in the
// status line, and Save As starts beside the model's own file under its name.
TEST_F(Everyday, WhereSaveWritesIsSaidEveryTime) {
  TempDir dir;
  const CurrentFolder here(dir.dir());
  const std::string model = ExamplePath("damped_oscillator.txt");
  Open({model});
  Modals modals;
  std::string save_as_folder, save_as_name;
  struct Situation {
    const char* how;
    std::function<void()> reach;
    std::string name, target;
  };
  const Situation situations[] = {
      {"started with a model", [] {}, "damped_oscillator.txt", dir.path("savefile.txt")},
      {"opened",
       [&] {
         modals.Then(Answer(QMessageBox::Discard));
         modals.Then(Choose(model));
         Item("OpenItem")->trigger();
         EXPECT_EQ(window->statusBar()->currentMessage().toStdString(),
                   "Opened " + Document::Key(model) + "; Save Model writes " + dir.path("SaveFile"));
       },
       "damped_oscillator.txt", dir.path("SaveFile")},
      {"saved as",
       [&] {
         modals.Then([&](QWidget* w) {
           auto* dialog = qobject_cast<QFileDialog*>(w);
           ASSERT_NE(dialog, nullptr);
           save_as_folder = dialog->directory().absolutePath().toStdString();
           save_as_name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text().toStdString();
           Choose(dir.path("other.txt"))(w);
         });
         Item("SaveAsItem")->trigger();
         EXPECT_EQ(save_as_folder, QFileInfo(QString::fromStdString(model)).absolutePath().toStdString());
         EXPECT_EQ(save_as_name, "damped_oscillator.txt");
       },
       "other.txt", dir.path("other.txt")},
      {"new",
       [&] {
         modals.Then(Answer(QMessageBox::Discard));
         Item("NewItem")->trigger();
       },
       "the new model", dir.path("other.txt")},
  };
  for (const Situation& situation : situations) {
    SCOPED_TRACE(situation.how);
    situation.reach();
    EXPECT_EQ(Item("SaveModelItem")->statusTip().toStdString(), "Writes the model to " + situation.target);
    std::string question;
    modals.Then([](QWidget* d) { Press(d, "ApplyBtn"); });
    Item("CreateZItem")->trigger();
    modals.Then(Answer(QMessageBox::Cancel, &question));
    Item("ExitItem")->trigger();
    EXPECT_EQ(question, "Save changes to " + situation.name + " as " + situation.target + "?");
  }
}

// Every kind of edit through the window, undone and redone: the model file's text goes
// back and forth exactly, and the Edit menu names the edit.
TEST_F(Everyday, UndoAndRedoOfEveryKindOfEdit) {
  Open({ExamplePath("damped_oscillator.txt")});
  Click("ResetBtn");
  PaintBox* box = window->diagram_box();
  Modals modals;
  const auto dialog = [&modals](std::function<void(QWidget*)> act) { modals.Then(std::move(act)); };
  struct Kind {
    std::string name;
    std::function<void()> edit;
  };
  const Kind kinds[] = {
      {"Click on block 101", [&] { ClickAt(box, On(s().block(101))); }},
      {"Move block 102", [&] { Drag(box, On(s().block(102)), On(s().block(102)) + QPoint(40, 30)); }},
      {"Apply to block 103",
       [&] {
         dialog([](QWidget* d) {
           Type(d, "Edit2", "stiff");
           Type(d, "Edit15", "-0.2");
           Press(d, "ApplyBtn");
         });
         ClickAt(box, On(s().block(103)), Qt::RightButton);
       }},
      {"Delete block 104",
       [&] {
         dialog([](QWidget* d) { Press(d, "DeleteBtn"); });
         ClickAt(box, On(s().block(104)), Qt::RightButton);
       }},
      {"Create block 106",
       [&] {
         dialog([](QWidget* d) { Press(d, "ApplyBtn"); });
         Item("CreateZItem")->trigger();
       }},
      {"Insert block 102",
       [&] {
         dialog([](QWidget* d) {
           Type(d, "TypEdit", "K");
           Type(d, "Edit2", "102");
           Press(d, "ApplyBtn");
         });
         dialog([](QWidget* d) { Press(d, "ApplyBtn"); });
         Item("InsertItem")->trigger();
       }},
      {"Copy block 31 to 108",
       [&] {
         dialog([](QWidget* d) {
           Type(d, "ToID", "120");  // beyond the end: the next free ID, with a message
           Press(d, "ApplyBtn");
         });
         modals.ThenMessage();
         Item("CopyItem")->trigger();
       }},
      {"Apply timing",
       [&] {
         dialog([](QWidget* d) {
           Type(d, "Edit4", "0.5");
           Press(d, "Apply");
         });
         QTest::mouseClick(Find<QWidget>("TickPnl"), Qt::LeftButton);
       }},
      {"Apply number display",
       [&] {
         dialog([](QWidget* d) {
           Type(d, "Edit4", "2.5");
           Press(d, "ApplyBtn");
           Press(d, "CancelBtn");
         });
         Click("NumbersBtn", Qt::RightButton);
       }},
      {"Apply to block 19",
       [&] {
         dialog([](QWidget* d) {
           Type(d, "Edit2", "Scope");
           Press(d, "ApplyBtn");
         });
         Click("GraphBtn", Qt::RightButton);
       }},
  };
  const std::string original = ModelText(s());
  QAction* undo = Item("UndoItem");
  QAction* redo = Item("RedoItem");
  EXPECT_FALSE(undo->isEnabled());
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.name);
    const std::string before = ModelText(s());
    k.edit();
    ASSERT_TRUE(modals.done());
    const std::string after = ModelText(s());
    ASSERT_NE(after, before);
    EXPECT_EQ(undo->text().toStdString(), "Undo " + k.name);
    EXPECT_EQ(undo->shortcut(), QKeySequence(QKeySequence::Undo));
    EXPECT_EQ(Caption().back(), '*');
    undo->trigger();
    EXPECT_EQ(ModelText(s()), before);
    EXPECT_EQ(redo->text().toStdString(), "Redo " + k.name);
    redo->trigger();
    EXPECT_EQ(ModelText(s()), after);
  }
  // All the way back is the model as loaded, with nothing to save.
  while (undo->isEnabled()) undo->trigger();
  EXPECT_EQ(ModelText(s()), original);
  EXPECT_EQ(Caption(), "Trevolan4");
  // Running is no edit.
  s().Holdnext = s().Time + 20 * s().Delt;
  Click("RunBtn");
  EXPECT_FALSE(undo->isEnabled());
  EXPECT_EQ(Caption(), "Trevolan4");
  // Undo during a run holds it first.
  ClickAt(box, On(s().block(101)));
  s().FinTim = s().Holdstep = 1e12;
  s().Holdnext = s().Time + 2e6 * s().Delt;
  bool undone_while_running = false;
  QTimer::singleShot(100, [&] {
    undone_while_running = s().RunBusy;
    undo->trigger();
  });
  Click("RunBtn");  // returns when the run holds
  EXPECT_TRUE(undone_while_running);
  EXPECT_TRUE(s().HoldFlag);
  EXPECT_LT(s().Time, s().Holdnext);
  EXPECT_EQ(s().block(101).OnOff, 1);
  EXPECT_EQ(Caption(), "Trevolan4");
}

TEST_F(Everyday, ZoomShowsTheSamePictureAndClicksHitTheRightBlock) {
  Open({ExamplePath("damped_oscillator.txt")});
  PaintBox* box = window->diagram_box();
  DiagramZoom& zoom = window->zoom();
  const auto shown = [box] { return box->grab().toImage().convertToFormat(QImage::Format_RGB32); };
  const QImage& picture = box->surface().image();
  EXPECT_EQ(shown(), picture.convertToFormat(QImage::Format_RGB32));  // 100 %: pixel for pixel

  for (const double z : {0.5, 2.0, 1.0}) {
    SCOPED_TRACE(z);
    zoom.SetZoom(z);
    EXPECT_EQ(box->size(), QSize(1400, 1000) * z);
    // A click toggles the block under it; a drag moves it in model pixels.
    const TBlock& b = s().block(102);
    const int on = b.OnOff, x = b.XX, y = b.YY;
    ClickAt(box, On(s().block(102)));
    EXPECT_NE(b.OnOff, on);
    EXPECT_EQ(s().block(101).OnOff, 1);
    Drag(box, QPoint(x + 4, y + 4), QPoint(x + 44, y + 24));  // the label's corner goes where the button goes up
    EXPECT_EQ(b.XX, x + 44);
    EXPECT_EQ(b.YY, y + 24);
    Drag(box, QPoint(x + 48, y + 28), QPoint(x, y));  // back where it was
    EXPECT_EQ(b.XX, x);
  }
  EXPECT_EQ(shown(), picture.convertToFormat(QImage::Format_RGB32));

  // At 200 % the diagram is drawn at that scale, not enlarged from its pixels: the
  // picture differs from the enlarged one, and the text's antialiased edges bring many
  // grey levels that 100 % has not. 67 % is drawn, not shrunk, the same way.
  const QImage actual = picture.convertToFormat(QImage::Format_RGB32);
  const auto colours = [](const QImage& image) {
    std::set<QRgb> seen;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) seen.insert(image.pixel(x, y));
    return seen.size();
  };
  for (const double z : {2.0, 0.67}) {
    SCOPED_TRACE(z);
    zoom.SetZoom(z);
    QCoreApplication::processEvents();  // the picture drawn anew
    const QImage drawn = shown();
    ASSERT_EQ(drawn.size(), QSize(1400, 1000) * z);
    EXPECT_NE(drawn, actual.scaled(drawn.size()));
    EXPECT_GT(colours(drawn), 2 * colours(actual));
  }
  zoom.SetZoom(1);
  QCoreApplication::processEvents();
  EXPECT_EQ(shown(), actual);  // and back at 100 % the same pixels again

  // Ctrl with the wheel zooms in a step; Actual Size and Fit.
  QWidget* viewport = Find<QScrollArea>("GraphScrBx")->viewport();
  QWheelEvent wheel(QPointF(100, 100), viewport->mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, 120),
                    Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(viewport, &wheel);
  EXPECT_EQ(zoom.zoom(), 1.25);
  Item("ActualSizeItem")->trigger();
  EXPECT_EQ(zoom.zoom(), 1.0);
  EXPECT_EQ(Item("ZoomInItem")->shortcut(), QKeySequence(QKeySequence::ZoomIn));
  Item("FitItem")->trigger();
  for (int id = 101; id <= s().HighestBlock; ++id) {
    const TBlock& b = s().block(id);
    EXPECT_LT((b.XX + 60) * zoom.zoom(), viewport->width()) << id;
    EXPECT_LT((b.YY + 26) * zoom.zoom(), viewport->height()) << id;
  }
  EXPECT_EQ(s().block(101).XX, 300);  // zooming never moves a block
}

// A model opened shows from its top left; the zoom keys keep in view what was shown:
// the point under the pointer over the diagram, else the top left of the visible part.
TEST_F(Everyday, OpenAndKeyZoomKeepTheModelInView) {
  Open({ExamplePath("damped_oscillator.txt")});
  auto* area = Find<QScrollArea>("GraphScrBx");
  QWidget* viewport = area->viewport();
  QScrollBar* h = area->horizontalScrollBar();
  QScrollBar* v = area->verticalScrollBar();
  h->setValue(250);
  v->setValue(200);
  ASSERT_GT(h->value(), 0);
  window->OpenModelFile(ExamplePath("damped_oscillator.txt"));
  EXPECT_EQ(QPoint(h->value(), v->value()), QPoint(0, 0));

  struct Case {
    const char* where;
    QPoint scroll;
    std::optional<QPoint> pointer;  // over the viewport
  };
  const Case cases[] = {
      {"top left, pointer elsewhere", {0, 0}, std::nullopt},
      {"scrolled, pointer elsewhere", {200, 150}, std::nullopt},
      {"pointer over the diagram", {100, 50}, QPoint(300, 200)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    Item("ActualSizeItem")->trigger();
    h->setValue(c.scroll.x());
    v->setValue(c.scroll.y());
    ASSERT_EQ(QPoint(h->value(), v->value()), c.scroll);
    QCursor::setPos(viewport->mapToGlobal(c.pointer.value_or(QPoint(-40, -40))));
    const QPoint anchor = c.pointer.value_or(QPoint(0, 0));
    const QPoint model = c.scroll + anchor;  // at 100 %
    for (int i = 0; i < 3; ++i) Item("ZoomInItem")->trigger();
    const double z = window->zoom().zoom();
    ASSERT_GT(z, 1.5);
    EXPECT_NEAR((h->value() + anchor.x()) / z, model.x(), 1.0);
    EXPECT_NEAR((v->value() + anchor.y()) / z, model.y(), 1.0);
  }
}

TEST_F(Everyday, RecentFilesADroppedModelExportsAndTheFirstRunHint) {
  TempDir dir;
  std::filesystem::copy_file(ExamplePath("integrators.txt"), dir.path("a.txt"));
  Open();
  // A model dropped on the window opens.
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.path("a.txt")))});
  QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  // Straight to the window: outside a real drag, QApplication passes no drop on.
  static_cast<QObject*>(window.get())->event(&drop);
  ASSERT_TRUE(QTest::qWaitFor([this, &dir] { return s().DataFileName == dir.path("a.txt"); }, 3000));
  EXPECT_EQ(Item("RecentItem1")->toolTip().toStdString(), dir.path("a.txt"));

  // RUN on a model never reset: the hint, once.
  QStatusBar* status = window->statusBar();
  s().Holdnext = s().Time + 5 * s().Delt;
  Click("RunBtn");
  EXPECT_EQ(status->currentMessage().toStdString(), "Press RESET to start from the model's initial values");
  status->clearMessage();
  s().Holdnext = s().Time + 5 * s().Delt;
  Click("RunBtn");
  EXPECT_EQ(status->currentMessage().toStdString(), "");

  // Exports through the File menu.
  Modals modals;
  modals.Then(Choose(dir.path("diagram.svg")));
  modals.Then(Choose(dir.path("tape.csv")));
  Item("ExportDiagramItem")->trigger();
  EXPECT_EQ(status->currentMessage().toStdString(), "Exported to " + dir.path("diagram.svg"));
  Item("ExportTapeCsvItem")->trigger();
  EXPECT_EQ(status->currentMessage().toStdString(), "Exported to " + dir.path("tape.csv"));
  EXPECT_TRUE(QSvgRenderer(QString::fromStdString(dir.path("diagram.svg"))).isValid());
  EXPECT_EQ(SplitLines(ReadTextFile(dir.path("tape.csv"))).size(), static_cast<size_t>(s().TapeIndex) + 2);

  // A recent model that has gone away leaves the list with a message.
  modals.Then(Choose(dir.path("b.txt")));
  Item("SaveAsItem")->trigger();
  EXPECT_EQ(Item("RecentItem1")->toolTip().toStdString(), dir.path("b.txt"));
  EXPECT_EQ(Item("RecentItem2")->toolTip().toStdString(), dir.path("a.txt"));
  std::filesystem::remove(dir.path("b.txt"));
  modals.ThenMessage();
  Item("RecentItem1")->trigger();
  ASSERT_EQ(modals.messages.size(), 1u);
  EXPECT_NE(modals.messages[0].find("b.txt"), std::string::npos);
  EXPECT_EQ(Item("RecentItem1")->toolTip().toStdString(), dir.path("a.txt"));

  // The window's place and size and the plot panel's height are kept for the next
  // session.
  window->resize(1150, 750);
  auto* panel = Find<QWidget>("GrPlotPnl");
  Click("GraphBtn");
  EXPECT_EQ(panel->height(), 450);
  auto* splitter = Find<QSplitter>("PlotSplitter");
  splitter->setSizes({splitter->height() - 300, 300});
  ASSERT_EQ(panel->height(), 300);
  Item("ExitItem")->trigger();
  Open();
  window->resize(1300, 900);
  EXPECT_TRUE(window->RestoreWindowSettings());
  EXPECT_EQ(window->size(), QSize(1150, 750));
  Click("GraphBtn");
  EXPECT_EQ(Find<QWidget>("GrPlotPnl")->height(), 300);

  // A start with a model that is not there says so and adds nothing to the list.
  Item("ExitItem")->trigger();
  Modals missing;
  missing.ThenMessage();
  Open({dir.path("missing.txt")});
  ASSERT_TRUE(QTest::qWaitFor([&] { return missing.done(); }, 5000));
  EXPECT_NE(missing.messages.at(0).find("missing.txt"), std::string::npos) << missing.messages.at(0);
  EXPECT_EQ(Item("RecentItem1")->toolTip().toStdString(), dir.path("a.txt"));
  EXPECT_FALSE(window->document().modified());

  // Two models of one name are told apart by their folders.
  std::filesystem::create_directory(dir.path("sub"));
  std::filesystem::copy_file(ExamplePath("integrators.txt"), dir.path("sub/a.txt"));
  window->OpenModelFile(dir.path("sub/a.txt"));
  EXPECT_EQ(Item("RecentItem1")->text().toStdString(), "&1 a.txt (" + dir.path("sub") + ")");
  EXPECT_EQ(Item("RecentItem2")->text().toStdString(), "&2 a.txt (" + dir.dir() + ")");
}

// The model of the recovery test, edited in a child process: a block switched and one
// moved, the expected model text written next to it.
void EditInChild(TForm1& w, const std::string& dir) {
  PaintBox* box = w.diagram_box();
  ClickAt(box, On(w.sim().block(101)));
  Drag(box, On(w.sim().block(102)), On(w.sim().block(102)) + QPoint(30, 50));
  WriteTextFile(dir + "/expected.txt", ModelText(w.sim()));
}

// Starts this test program as a child in `role` (RunChild), waits until it says `word`,
// sends it the signal and waits for its end.
void SignalChild(QProcess& child, const QString& role, const char* word, int signo) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("TREVOLAN_WINDOW_TEST_CHILD"), role);
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(), {});
  ASSERT_TRUE(child.waitForStarted(5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return child.readAllStandardOutput().contains(word) ||
                                            child.state() != QProcess::Running; }, 20000));
  ASSERT_EQ(child.state(), QProcess::Running) << child.readAllStandardError().toStdString();
  ::kill(static_cast<pid_t>(child.processId()), signo);
  ASSERT_TRUE(child.waitForFinished(10000));
}

// A program with unsaved changes that is killed (SIGKILL: its last recovery copy) or
// terminated (SIGTERM: a copy written as it ends) leaves a copy that the next start
// offers, naming the model, and restores as the model was.
TEST_F(Everyday, ARecoveryCopySurvivesAKillAndIsRestored) {
  for (const int signo : {SIGKILL, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signo);
    TempDir dir;
    std::filesystem::copy_file(ExamplePath("damped_oscillator.txt"), dir.path("model.txt"));
    QProcess child;
    const QString role = QStringLiteral("recovery %1 %2").arg(signo).arg(QString::fromStdString(dir.dir()));
    ASSERT_NO_FATAL_FAILURE(SignalChild(child, role, "ready", signo));
    if (signo != SIGKILL) {
      EXPECT_EQ(child.exitCode(), 128 + signo);
    }
    // The copy is the user's alone, and names its files by absolute paths, so that it is
    // restored to where it came from whatever the working folder.
    const QString folder = RecoveryFiles::DefaultFolder();
    const QStringList left = QDir(folder).entryList({QStringLiteral("*.recovery")});
    ASSERT_EQ(left.size(), 1);
    const std::string copy_path = (folder + QLatin1Char('/') + left.front()).toStdString();
    EXPECT_EQ(std::filesystem::status(folder.toStdString()).permissions(), std::filesystem::perms::owner_all);
    EXPECT_EQ(std::filesystem::status(copy_path).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const RecoveryCopy kept = ParseRecoveryText(ReadWholeFile(copy_path));
    for (const std::string& path : {kept.model_file, kept.data_file, kept.save_file}) {
      EXPECT_EQ(path.front(), '/') << path;
    }

    Modals modals;
    std::string offer;
    modals.Then([&offer](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      offer = box->text().toStdString();
      for (QAbstractButton* b : box->buttons()) {
        if (b->text() == QStringLiteral("Restore")) b->click();
      }
    });
    Open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return modals.done(); }, 5000));
    QApplication::processEvents();
    EXPECT_NE(offer.find("Unsaved changes to model.txt were kept at "), std::string::npos) << offer;
    // The save file comes back as the absolute path it stood for in the child's folder.
    std::string expected = ReadTextFile(dir.path("expected.txt"));
    const std::string relative = "This file is savefile.txt\r\n";
    ASSERT_NE(expected.find(relative), std::string::npos);
    expected.replace(expected.find(relative), relative.size(),
                     "This file is " + Document::Key("savefile.txt") + "\r\n");
    EXPECT_EQ(ModelText(s()), expected);
    EXPECT_EQ(Caption(), "Trevolan4*");  // restored, not saved
    // The copy left behind is gone; this session's own has taken over.
    const QStringList copies = QDir(RecoveryFiles::DefaultFolder()).entryList({QStringLiteral("*.recovery")});
    EXPECT_EQ(copies, QStringList{QFileInfo(window->recovery().path()).fileName()});
    window.reset();
  }
}

// The text of a recovery copy of the model file `model`, changed since it was opened.
std::string RecoveryCopyOf(const std::string& model) {
  auto kept = std::make_unique<Sim>();
  FileOpen(*kept, model);
  Document d;
  d.Loaded(model, true);
  d.SetModified(true);
  return RecoveryText(*kept, d, "now");
}

// A copy is deleted only by Discard or once restored: a signal that ends the program
// while it asks leaves the copy, and a copy older than its model file (written since by
// another window or a batch run) is offered, saying so, not deleted in silence.
TEST_F(Everyday, ARecoveryCopyIsDeletedOnlyByDiscardOrARestore) {
  TempDir dir;
  const std::string model = dir.path("model.txt");
  std::filesystem::copy_file(ExamplePath("damped_oscillator.txt"), model);
  QString copy;
  {  // a session that ended without closing: its copy and its lock file stay, unlocked
    RecoveryFiles files;
    files.Write(RecoveryCopyOf(model));
    copy = files.path();
  }
  ASSERT_TRUE(QFileInfo::exists(copy + QStringLiteral(".lock")));
  for (const int signo : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signo);
    QProcess child;
    ASSERT_NO_FATAL_FAILURE(SignalChild(child, QStringLiteral("offer %1 -").arg(signo), "asking", signo));
    EXPECT_EQ(child.exitCode(), 128 + signo);
    EXPECT_TRUE(QFileInfo::exists(copy));
  }
  std::filesystem::last_write_time(model, std::filesystem::file_time_type::clock::now() + std::chrono::hours(1));
  Modals modals;
  std::string offer;
  modals.Then(Answer(QMessageBox::Discard, &offer));
  Open();
  ASSERT_TRUE(QTest::qWaitFor([&] { return modals.done(); }, 5000));
  QApplication::processEvents();
  EXPECT_NE(offer.find("Unsaved changes to model.txt were kept at "), std::string::npos) << offer;
  EXPECT_NE(offer.find("model.txt has been written since, at "), std::string::npos) << offer;
  EXPECT_FALSE(QFileInfo::exists(copy));
  EXPECT_FALSE(QFileInfo::exists(copy + QStringLiteral(".lock")));  // no lock files pile up
}

// The recovery folder is refused when it is a symbolic link or another user's (the
// copies could be read there or be sent elsewhere); an open one is closed to 0700.
TEST(Recovery, TheFolderIsTheUsersAlone) {
  TempDir dir;
  std::filesystem::create_directory(dir.path("elsewhere"));
  std::filesystem::create_directory_symlink(dir.path("elsewhere"), dir.path("link"));
  std::filesystem::create_directory(dir.path("theirs"));
  const bool root = ::geteuid() == 0;  // only root can give a folder to another user
  if (root) {
    ASSERT_EQ(::chown(dir.path("theirs").c_str(), 65534, 65534), 0);
  }
  std::filesystem::create_directory(dir.path("open"));
  std::filesystem::permissions(dir.path("open"), std::filesystem::perms::all);
  const struct {
    std::string folder, refusal;
  } cases[] = {{"link", "is a symbolic link: no recovery copy is written"},
               {"theirs", "belongs to another user: no recovery copy is written"},
               {"open", ""},
               {"new/folder", ""}};
  for (const auto& c : cases) {
    if (c.folder == "theirs" && !root) continue;
    RecoveryFiles files(QString::fromStdString(dir.path(c.folder)));
    if (c.refusal.empty()) {
      files.Write("text");
      EXPECT_EQ(std::filesystem::status(dir.path(c.folder)).permissions(), std::filesystem::perms::owner_all);
      files.Remove();
      continue;
    }
    try {
      files.Write("text");
      ADD_FAILURE() << c.folder << " was written into";
    } catch (const IoError& e) {
      EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
    }
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path("elsewhere")));
}

// A copy is left by a session that ended exactly when its lock can be had, whatever
// process ID its lock file records: a lock judged by process ID takes one held by a
// live session whose ID looks gone from here (a session in another PID namespace, a
// container sharing the home folder), and never takes a free one whose ID names a
// live process of this program (an ID used again, or one of another namespace).
TEST(Recovery, ACopyIsLeftExactlyWhenItsLockIsFree) {
  TempDir dir;
  const QString folder = QString::fromStdString(dir.path("recovery"));
  QString copy;
  {
    RecoveryFiles session(folder);
    session.Write(RecoveryCopyOf(ExamplePath("damped_oscillator.txt")));
    copy = session.path();
  }
  const std::string lock_path = (copy + QStringLiteral(".lock")).toStdString();
  // Records `pid` in the lock file as a lock judged by process ID (QLockFile) does, and
  // says whether such a lock of the same record could be taken.
  QLockFile own(QString::fromStdString(dir.path("own.lock")));
  ASSERT_TRUE(own.tryLock(0));
  const std::string own_record = ReadTextFile(dir.path("own.lock"));
  const std::string own_pid = std::to_string(::getpid());
  ASSERT_EQ(own_record.compare(0, own_pid.size() + 1, own_pid + "\n"), 0) << own_record;
  const auto record = [&](pid_t pid) {
    const std::string text = std::to_string(pid) + own_record.substr(own_pid.size());
    WriteTextFile(lock_path, text);
    const std::string twin = dir.path("by-pid-" + std::to_string(pid) + ".lock");
    WriteTextFile(twin, text);
    QLockFile by_pid(QString::fromStdString(twin));
    by_pid.setStaleLockTime(0);
    return by_pid.tryLock(0);
  };
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
  ASSERT_TRUE(record(gone));

  // Another process holds the lock until the test closes its pipe.
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  const int fd = ::open(lock_path.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    ::close(pipe_fds[1]);
    char byte;
    while (::read(pipe_fds[0], &byte, 1) < 0 && errno == EINTR) {
    }
    ::_exit(0);
  }
  ::close(fd);  // the lock is now the other process's alone
  ::close(pipe_fds[0]);
  RecoveryFiles next(folder);
  EXPECT_TRUE(next.Orphans().empty());
  EXPECT_TRUE(QFileInfo::exists(copy));
  ::close(pipe_fds[1]);
  ASSERT_EQ(::waitpid(holder, nullptr, 0), holder);

  ASSERT_FALSE(record(::getpid()));
  const std::vector<RecoveryFiles::Orphan> left = next.Orphans();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left.front().path, copy);
}

// Discard, then an Open that fails: the edit, its changed mark, its undo and its
// recovery copy stay as they were before the question.
TEST_F(Everyday, AFailedOpenAfterDiscardKeepsTheEdit) {
  TempDir dir;
  WriteTextFile(dir.path("plot.png"), "not a model");
  Open({ExamplePath("damped_oscillator.txt")});
  const int on = s().block(101).OnOff;
  ClickAt(window->diagram_box(), On(s().block(101)));
  ASSERT_EQ(Caption(), "Trevolan4*");
  window->WriteRecoveryCopy();
  ASSERT_TRUE(QFileInfo::exists(window->recovery().path()));
  Modals modals;
  std::string error;
  modals.Then(Answer(QMessageBox::Discard));
  modals.Then(Choose(dir.path("plot.png")));
  modals.Then(Answer(QMessageBox::Ok, &error));
  Item("OpenItem")->trigger();
  EXPECT_NE(error.find("is not a model file"), std::string::npos) << error;
  EXPECT_EQ(Caption(), "Trevolan4*");
  EXPECT_NE(s().block(101).OnOff, on);
  EXPECT_TRUE(Item("UndoItem")->isEnabled());
  EXPECT_TRUE(QFileInfo::exists(window->recovery().path()));
}

}  // namespace

// The child process of the test of a signal while the recovery copy is offered: says
// "asking" once the question shows, and waits for the signal.
int OfferInChild() {
  TForm1 window{TForm1::Options{}};
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&poll] {
    QWidget* box = QApplication::activeModalWidget();
    if (!box || box->objectName() != QStringLiteral("RecoveryBox")) return;
    poll.stop();
    std::printf("asking\n");
    std::fflush(stdout);
  });
  poll.start(20);
  window.show();
  return QApplication::exec();
}

// The child process of the recovery test: the window on DIR/model.txt, edited; with a
// recovery copy written at once when it is to be killed, or only when a signal ends it.
int RunChild(const std::string& role) {
  std::istringstream words(role);
  std::string what, dir;
  int signo = 0;
  words >> what >> signo >> dir;
  if (what == "offer") return OfferInChild();
  if (what != "recovery") return 2;
  TForm1::Options options;
  options.args = {dir + "/model.txt"};
  options.recovery_interval = signo == SIGKILL ? std::chrono::milliseconds(0) : std::chrono::hours(1);
  TForm1 window(std::move(options));
  window.show();
  if (!QTest::qWaitFor([&] { return window.main_form().activated; }, 10000)) return 3;
  EditInChild(window, dir);
  if (signo == SIGKILL &&
      !QTest::qWaitFor([&] { return QFileInfo::exists(window.recovery().path()); }, 10000)) {
    return 4;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  return QApplication::exec();
}

}  // namespace trevolan::testing

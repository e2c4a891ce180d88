// The main window's File menu and what keeps the user's work: the question about
// unsaved changes, the guard against replacing an unknown file, recent files, the
// recovery copies, exports, a dropped model and the window's kept settings.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include "app/diagram_selection.h"
#include "app/diagram_zoom.h"
#include "app/file_dialogs.h"
#include "app/main_window.h"
#include "app/model_history.h"
#include "app/paint_box.h"
#include "app/recent_files.h"
#include "app/recovery.h"
#include "app/user_link_window.h"
#include "app/widgets.h"
#include "display/qt_render.h"
#include "engine/run_loop.h"
#include "model/file_commands.h"
#include "model/model_file.h"
#include "model/tape_csv.h"

namespace trevolan {

namespace {

constexpr const char* kGeometryKey = "window/geometry";
constexpr const char* kPlotHeightKey = "window/plotHeight";

QString Now() { return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")); }

}  // namespace

void TForm1::BuildFileMenu(QMenu* file) {
  const auto item = [this, file](const char* caption, const char* name, auto handler) {
    QAction* a = file->addAction(QString::fromUtf8(caption));
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  item("&New", "NewItem", [this] { NewClick(); })->setShortcut(QKeySequence::New);
  item("&Open (model)", "OpenItem", [this] { OpenClick(std::nullopt); })->setShortcut(QKeySequence::Open);
  QMenu* recent = file->addMenu(QStringLiteral("Open &Recent"));
  recent->setObjectName(QStringLiteral("RecentMenu"));
  recent_ = new RecentFiles(recent, [this](const QString& path) { OpenModelFile(S(path)); });
  recent_->on_missing = [this](const QString& path) {
    EventGuard::ShowError(this, "The model " + S(path) + " is no longer there; it has left the list.");
  };
  item("Save Model &As", "SaveAsItem", [this] { SaveModelFileAs(); });
  SaveModelItem = item("Save &Model", "SaveModelItem", [this] { SaveModelFile(); });
  SaveModelItem->setShortcut(QKeySequence::Save);
  item("Save Tape a&s", "SaveTapeAsItem",
       [this] { Handle([this] { form_.SaveTapeAsClick(*sim_, ChooseSaveFile(this)); }); });
  item("Save &Tape", "SaveTapeItem", [this] { Handle([this] { FileSaveTape(*sim_); }); });
  file->addSeparator();
  item("Export &Diagram...", "ExportDiagramItem", [this] { ExportDiagram(); });
  item("Export &Plot...", "ExportPlotItem", [this] { ExportPlot(); });
  item("Export Tape as &CSV...", "ExportTapeCsvItem", [this] { ExportTapeCsv(); });
  file->addSeparator();
  item("E&xit", "ExitItem", [this] { close(); })->setShortcut(QKeySequence::Quit);
}

bool TForm1::Ask(const std::string& text, const char* name) {
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(), Q(text),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setObjectName(QString::fromLatin1(name));
  return box.exec() == QMessageBox::Yes;
}

bool TForm1::AskToSaveChanges() {
  if (!document_.modified()) return true;
  if (sim_->RunBusy) HoldRun(*sim_);
  // The question names the model and, in full, the file that Save writes: the model's
  // save file, which need not be the file it was read from.
  const std::string question = "Save changes to " + document_.DisplayName() + " as " + SaveTarget() + "?";
  QMessageBox box(QMessageBox::Warning, QApplication::applicationName(), Q(question),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setObjectName(QStringLiteral("SaveChangesBox"));
  box.setDefaultButton(QMessageBox::Save);
  switch (box.exec()) {
    case QMessageBox::Save: return SaveModelFile();
    case QMessageBox::Discard: return true;
    default: return false;
  }
}

bool TForm1::SaveModelFile() {
  const std::string path = sim_->SaveFileName;
  if (!document_.MayReplace(path) &&
      !Ask("The file " + SaveTarget() + " exists, and this program did not open or save it. Replace it with " +
               document_.DisplayName() + "?",
           "ReplaceFileBox")) {
    return SaveModelFileAs();
  }
  bool saved = false;
  Handle([this, &saved] {
    FileSaveModel(*sim_);
    saved = true;
  });
  if (saved) ModelWritten();
  return saved;
}

bool TForm1::SaveModelFileAs() {
  bool saved = false;
  Handle([this, &saved] {
    // Beside the model's own file, under its name: the folder the user works in.
    const std::string own = document_.model_file();
    const std::optional<std::string> path = ChooseSaveFile(this, own.empty() ? own : Document::Key(own));
    form_.SaveAsClick(*sim_, path);
    saved = path.has_value();
  });
  if (saved) ModelWritten();
  return saved;
}

void TForm1::ModelWritten() {
  document_.Written(sim_->SaveFileName);
  history_->MarkSaved();
  recovery_->Remove();
  recent_->Add(Q(sim_->SaveFileName));
  statusBar()->showMessage(Q("Saved to " + Document::Key(sim_->SaveFileName)), 10000);
}

void TForm1::ModelLoaded(bool with_save_file) {
  document_.Loaded(sim_->DataFileName, with_save_file);
  plot_form_.Zoom = PlotZoom();  // another model: its own time range
  history_->Clear();
  selection_->Clear();
  recovery_->Remove();
  recent_->Add(Q(sim_->DataFileName));
}

void TForm1::NewClick() {
  if (!AskToSaveChanges()) return;
  Handle([this] { FileNew(*sim_); });
  document_.NewModel();
  plot_form_.Zoom = PlotZoom();
  history_->Clear();
  selection_->Clear();
  recovery_->Remove();
}

void TForm1::OpenClick(std::optional<std::string> path) {
  if (!AskToSaveChanges()) return;
  bool opened = false;
  Handle([this, &path, &opened] {
    if (!path) path = ChooseModelFile(this);
    // A file that cannot be read or is no model changes nothing: the model, its changes,
    // its undo history and its recovery copy stay as they were before the question.
    if (path) ReadModelFile(*path);
    opened = path.has_value();
    WindowFrontend::ModelReading reading(frontend_);
    form_.OpenClick(*sim_, path);
  });
  // A model read only in part is still the model now held.
  if (!opened) return;
  ModelLoaded(true);
  zoom_->ShowTopLeft();
  // Save Model writes the save file Open gives, not the file just read: said at once.
  statusBar()->showMessage(Q("Opened " + Document::Key(sim_->DataFileName) + "; Save Model writes " + SaveTarget()));
}

std::string TForm1::SaveTarget() const { return Document::Key(sim_->SaveFileName); }

void TForm1::Exported(const std::optional<std::string>& path) {
  if (path) statusBar()->showMessage(Q("Exported to " + Document::Key(*path)), 10000);
}

void TForm1::OpenModelFile(const std::string& path) { OpenClick(path); }

void TForm1::ExportDiagram() {
  Handle([this] {
    const auto path = ChooseExportFile(this, ExportKind::Picture, "Export Diagram");
    if (path) WriteDiagramFile(*sim_, *path);
    Exported(path);
  });
}

void TForm1::ExportPlot() {
  Handle([this] {
    const auto path = ChooseExportFile(this, ExportKind::Picture, "Export Plot");
    if (!path) return;
    PlotPanelForm form = plot_form_;  // the panel as it is, or at its design size when hidden
    if (GrPlotPnl->isHidden()) {
      form = PlotPanelForm();
      form.Zoom = plot_form_.Zoom;  // the time range the user zoomed to, as it was shown
    }
    form.PanelWidth = std::max(GrPlotPnl->isHidden() ? form.PanelWidth : GrPlotPnl->width(), 1);
    WritePlotFile(*sim_, form, *path);
    Exported(path);
  });
}

void TForm1::ExportTapeCsv() {
  Handle([this] {
    const auto path = ChooseExportFile(this, ExportKind::Csv, "Export Tape as CSV");
    if (path) SaveTapeCsv(*sim_, *path);
    Exported(path);
  });
}

void TForm1::WriteRecoveryCopy() {
  if (!document_.RecoveryBehind()) return;
  try {
    recovery_->Write(RecoveryText(*sim_, document_, S(Now())));
    document_.RecoveryWritten(Document::Clock::now());
  } catch (const SimError& error) {
    // The copy is a safety net: a failure to write it must not stop the work. It is
    // told once in the status line and tried again at the next interval.
    document_.RecoveryWritten(Document::Clock::now());
    statusBar()->showMessage(QStringLiteral("The recovery copy could not be written: ") + Q(error.what()), 10000);
  }
}

void TForm1::CheckRecoveryCopy() {
  if (document_.RecoveryDue(Document::Clock::now(), options_.recovery_interval)) WriteRecoveryCopy();
}

void TForm1::OfferRecovery() {
  if (recovery_offered_) return;
  recovery_offered_ = true;
  for (const RecoveryFiles::Orphan& orphan : recovery_->Orphans()) {
    const std::string name =
        orphan.copy.model_file.empty() ? "a new model" : FilePart(orphan.copy.model_file);
    // A model file written after the copy may hold these edits or not (a save in this
    // session, another window, a batch run): the user decides.
    const std::string since =
        orphan.model_written > orphan.written
            ? " " + name + " has been written since, at " +
                  S(orphan.model_written.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))) +
                  ", perhaps without them."
            : std::string();
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(),
                    Q("Unsaved changes to " + name + " were kept at " +
                      S(orphan.written.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))) +
                      " when the program ended without closing." + since + " Restore them?"),
                    QMessageBox::Discard, this);
    box.setObjectName(QStringLiteral("RecoveryBox"));
    QPushButton* restore = box.addButton(QStringLiteral("Restore"), QMessageBox::AcceptRole);
    box.setDefaultButton(restore);
    box.exec();
    // Closed by no button (a signal ended the program while it asked): the copy stays
    // for the next start, as it was.
    if (!box.clickedButton()) return;
    if (box.clickedButton() != restore) {
      RecoveryFiles::RemoveOrphan(orphan);
      continue;
    }
    if (!AskToSaveChanges()) return;
    bool restored = false;
    Handle([this, &orphan, &restored] {
      if (sim_->RunBusy) HoldRun(*sim_);
      WindowFrontend::ModelReading reading(frontend_);
      RestoreRecovery(*sim_, document_, orphan.copy);
      restored = true;
    });
    if (!restored) return;
    history_->Clear(false);  // a model that no file holds
    selection_->Clear();
    RecoveryFiles::RemoveOrphan(orphan);
    WriteRecoveryCopy();     // this session's own copy takes over
    return;
  }
}

void TForm1::EndBySignal(int signo) {
  if (sim_->RunBusy) HoldRun(*sim_);
  if (document_.RecoveryBehind()) WriteRecoveryCopy();
  keep_recovery_ = true;
  QCoreApplication::exit(128 + signo);
}

void TForm1::closeEvent(QCloseEvent* event) {
  // A run in progress ends after its step, so the program can end.
  if (sim_->RunBusy) HoldRun(*sim_);
  if (!keep_recovery_ && !AskToSaveChanges()) {
    event->ignore();
    return;
  }
  if (!keep_recovery_) recovery_->Remove();
  SaveWindowSettings();
  User1->close();
  event->accept();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() == 1 && urls.front().isLocalFile()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return;
  event->acceptProposedAction();
  const std::string path = S(urls.front().toLocalFile());
  // After the drop has ended: the question and the model's reading are modal.
  QTimer::singleShot(0, this, [this, path] { OpenModelFile(path); });
}

void TForm1::SaveWindowSettings() {
  QSettings settings;
  settings.setValue(QLatin1String(kGeometryKey), saveGeometry());
  if (!GrPlotPnl->isHidden()) plot_height_ = GrPlotPnl->height();
  settings.setValue(QLatin1String(kPlotHeightKey), plot_height_);
}

bool TForm1::RestoreWindowSettings() {
  const QSettings settings;
  const int plot_height = settings.value(QLatin1String(kPlotHeightKey), 0).toInt();
  if (plot_height > 0) plot_height_ = plot_height;
  return restoreGeometry(settings.value(QLatin1String(kGeometryKey)).toByteArray());
}

}  // namespace trevolan

#include "app/model_history.h"

#include <QAction>
#include <QKeySequence>

namespace trevolan {

namespace {

// One edit on the undo stack. QUndoStack runs redo() when it is pushed; the edit has
// already been made then.
class EditCommand : public QUndoCommand {
 public:
  EditCommand(ModelChange change, const ModelHistory::Apply& apply)
      : change_(std::move(change)), apply_(apply) {
    setText(QString::fromStdString(change_.name()));
  }
  void undo() override {
    apply_([this](Sim& s) { change_.Undo(s); });
  }
  void redo() override {
    if (pushed_) apply_([this](Sim& s) { change_.Redo(s); });
    pushed_ = true;
  }

 private:
  ModelChange change_;
  const ModelHistory::Apply& apply_;
  bool pushed_ = false;
};

QString Captioned(const char* verb, const QString& what) {
  return what.isEmpty() ? QString::fromLatin1(verb) : QString::fromLatin1(verb) + QLatin1Char(' ') + what;
}

}  // namespace

ModelHistory::ModelHistory(QObject* parent, Apply apply) : QObject(parent), apply_(std::move(apply)) {
  undo_ = new QAction(QStringLiteral("Undo"), this);
  undo_->setObjectName(QStringLiteral("UndoItem"));
  undo_->setShortcut(QKeySequence::Undo);
  redo_ = new QAction(QStringLiteral("Redo"), this);
  redo_->setObjectName(QStringLiteral("RedoItem"));
  // Ctrl+Y too, the Redo key of many other programs.
  QList<QKeySequence> redo_keys = QKeySequence::keyBindings(QKeySequence::Redo);
  if (!redo_keys.contains(QKeySequence(Qt::CTRL | Qt::Key_Y))) redo_keys << QKeySequence(Qt::CTRL | Qt::Key_Y);
  redo_->setShortcuts(redo_keys);
  connect(undo_, &QAction::triggered, this, [this] { stack_.undo(); });
  connect(redo_, &QAction::triggered, this, [this] { stack_.redo(); });
  connect(&stack_, &QUndoStack::indexChanged, this, [this] { Sync(); });
  connect(&stack_, &QUndoStack::cleanChanged, this, [this] { Sync(); });
  Sync();
}

void ModelHistory::Push(ModelChange change) {
  if (change.empty()) return;
  stack_.push(new EditCommand(std::move(change), apply_));
}

void ModelHistory::Clear(bool saved) {
  stack_.clear();
  if (!saved) stack_.resetClean();
  Sync();
}

void ModelHistory::Sync() {
  undo_->setEnabled(stack_.canUndo());
  undo_->setText(Captioned("Undo", stack_.undoText()));
  redo_->setEnabled(stack_.canRedo());
  redo_->setText(Captioned("Redo", stack_.redoText()));
  if (on_change) on_change();
}

}  // namespace trevolan

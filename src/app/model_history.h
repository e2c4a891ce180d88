#pragma once
#include <functional>

#include <QObject>
#include <QUndoStack>

#include "editing/undo.h"

class QAction;

namespace trevolan {

// The window's undo history: one command a user's edit, each the record of the blocks
// and globals it touched. Its clean state is the model as last opened or saved.
class ModelHistory : public QObject {
 public:
  // `apply` runs an undo or a redo on the model (the window holds a run first and
  // repaints after).
  using Apply = std::function<void(const std::function<void(Sim&)>&)>;

  ModelHistory(QObject* parent, Apply apply);

  // An edit that has been made; an empty one is no edit.
  void Push(ModelChange change);
  // Forgets every edit; the model as it stands is the saved one, or, with `saved`
  // false, one that differs from any file.
  void Clear(bool saved = true);
  void MarkSaved() { stack_.setClean(); }
  bool modified() const { return !stack_.isClean(); }

  // "Undo Apply to block 105", "Redo …": Edit menu items that follow the history.
  QAction* undo_action() const { return undo_; }
  QAction* redo_action() const { return redo_; }
  QUndoStack& stack() { return stack_; }

  // Called whenever the model's modified state may have changed, and after every
  // edit, undo and redo.
  std::function<void()> on_change;

 private:
  void Sync();

  Apply apply_;
  QUndoStack stack_;
  QAction *undo_ = nullptr, *redo_ = nullptr;
};

}  // namespace trevolan

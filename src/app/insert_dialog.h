#pragma once
#include <functional>

#include <QDialog>

#include "app/event_guard.h"
#include "editing/insert_copy.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace trevolan {

// The Insert dialog (TInsertFm): a new block of a type at a sequence number, the
// blocks from there up moved one ID higher. Apply opens the block dialog on it.
class InsertDialog : public QDialog {
 public:
  InsertDialog(QWidget* parent, EventGuard& guard);
  // Proposes HighestBlock as the sequence number and shows the dialog;
  // `show_block_dialog` opens the block dialog on the new block.
  void Execute(Sim& s, std::function<void()> show_block_dialog);
  TInsertFm& form() { return form_; }

 private:
  void FormToWidgets();

  EventGuard& guard_;
  Sim* s_ = nullptr;
  std::function<void()> show_block_dialog_;
  TInsertFm form_;
  QLabel *InstructLb, *TypeLb, *SequenceLb, *LocationLb;
  QLineEdit *TypEdit, *Edit2;
  QPushButton *ApplyBtn, *CancelBtn;
};

}  // namespace trevolan

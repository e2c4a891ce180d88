#pragma once
#include <array>
#include <functional>
#include <utility>
#include <vector>

#include <QDialog>

#include "app/event_guard.h"
#include "editing/block_form.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace trevolan {

// The block dialog (TBlockFm): every field of the block PickedBlock, relabelled for
// its type, with the stored list in a grid. The texts come from and go back to the
// form object; the window opens it modally.
class BlockDialog : public QDialog {
 public:
  BlockDialog(QWidget* parent, EventGuard& guard);

  // Fills the dialog for PickedBlock, places it beside `block` (the block's place on
  // the screen) and shows it until it is closed. Enter applies as Apply does; Escape
  // and the close button cancel as Cancel does.
  void Execute(Sim& s, QRect block);

  TBlockFm& form() { return form_; }
  // F1: help on the type of the block shown.
  std::function<void(BlockType)> on_help;

  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void FormToWidgets();
  void WidgetsToForm();
  void ApplyBtnClick();
  void DeleteBtnClick();

  EventGuard& guard_;
  Sim* s_ = nullptr;
  TBlockFm form_;
  std::vector<std::pair<EditField TBlockFm::*, QLineEdit*>> edits_;
  std::array<std::pair<LabelField TBlockFm::*, QLabel*>, 19> labels_{};
  QTableWidget* DataGrid = nullptr;
  QPushButton *DeleteBtn = nullptr, *ApplyBtn = nullptr, *CancelBtn = nullptr;
};

}  // namespace trevolan

#pragma once
#include <array>
#include <utility>

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

  // Fills the dialog for PickedBlock, places it near the last click on the diagram
  // (`diagram` maps diagram points to the screen) and shows it until it is closed.
  void Execute(Sim& s, QWidget* diagram);

  TBlockFm& form() { return form_; }

 private:
  void FormToWidgets();
  void WidgetsToForm();
  void ApplyBtnClick();
  void DeleteBtnClick();
  void CancelBtnClick();

  EventGuard& guard_;
  Sim* s_ = nullptr;
  TBlockFm form_;
  std::array<std::pair<EditField TBlockFm::*, QLineEdit*>, 20> edits_{};
  std::array<std::pair<LabelField TBlockFm::*, QLabel*>, 19> labels_{};
  QTableWidget* DataGrid = nullptr;
  QPushButton *DeleteBtn = nullptr, *ApplyBtn = nullptr, *CancelBtn = nullptr;
};

}  // namespace trevolan

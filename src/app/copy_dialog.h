#pragma once
#include <QDialog>

#include "app/event_guard.h"
#include "editing/insert_copy.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace trevolan {

// The Copy dialog (TCopyFm): one block copied, links and all, into another ID at the
// last click on the diagram.
class CopyDialog : public QDialog {
 public:
  CopyDialog(QWidget* parent, EventGuard& guard);
  // Proposes block 31 into the next free ID and shows the dialog.
  void Execute(Sim& s);
  TCopyFm& form() { return form_; }

 private:
  void FormToWidgets();

  EventGuard& guard_;
  Sim* s_ = nullptr;
  TCopyFm form_;
  QLabel *InstructLb, *FromLb, *ToLb, *LocationLb, *LinksLb;
  QLineEdit *FromID, *ToID;
  QPushButton *ApplyBtn, *CancelBtn;
};

}  // namespace trevolan

#pragma once
#include <functional>
#include <memory>
#include <string>

#include <QWidget>

#include "app/event_guard.h"
#include "link/spreadsheet_link.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace trevolan {

// The spreadsheet link window (TUser1), shown and hidden from the main window: loads
// the workbook that the user block exchanges with and shows it as an icon.
class UserLinkWindow : public QWidget {
 public:
  using WorkbookFactory = std::function<std::shared_ptr<Workbook>()>;

  // `sim` gives the model the window works on; `make_workbook` the workbook that a
  // chosen file is loaded into.
  UserLinkWindow(QWidget* main_window, EventGuard& guard, std::function<Sim&()> sim, WorkbookFactory make_workbook);

  TUser1& form() { return form_; }

  // "Load  MS Excel File": the open dialog, then the form loads and starts the
  // workbook. Public for the tests, which drive the file dialog.
  void LoadXLBtnClick();

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void FormActivate();
  void FormToWidgets();

  EventGuard& guard_;
  std::function<Sim&()> sim_;
  WorkbookFactory make_workbook_;
  TUser1 form_;
  QFrame* OleContainer1;  // the linked workbook as an icon and its name
  QLabel *OleIcon, *OleName;
  QPushButton* LoadXLBtn;
  QLineEdit* Edit33;
};

}  // namespace trevolan

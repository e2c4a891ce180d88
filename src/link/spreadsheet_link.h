#pragma once
#include <memory>
#include <string>

#include "model/workbook.h"
#include "model/sim.h"

namespace trevolan {

// The spreadsheet link window (TUser1) as a form: its caption and the file field, and
// what its button does. The window only shows these texts.
struct TUser1 {
  static constexpr const char* kDesignCaption = "Excel Link Control (block20)";
  std::string Caption = kDesignCaption;
  std::string Edit33 = "Filename";  // the linked workbook's full path
  // The embedded workbook, shown as an icon with its file name; empty while the
  // container holds nothing.
  std::string OleContainer1;

  // Each time the window is activated.
  void FormActivate(const Sim& s);
  // "Load  MS Excel File" with a chosen file (empty when the dialog was cancelled):
  // the workbook is loaded into `workbook` and started; the link is then live.
  void LoadXLBtnClick(Sim& s, const std::string& path, std::shared_ptr<Workbook> workbook);
};

}  // namespace trevolan

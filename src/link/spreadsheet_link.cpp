#include "link/spreadsheet_link.h"

#include "model/file_commands.h"
#include "model/numbers.h"

namespace trevolan {

namespace {


}  // namespace

void TUser1::FormActivate(const Sim& s) {
  Caption = ("UserBlock Control Panel: " + s.block(kUserBlock).Name).substr(0, 35);
}

void TUser1::LoadXLBtnClick(Sim& s, const std::string& path, std::shared_ptr<Workbook> workbook) {
  if (!path.empty()) {
    workbook->Load(path);
    s.workbook = std::move(workbook);
    OleContainer1 = FilePart(path);
  }
  std::string caption = ("Trevolan Excel Link, " + s.block(kUserBlock).Name).substr(0, 31);
  caption = (caption + ", to ").substr(0, 36);
  Caption = caption + (path.empty() ? "" : FilePart(path));
  Edit33 = path;
  if (!s.workbook) throw SimError("Operation not allowed on an empty OLE container");
  if (!s.workbook->IsRunning()) {
    s.workbook->Run();
    s.SpreadsheetLinked = true;
  }
}

}  // namespace trevolan

#include "cli/batch.h"
#include "link/calc_workbook.h"
#include "link/spreadsheet_link.h"

namespace trevolan::cli {

void AddLinkCommands(Batch& b) {
  Sim& s = b.sim();
  // The link window lives as long as the batch, as it does in the window.
  auto window = std::make_shared<TUser1>();
  b.Add({"link", "FILE", "Links the spreadsheet workbook FILE to the user block 20",
         "The spreadsheet-link window's \"Load  MS Excel File\", choosing FILE. The workbook opens read-only "
         "in a headless LibreOffice Calc (packages libreoffice-calc-nogui and python3-uno); while the model "
         "runs, block 20 writes row 1 of its first worksheet and reads row 2 back at the period of its "
         "settings.",
         "link examples/tank_controller.fods"},
        [&s, window](const Command& c) {
          window->FormActivate(s);
          window->LoadXLBtnClick(s, c[1], std::make_shared<CalcWorkbook>(/*headless=*/true));
        });
}

}  // namespace trevolan::cli

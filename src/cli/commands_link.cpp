#include "cli/batch.h"
#include "link/calc_workbook.h"
#include "link/spreadsheet_link.h"

namespace trevolan::cli {

void AddLinkCommands(Batch& b) {
  Sim& s = b.sim();
  // The link window lives as long as the batch, as it does in the window.
  auto window = std::make_shared<TUser1>();
  b.Add("link", 1, 1, [&s, window](const Command& c) {
    window->FormActivate(s);
    window->LoadXLBtnClick(s, c[1], std::make_shared<CalcWorkbook>(/*headless=*/true));
  });
}

}  // namespace trevolan::cli

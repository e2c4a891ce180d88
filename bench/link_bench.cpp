// One exchange of the user block with a real LibreOffice Calc: 17 cells written, a
// recalculation, 16 cells read.
#include <benchmark/benchmark.h>

#include "blocks/compute.h"
#include "link/calc_workbook.h"
#include "link/spreadsheet_link.h"

namespace trevolan::bench {
namespace {

void BM_SpreadsheetExchange(benchmark::State& state) {
  if (!CalcWorkbook::Available()) {
    state.SkipWithError("LibreOffice Calc with python3-uno is not installed");
    return;
  }
  Sim s;
  s.block(20).OnOff = 1;
  TUser1 window;
  window.LoadXLBtnClick(s, TREVOLAN_TESTS_DIR "/link/data/doubling.fods", std::make_shared<CalcWorkbook>(true));
  for (auto _ : state) {
    s.Time = s.block(20).Value;  // due now
    ExchangeWithSpreadsheet(s);
  }
}
BENCHMARK(BM_SpreadsheetExchange)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace trevolan::bench

#include "link/calc_workbook.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <signal.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "engine/run_loop.h"
#include "link/spreadsheet_link.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::TestSim;

const std::string kDoubling = std::string(TREVOLAN_TESTS_DIR) + "/link/data/doubling.fods";

// Ends every process of the bridge's group but the bridge: the Calc under it dies.
int KillCalcUnder(pid_t bridge) {
  int killed = 0;
  DIR* proc = opendir("/proc");
  while (dirent* e = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
    if (pid <= 0 || pid == bridge) continue;
    std::ifstream stat("/proc/" + std::string(e->d_name) + "/stat");
    std::string line;
    std::getline(stat, line);
    // After the command in parentheses: state, parent, process group.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    char state = 0;
    pid_t parent = 0, group = 0;
    rest >> state >> parent >> group;
    if (group == bridge && kill(pid, SIGKILL) == 0) ++killed;
  }
  closedir(proc);
  return killed;
}

TEST(CalcWorkbook, ExchangesWithARealCalcAndSurvivesItsDeath) {
  if (!CalcWorkbook::Available()) GTEST_SKIP() << "LibreOffice Calc with python3-uno is not installed";
  TestSim s;
  s->block(20).OnOff = 1;
  s->block(20).stored = {0, 31, 2, 0, 1, 31, 31, 31, 31, 31, 2};
  auto calc = std::make_shared<CalcWorkbook>(/*headless=*/true);
  TUser1 window;
  window.LoadXLBtnClick(*s, kDoubling, calc);
  ASSERT_TRUE(s->SpreadsheetLinked);
  ASSERT_TRUE(calc->IsRunning());

  // The sheet answers G2 = G1 + 5 and H2..Q2 = 2 x H1..Q1: exchanges at 10, 25 and 40.
  s->Holdnext = 45;
  RunButton(*s);
  EXPECT_EQ(s->Time, 45);
  EXPECT_EQ(s->block(20).Value, 55);
  const double pi2 = 2 * 3.14159265358979;
  const double expected[] = {pi2, 80, 0, 2, pi2, pi2, pi2, pi2, pi2, 80};
  for (int k = 0; k < 10; ++k) EXPECT_NEAR(s->block(21 + k).Value, expected[k], 1e-12) << k;

  ASSERT_GT(KillCalcUnder(calc->bridge_pid()), 0);
  s->Holdnext = 100;
  EXPECT_THROW(RunButton(*s), AutomationError);
  EXPECT_TRUE(s->HoldFlag);
  EXPECT_FALSE(s->RunBusy);
  EXPECT_EQ(s->Time, 55);
  for (int k = 0; k < 10; ++k) EXPECT_NEAR(s->block(21 + k).Value, expected[k], 1e-12) << k;  // nothing lost
  EXPECT_FALSE(calc->IsRunning());
  // The model goes on without its spreadsheet once the user block is idle.
  s->block(20).OnOff = 0;
  RunButton(*s);
  EXPECT_EQ(s->Time, 100);
}

TEST(CalcWorkbook, MissingFilesAndAnEmptyContainer) {
  CalcWorkbook calc(true);
  EXPECT_THROW(calc.Run(), SimError);
  EXPECT_THROW(calc.Load("/no/such/book.ods"), IoError);
  // A FIFO is refused at once: Calc would wait on it without end.
  testing::TempDir dir;
  ASSERT_EQ(mkfifo(dir.path("book.fifo").c_str(), 0600), 0);
  try {
    calc.Load(dir.path("book.fifo"));
    ADD_FAILURE();
  } catch (const IoError& e) {
    EXPECT_EQ(e.what(), "I/O error: Not a regular file (a FIFO): " + dir.path("book.fifo"));
  }
  EXPECT_FALSE(calc.IsRunning());
  EXPECT_THROW(calc.WriteCells({{"A1", "1"}}), AutomationError);
}

}  // namespace
}  // namespace trevolan

namespace trevolan {
namespace {

TEST(CalcWorkbook, TheTankControllerExampleSettlesWhereItsNoteSays) {
  if (!CalcWorkbook::Available()) GTEST_SKIP() << "LibreOffice Calc with python3-uno is not installed";
  const auto r = testing::RunCli({"exec", "-c",
                                  "open " + testing::ExamplePath("tank_controller.txt") + "; link " +
                                      testing::ExamplePath("tank_controller.fods") +
                                      "; reset; finish; print 101.Value 21.Value"});
  ASSERT_EQ(r.status, 0) << r.out;
  double level = 0, inflow = 0;
  ASSERT_EQ(std::sscanf(r.out.c_str(), "%lf %lf", &level, &inflow), 2) << r.out;
  EXPECT_NEAR(level, 35.2, 0.5);
  EXPECT_NEAR(inflow, 0.2 * (50 - level), 0.05);
}

}  // namespace
}  // namespace trevolan

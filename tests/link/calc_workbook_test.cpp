#include "link/calc_workbook.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/run_loop.h"
#include "link/spreadsheet_link.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::TestSim;

const std::string kDoubling = std::string(TREVOLAN_TESTS_DIR) + "/link/data/doubling.fods";

// The processes whose parent or process group is `id`, from /proc.
std::vector<pid_t> ProcessesUnder(pid_t id, bool by_group) {
  std::vector<pid_t> found;
  DIR* proc = opendir("/proc");
  while (dirent* e = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::string(e->d_name) + "/stat");
    std::string line;
    std::getline(stat, line);
    if (line.empty()) continue;
    // After the command in parentheses: state, parent, process group.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    char state = 0;
    pid_t parent = 0, group = 0;
    rest >> state >> parent >> group;
    if ((by_group ? group : parent) == id && state != 'Z') found.push_back(pid);
  }
  closedir(proc);
  return found;
}

// Ends every process of the bridge's group but the bridge: the Calc under it dies.
int KillCalcUnder(pid_t bridge) {
  int killed = 0;
  for (const pid_t pid : ProcessesUnder(bridge, true)) {
    if (pid != bridge && kill(pid, SIGKILL) == 0) ++killed;
  }
  return killed;
}

// What a running link made: Calc's processes (the bridge's group), the pipe socket Calc
// listens on for the bridge, and Calc's private profile.
struct CalcTraces {
  std::vector<pid_t> processes;
  std::string socket, profile;
};

CalcTraces TracesOf(pid_t bridge) {
  CalcTraces t{ProcessesUnder(bridge, true), "", ""};
  for (const pid_t pid : t.processes) {
    std::ifstream cmdline("/proc/" + std::to_string(pid) + "/cmdline");
    for (std::string arg; std::getline(cmdline, arg, '\0');) {
      const std::string key = "-env:UserInstallation=file://", pipe = "--accept=pipe,name=";
      if (arg.compare(0, key.size(), key) == 0) t.profile = arg.substr(key.size());
      if (arg.compare(0, pipe.size(), pipe) == 0) {
        t.socket = "/tmp/OSL_PIPE_" + std::to_string(getuid()) + "_" +
                   arg.substr(pipe.size(), arg.find(';') - pipe.size());
      }
    }
  }
  return t;
}

// A process that runs: neither gone nor a zombie that nobody has reaped yet.
bool Alive(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  return std::getline(stat, line) && line.substr(line.rfind(')') + 2, 1) != "Z";
}

// Whether all of them are gone, waiting up to 30 s for the bridge to clean up.
bool AllGone(const CalcTraces& t) {
  struct stat st {};
  for (int i = 0; i < 300; ++i) {
    bool gone = stat(t.socket.c_str(), &st) != 0 && stat(t.profile.c_str(), &st) != 0;
    for (const pid_t pid : t.processes) gone = gone && !Alive(pid);
    if (gone) return true;
    usleep(100000);
  }
  return false;
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

// A link's Calc, its profile and its pipe socket (private while they live) are gone
// when the program ends, normally or by SIGTERM, SIGINT or SIGHUP.
TEST(CalcWorkbook, CalcAndItsFilesEndWithTheProgram) {
  if (!CalcWorkbook::Available()) GTEST_SKIP() << "LibreOffice Calc with python3-uno is not installed";
  const auto check_private = [](const CalcTraces& t) {
    struct stat st {};
    ASSERT_EQ(stat(t.socket.c_str(), &st), 0) << t.socket;
    EXPECT_EQ(st.st_mode & 0777, 0700u) << t.socket;
    ASSERT_EQ(stat(t.profile.c_str(), &st), 0) << t.profile;
    EXPECT_EQ(st.st_mode & 0777, 0700u) << t.profile;
    EXPECT_GE(t.processes.size(), 2u);  // the bridge and Calc
  };
  CalcTraces traces;
  {
    CalcWorkbook calc(/*headless=*/true);
    calc.Load(kDoubling);
    calc.Run();
    traces = TracesOf(calc.bridge_pid());
    check_private(traces);
  }
  EXPECT_TRUE(AllGone(traces)) << "at the end of the workbook";

  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    const pid_t cli = fork();
    if (cli == 0) {
      for (const int s : {SIGTERM, SIGINT, SIGHUP}) signal(s, SIG_DFL);
      freopen("/dev/null", "w", stdout);
      execl(TREVOLAN_CLI_PATH, TREVOLAN_CLI_PATH, "exec", "-c",
            ("open " + testing::ExamplePath("tank_controller.txt") + "; link " +
             testing::ExamplePath("tank_controller.fods") + "; set FinTim 1e9; reset; finish")
                .c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    // Once Calc answers on its pipe, the program is running the model.
    struct stat st {};
    for (int i = 0; i < 1200 && (traces.processes.empty() || stat(traces.socket.c_str(), &st) != 0); ++i) {
      usleep(100000);
      const auto bridge = ProcessesUnder(cli, false);
      if (!bridge.empty()) traces = TracesOf(bridge.front());
    }
    check_private(traces);
    usleep(500000);
    kill(cli, sig);
    int status = 0;
    waitpid(cli, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
    EXPECT_TRUE(AllGone(traces)) << "after signal " << sig;
    traces = {};
  }
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

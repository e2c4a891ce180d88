// trevolan-cli: runs models without a window through the same procedures and dialog
// forms as the window.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/runner.h"
#include "model/atomic_file.h"

namespace {

const char* const kUsage =
    "usage: trevolan-cli run MODEL [--tape FILE] [--csv FILE] [--save FILE] [--seed N] [--max-presses N]\n"
    "       trevolan-cli exec [-f SCRIPT | -c COMMANDS]...\n"
    "       trevolan-cli study MODEL [--set T=V]... [--vary T=LIST]... [--replications R] [--seed S]\n"
    "                         [--measure STAT:TARGET]... [--warmup T] [--out FILE] [--summary FILE] [--jobs N]\n"
    "       trevolan-cli --help\n"
    "       trevolan-cli --version\n";

// What the options of run and study do, for --help.
const char* const kOptionHelp =
    "\n"
    "run:\n"
    "  --csv FILE      every recorded tape row as CSV, written as the run goes (no 10,001-row limit)\n"
    "  --seed N        the random generator starts from a sequence determined by N (0..2^53-1)\n"
    "study: runs the model many times, each run a copy of it, on all cores\n"
    "  --set T=V       a change before every run; T is a print/set target (105.pp, FinTim, ...);\n"
    "                  a timing global acts as the timing dialog's Apply\n"
    "  --vary T=V1,V2,... or T=FROM:TO:COUNT   the cases: the full factorial of all --vary\n"
    "  --replications R   runs of each case (default 1)\n"
    "  --seed S        run r of case c draws from a seed derived from (S, c, r) (default 1)\n"
    "  --measure STAT:TARGET   final:, mean: (time average weighted by Delt), min:, max:, at:T:\n"
    "  --warmup T      mean, min and max start at Time >= T\n"
    "  --out FILE      one CSV row per run (case, replication, seed, values, measures, status)\n"
    "  --summary FILE  one CSV row per case: n, mean, sd and 95% half-width of each measure\n"
    "  --jobs N        worker threads (default: all cores)\n"
    "  exit status: 0, 1 when a run failed, 2 for a usage error\n"
    "commands of exec scripts besides the window's: seed N\n";

int Usage(const std::string& problem) {
  std::cerr << "usage: " << problem << '\n' << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace trevolan::cli;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage("no command given");
  try {
    if (args[0] == "--help" || args[0] == "-h") {
      std::cout << kUsage << kOptionHelp;
      return 0;
    }
    if (args[0] == "--version") {
      std::cout << "trevolan-cli " << kVersion << '\n';
      return 0;
    }
    if (args[0] == "run") {
      const RunOptions options = ParseRunOptions(std::vector<std::string>(args.begin() + 1, args.end()));
      return RunModel(options, std::cout, isatty(STDERR_FILENO) ? &std::cerr : nullptr);
    }
    if (args[0] == "exec") {
      const auto sources = ParseExecOptions(std::vector<std::string>(args.begin() + 1, args.end()));
      return ExecScripts(sources, std::cout);
    }
    if (args[0] == "study") {
      return StudyCommand(std::vector<std::string>(args.begin() + 1, args.end()), std::cout,
                          isatty(STDERR_FILENO) ? &std::cerr : nullptr);
    }
    return Usage("unknown command: " + args[0]);
  } catch (const UsageError& e) {
    std::cout.flush();
    return Usage(e.what());
  }
}

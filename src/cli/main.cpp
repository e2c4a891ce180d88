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
    "usage: trevolan-cli run MODEL [--tape FILE] [--save FILE] [--max-presses N]\n"
    "       trevolan-cli exec [-f SCRIPT | -c COMMANDS]...\n"
    "       trevolan-cli --help\n"
    "       trevolan-cli --version\n";

int Usage(const std::string& problem) {
  std::cerr << "usage: " << trevolan::cli::EscapeControls(problem) << '\n' << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace trevolan::cli;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage("no command given");
  try {
    if (args[0] == "--help" || args[0] == "-h") {
      std::cout << kUsage;
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
    return Usage("unknown command: " + args[0]);
  } catch (const UsageError& e) {
    std::cout.flush();
    return Usage(e.what());
  }
}

// trevolan-cli: runs models without a window through the same procedures and dialog
// forms as the window.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/program.h"
#include "trevolan_commit.h"
#include "trevolan_version.h"

int main(int argc, char** argv) {
  // Here and not in RunProgram: the commit is the program's alone, so that a new commit
  // rebuilds this file and not the library that the tests link.
  if (argc > 1 && std::string(argv[1]) == "--version") {
    std::cout << "trevolan-cli " << trevolan::kVersion << " (" << trevolan::kCommit << ")\n";
    return 0;
  }
  trevolan::cli::ProgramStreams io{std::cout, std::cerr, isatty(STDERR_FILENO) ? &std::cerr : nullptr,
                                   trevolan::kCommit};
  return trevolan::cli::RunProgram(std::vector<std::string>(argv + 1, argv + argc), io);
}

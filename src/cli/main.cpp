// trevolan-cli: runs models without a window through the same procedures and dialog
// forms as the window.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/program.h"

int main(int argc, char** argv) {
  trevolan::cli::ProgramStreams io{std::cout, std::cerr, isatty(STDERR_FILENO) ? &std::cerr : nullptr};
  return trevolan::cli::RunProgram(std::vector<std::string>(argv + 1, argv + argc), io);
}

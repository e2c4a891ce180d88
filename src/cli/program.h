#pragma once
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/help.h"

namespace trevolan::cli {

// Where the program writes: its output, its usage lines, and a progress line when
// standard error is a terminal (else null).
struct ProgramStreams {
  std::ostream& out;
  std::ostream& err;
  std::ostream* progress = nullptr;
  // The commit the program was built from, as --version names it: a study's record keeps it.
  std::string build = "unknown commit";
};

// A command of trevolan-cli's command line. Its synopsis names the options that the
// command accepts; adding a command is one row of ProgramCommands().
struct ProgramCommand {
  CommandHelp help;
  std::function<int(const std::vector<std::string>& args, ProgramStreams& io)> run;  // args after the name
};
const std::vector<ProgramCommand>& ProgramCommands();

// The program as main() runs it, with its arguments after the program's name; returns
// the exit status (2 for a usage error, reported on io.err).
int RunProgram(const std::vector<std::string>& args, ProgramStreams& io);

}  // namespace trevolan::cli

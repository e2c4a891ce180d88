#pragma once
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "commands/options.h"

namespace trevolan::cli {

// What `trevolan-cli help` tells of one command. The synopsis is also what the parser
// checks a command's arguments against, so the help cannot promise what the parser
// refuses, nor the parser take what the help does not name.
struct CommandHelp {
  std::string name;      // as a script or the command line writes it
  std::string synopsis;  // the arguments: WORD required, [WORD ...] optional, WORD... repeated
  std::string summary;   // one line, for the list of commands
  std::string details;   // what it does; paragraphs separated by "\n\n", wrapped when shown
  std::string example;   // a command line that works as written
};

// The arity and options of a synopsis, and the parser that reads a command line by it.
using commands::Arity;
using commands::ArityOf;
using commands::OptionHelp;
using commands::OptionsOf;
using commands::ParsedOptions;
using commands::ParseOptions;

// The lines of `help COMMAND`: the usage line (after `prefix`), the summary, the
// details wrapped to 78 columns and the example.
void WriteCommandHelp(std::ostream& out, const std::string& prefix, const CommandHelp& help);

// One line of a list of commands: the name in a column of `width`, then the summary.
void WriteCommandLine(std::ostream& out, const CommandHelp& help, size_t width);

}  // namespace trevolan::cli

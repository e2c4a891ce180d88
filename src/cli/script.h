#pragma once
#include <stdexcept>
#include <string>
#include <vector>

#include "model/errors.h"

namespace trevolan::cli {

// A script that cannot be run as written is a UsageError: reported as "usage: ..."
// and it ends the run.
using trevolan::UsageError;

using Command = std::vector<std::string>;  // the command word and its arguments

// Splits a script into commands: one a line, and with `semicolons` also at every ';'
// outside quotes. '#' outside quotes starts a comment to the end of the line; blanks
// separate arguments; double quotes group an argument that holds blanks and are
// removed. Blank commands are skipped. UsageError for an unterminated quote.
std::vector<Command> ParseScript(const std::string& text, bool semicolons);

// The same with the line (from 1) each command starts on. An unterminated quote is a
// ScriptError that names its line.
struct ScriptLine {
  Command command;
  int line;
};
class ScriptError : public UsageError {
 public:
  ScriptError(int line, const std::string& what) : UsageError(what), line(line) {}
  int line;
};
std::vector<ScriptLine> ParseScriptLines(const std::string& text, bool semicolons);

}  // namespace trevolan::cli

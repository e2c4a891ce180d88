#pragma once
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace trevolan::cli {

// trevolan-cli run MODEL [--tape FILE] [--save FILE] [--max-presses N]
struct RunOptions {
  std::string model;
  std::optional<std::string> tape, save;
  std::optional<std::string> max_presses;
};
RunOptions ParseRunOptions(const std::vector<std::string>& args);

// open MODEL, reset, finish N, then save-tape and save as asked, and a summary line.
// `progress`, when given, receives a progress line that is rewritten as the run goes.
int RunModel(const RunOptions& options, std::ostream& out, std::ostream* progress);

// trevolan-cli exec [-f SCRIPT | -c COMMANDS]...: the sources in their order.
struct ScriptSource {
  bool is_file;
  std::string text;  // the file's name, or the commands
};
std::vector<ScriptSource> ParseExecOptions(const std::vector<std::string>& args);

// Runs every source in order; 0 without errors, 1 with at least one "error:" line.
// UsageError for an unknown command, a wrong number of arguments or a missing file.
int ExecScripts(const std::vector<ScriptSource>& sources, std::ostream& out);

}  // namespace trevolan::cli

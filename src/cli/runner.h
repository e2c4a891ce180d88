#pragma once
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/program.h"
#include "study/sweep_plot.h"

namespace trevolan::cli {

// trevolan-cli run MODEL [--tape FILE] [--csv FILE] [--save FILE] [--seed N] [--max-presses N]
inline constexpr const char* kRunSynopsis = "MODEL [--tape FILE] [--csv FILE] [--save FILE] [--seed N] [--max-presses N]";
struct RunOptions {
  std::string model;
  std::optional<std::string> tape, save;
  std::optional<std::string> max_presses;
  std::optional<std::string> csv;   // every recorded row, streamed as the run goes
  std::optional<std::string> seed;  // checked to be a seed when parsed
};
RunOptions ParseRunOptions(const std::vector<std::string>& args);

// open MODEL, seed N when asked, reset, finish N, then save-tape and save as asked, and
// a summary line. With --csv the rows go to the CSV file as they are recorded.
// `progress`, when given, receives a progress line that is rewritten as the run goes.
int RunModel(const RunOptions& options, std::ostream& out, std::ostream* progress);

// trevolan-cli exec [-f SCRIPT | -c COMMANDS]...: the sources in their order.
inline constexpr const char* kExecSynopsis = "[-f SCRIPT | -c COMMANDS]...";
struct ScriptSource {
  bool is_file;
  std::string text;  // the file's name, or the commands
};
std::vector<ScriptSource> ParseExecOptions(const std::vector<std::string>& args);

// Runs every source in order; 0 without errors, 1 with at least one "error:" line.
// UsageError for an unknown command, a wrong number of arguments or a missing file.
// A finish that stops short of FinTim says so on `notes`.
int ExecScripts(const std::vector<ScriptSource>& sources, std::ostream& out, std::ostream& notes);

// trevolan-cli study MODEL [options]: the study's own options (study/study.h). Every
// option is checked before the first run (UsageError naming it). The summary table goes
// to io.out; a progress bar to io.progress on a terminal, else a line every 10 s to
// io.err. 0, 1 when a run failed, 130 when SIGINT or SIGTERM ended it.
int StudyCommand(const std::vector<std::string>& args, ProgramStreams& io);

// How a study's --plot is written: through the Qt canvas as render-plot's pictures are,
// or, in a batch runner built without Qt, as an SVG of the project's own canvas.
study::PictureWriter StudyPictureWriter();

}  // namespace trevolan::cli

#include "cli/program.h"

#include <algorithm>
#include <sstream>

#include "cli/batch.h"
#include "cli/runner.h"
#include "study/study_options.h"

namespace trevolan::cli {

namespace {

const char* const kProgram = "trevolan-cli";

int HelpCommand(const std::vector<std::string>& args, ProgramStreams& io);

// The usage lines, one per command of the command line.
std::string UsageLines() {
  std::string text;
  const char* lead = "usage: ";
  for (const ProgramCommand& c : ProgramCommands()) {
    text += std::string(lead) + kProgram + " " + c.help.name + " " + c.help.synopsis + "\n";
    lead = "       ";
  }
  text += std::string(lead) + kProgram + " --help\n";
  text += std::string(lead) + kProgram + " --version\n";
  return text;
}

const ProgramCommand* FindProgramCommand(const std::string& name) {
  for (const ProgramCommand& c : ProgramCommands()) {
    if (c.help.name == name) return &c;
  }
  return nullptr;
}

// The commands of scripts, as a freshly started batch knows them.
template <typename Visit>
void VisitScriptCommands(Visit visit) {
  std::ostringstream silent;
  const Batch batch(silent);
  for (const CommandHelp* help : batch.Commands()) visit(*help);
}

size_t NameWidth() {
  size_t width = 0;
  for (const ProgramCommand& c : ProgramCommands()) width = std::max(width, c.help.name.size());
  VisitScriptCommands([&width](const CommandHelp& h) { width = std::max(width, h.name.size()); });
  return width + 2;
}

void ListCommands(std::ostream& out) {
  const size_t width = NameWidth();
  out << kProgram
      << " runs models without a window, through the same procedures and dialog\n"
         "forms as the window's buttons, menus and dialogs.\n\nCommands:\n";
  for (const ProgramCommand& c : ProgramCommands()) WriteCommandLine(out, c.help, width);
  out << "\nCommands of scripts (exec -c, exec -f):\n";
  VisitScriptCommands([&](const CommandHelp& h) { WriteCommandLine(out, h, width); });
  out << "\n'" << kProgram << " help COMMAND' shows a command's arguments, what it does and an example.\n";
}

int HelpCommand(const std::vector<std::string>& args, ProgramStreams& io) {
  if (args.empty()) {
    ListCommands(io.out);
    return 0;
  }
  if (args.size() > 1) throw UsageError("help takes one command");
  bool found = false;
  if (const ProgramCommand* c = FindProgramCommand(args[0])) {
    WriteCommandHelp(io.out, std::string("usage: ") + kProgram + " ", c->help);
    found = true;
  }
  VisitScriptCommands([&](const CommandHelp& h) {
    if (h.name != args[0]) return;
    if (found) io.out << '\n';
    WriteCommandHelp(io.out, "in scripts: ", h);
    found = true;
  });
  if (!found) throw UsageError("no such command: " + args[0]);
  return 0;
}

// What `help study` says: how a study runs, each option of the table, and what is
// checked before the first run.
std::string StudyDetails() {
  std::string text =
      "The model is read once; every run starts from a copy of it, applies the --set changes and its "
      "case's --vary values, seeds the generator from (S, case, replication) alone, presses RESET and runs "
      "to FinTim. The files therefore do not depend on the number of workers or their order.";
  for (const study::StudyOption& o : study::StudyOptions()) {
    text += "\n\n" + study::OptionUsage(o) + (o.repeats ? ", repeatable: " : ": ") + o.help;
  }
  return text + "\n\n"
         "Each run's row is written as it finishes, into OUT.partial beside the runs file, which the study renames "
         "to OUT at its end; a study killed in any way leaves its finished runs there. Ctrl-C or SIGTERM stops the "
         "study: the finished runs are kept in order, the summary covers them and the exit status is 130; "
         "--resume then completes it, after a kill too, giving the files of an uninterrupted study. A JSON record of the study (program, command, model SHA-256, "
         "seed, runs, times) is written beside the summary (SUMMARY.json) or the runs file (OUT.study.json). "
         "Without a terminal a progress line goes to standard error every 10 s.\n\n"
         "Every option is checked before the first run: a target on an empty block, or a value that the model's "
         "timing rules would change (Delt of 0 or less, Delt above GrDel, GrDel above Holdstep, a block ID that "
         "is no whole number), a target varied twice, a measure asked twice, a warm-up or an at: time at or "
         "beyond FinTim, is a usage error; so is an output (--out, --summary, the record, --tapes) that cannot be "
         "written or that is the model or another output, also through a link.\n\n"
         "Exit status: 0, 1 when a run failed (it is recorded with its error text and the study goes on), 2 "
         "for a usage error, which names the option and starts no run, 130 when interrupted.";
}

}  // namespace

const std::vector<ProgramCommand>& ProgramCommands() {
  static const std::vector<ProgramCommand> commands = {
      {{"run", kRunSynopsis,
        "Runs a model from its initial conditions to its finish time",
        "The same as the script open MODEL; reset; finish N, then save-tape FILE with --tape and save FILE "
        "with --save. --max-presses sets N, the most times RUN is pressed (default 1000000). It ends with a "
        "summary line naming the final time and the number of tape rows. A model that cannot be read is not "
        "run (exit status 1, nothing written); a run whose presses run out before FinTim keeps its tape and "
        "ends with an error line, which names a hold trigger that held every step, and 'stopped at' (exit "
        "status 1). On a terminal a progress line on "
        "standard error shows how far the clock has got.\n\n"
        "--csv FILE writes every recorded tape row as CSV (RFC 4180, a header of the channels' names) as the "
        "run goes, so a run of any length is kept whole. --seed N restarts the random generator from a "
        "sequence determined by N (0 to 2^53 - 1) before the reset; without it every start draws the same "
        "sequence.",
        "trevolan-cli run /usr/share/trevolan/examples/integrators.txt --tape tape.txt"},
       [](const std::vector<std::string>& args, ProgramStreams& io) {
         return RunModel(ParseRunOptions(args), io.out, io.progress);
       }},
      {{"exec", kExecSynopsis, "Runs scripts of commands that act as the window does",
        "Runs the commands of each -f file and -c string in the order given, in one program that starts as "
        "a freshly started window without a model. In a -c string commands are separated by ';', in a file "
        "there is one command a line; '#' starts a comment, blanks separate arguments and double quotes group "
        "an argument that holds blanks.\n\n"
        "The program's own warnings are written as 'message: TEXT' lines, errors as 'error: TEXT' lines, after "
        "which the script goes on. Exit status: 0 without errors, 1 with at least one error line, 2 for a "
        "usage error (an unknown command or option, a wrong number of arguments, a missing script file), "
        "which ends the script at once and, in a file, names it and the line (FILE:LINE). -f - reads the "
        "script from standard input.",
        "trevolan-cli exec -c 'open model.txt; reset; finish; print Time 102.Value'"},
       [](const std::vector<std::string>& args, ProgramStreams& io) {
         return ExecScripts(ParseExecOptions(args), io.out, io.err);
       }},
      {{"study", study::StudySynopsis(), "Runs a model many times over cases and replications, with statistics",
        StudyDetails(),
        "trevolan-cli study queue.txt --vary 101.aa=2,3 --replications 10 --measure mean:104.Value"},
       [](const std::vector<std::string>& args, ProgramStreams& io) {
         return StudyCommand(args, io);
       }},
      {{"help", "[COMMAND]", "Lists the commands, or shows what one command does",
        "Without COMMAND, every command of the command line and of scripts with one line each; with COMMAND, "
        "its arguments, what it does and an example.",
        "trevolan-cli help apply"},
       HelpCommand},
  };
  return commands;
}

int RunProgram(const std::vector<std::string>& args, ProgramStreams& io) {
  // The problem, then the usage of the command it was found in (of all without one).
  const auto usage = [&io](const std::string& problem, const ProgramCommand* command = nullptr) {
    io.out.flush();
    io.err << "usage: " << EscapeControls(problem) << '\n';
    if (command) {
      io.err << "usage: " << kProgram << " " << command->help.name << " " << command->help.synopsis << '\n';
    } else {
      io.err << UsageLines();
    }
    return 2;
  };
  if (args.empty()) return usage("no command given");
  if (args[0] == "--help" || args[0] == "-h") {
    io.out << UsageLines() << "\n'" << kProgram << " help' lists the commands, '" << kProgram
           << " help COMMAND' explains one\nwith an example; 'man " << kProgram << "' is the manual.\n";
    return 0;
  }
  const ProgramCommand* command = FindProgramCommand(args[0]);
  if (!command) {
    std::vector<std::string> names;
    for (const ProgramCommand& c : ProgramCommands()) names.push_back(c.help.name);
    return usage("unknown command: " + args[0] + commands::Suggestion(args[0], names));
  }
  try {
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (rest.size() == 1 && (rest[0] == "--help" || rest[0] == "-h")) return HelpCommand({args[0]}, io);
    ParseOptions(rest, command->help.synopsis);  // an unknown option is refused before anything else
    return command->run(rest, io);
  } catch (const UsageError& e) {
    return usage(e.what(), command);
  }
}

}  // namespace trevolan::cli

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "cli/batch.h"
#include "cli/help.h"
#include "cli/program.h"
#include "cli/runner.h"
#include "support/test_support.h"
#include "trevolan_version.h"

namespace trevolan::cli {
namespace {

constexpr size_t kMany = Arity::kMany;

// The commands of scripts as the batch runner's contract names them.
const std::set<std::string> kScriptCommands = {
    "new",     "open",          "start",          "save",         "save-model", "save-tape", "save-tape-csv",
    "seed",    "reset",
    "run",     "step",          "finish",         "compute",      "click",      "create",    "insert",
    "copy",    "delete",        "apply",          "timing",       "timing-defaults", "numbers",
    "numbers-defaults", "set",  "print",          "link",         "render-diagram", "render-plot"};
// And the commands of the command line.
const std::set<std::string> kProgramCommands = {"run", "exec", "study", "help"};

struct Output {
  int status;
  std::string out, err;
};

Output Program(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  ProgramStreams io{out, err, nullptr};
  const int status = RunProgram(args, io);
  return {status, out.str(), err.str()};
}

TEST(Help, SynopsisGivesArityAndOptions) {
  const struct {
    const char* synopsis;
    size_t min, max;
  } cases[] = {{"", 0, 0},          {"FILE", 1, 1},         {"[N]", 0, 1},
               {"TYPE [X Y]", 1, 3}, {"FROM TO [X Y]", 2, 4}, {"ID [FIELD=TEXT]...", 1, kMany},
               {"TARGET...", 1, kMany}, {"TARGET VALUE...", 2, kMany}, {"[FIELD=TEXT]...", 0, kMany}};
  for (const auto& c : cases) {
    const Arity a = ArityOf(c.synopsis);
    EXPECT_EQ(a.min, c.min) << c.synopsis;
    EXPECT_EQ(a.max, c.max) << c.synopsis;
  }
  EXPECT_THROW(ArityOf("[X Y"), std::logic_error);
  EXPECT_THROW(ArityOf("X]"), std::logic_error);

  const std::string exec = "[-f SCRIPT | -c COMMANDS]... [--quiet]";
  const auto options = OptionsOf(exec);
  ASSERT_EQ(options.size(), 3u);
  EXPECT_EQ(options[0].name, "-f");
  EXPECT_TRUE(options[0].takes_value);
  EXPECT_EQ(options[1].name, "-c");
  EXPECT_TRUE(options[1].takes_value);
  EXPECT_EQ(options[2].name, "--quiet");
  EXPECT_FALSE(options[2].takes_value);
  const ParsedOptions parsed = ParseOptions({"-c", "-x", "-f=-y", "--quiet", "plain"}, exec);
  EXPECT_EQ(parsed.positional, std::vector<std::string>{"plain"});
  const std::vector<std::pair<std::string, std::string>> expected = {{"-c", "-x"}, {"-f", "-y"}, {"--quiet", ""}};
  EXPECT_EQ(parsed.options, expected);
  EXPECT_THROW(ParseOptions({"--quiet", "-x"}, exec), UsageError);
  EXPECT_THROW(ParseOptions({"--quiet=1", "-g"}, exec), UsageError);
  EXPECT_THROW(ParseOptions({"--quiet", "-f"}, exec), UsageError);  // a value missing at the end
}

// Help and parser come from one table: every command of the contract has help whose
// example passes the parser's checks, and every name the help lists is a command.
TEST(Help, EveryCommandHasHelpAndEveryHelpEntryIsACommand) {
  std::ostringstream silent;
  const Batch batch(silent);
  std::set<std::string> script_names;
  for (const CommandHelp* h : batch.Commands()) {
    script_names.insert(h->name);
    EXPECT_FALSE(h->summary.empty()) << h->name;
    EXPECT_EQ(h->summary.find('\n'), std::string::npos) << h->name;
    EXPECT_LE(h->summary.size(), 72u) << h->name;
    EXPECT_FALSE(h->details.empty()) << h->name;
    const auto example = ParseScript(h->example, true);
    ASSERT_EQ(example.size(), 1u) << h->name;
    EXPECT_EQ(example[0][0], h->name);
    EXPECT_NO_THROW(batch.Check(example[0])) << h->example;
    const Arity arity = ArityOf(h->synopsis);
    if (arity.max != kMany) {
      Command over = example[0];
      over.resize(arity.max + 2, "1");
      EXPECT_THROW(batch.Check(over), UsageError) << h->name;
    }
    if (arity.min > 0) {
      const Command under(example[0].begin(), example[0].begin() + static_cast<long>(arity.min));
      EXPECT_THROW(batch.Check(under), UsageError) << h->name;
    }
  }
  EXPECT_EQ(script_names, kScriptCommands);

  std::set<std::string> program_names;
  for (const ProgramCommand& c : ProgramCommands()) {
    program_names.insert(c.help.name);
    EXPECT_FALSE(c.help.summary.empty() || c.help.details.empty()) << c.help.name;
    EXPECT_EQ(c.help.example.rfind("trevolan-cli " + c.help.name + " ", 0), 0u) << c.help.example;
  }
  EXPECT_EQ(program_names, kProgramCommands);

  // The list names each command once per table, and nothing else.
  const Output list = Program({"help"});
  EXPECT_EQ(list.status, 0);
  std::multiset<std::string> listed;
  std::istringstream lines(list.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("  ", 0) == 0) listed.insert(line.substr(2, line.find(' ', 2) - 2));
  }
  std::multiset<std::string> expected(script_names.begin(), script_names.end());
  expected.insert(program_names.begin(), program_names.end());
  EXPECT_EQ(listed, expected);

  for (const std::string& name : expected) {
    const Output one = Program({"help", name});
    EXPECT_EQ(one.status, 0) << name;
    EXPECT_NE(one.out.find("Example:\n"), std::string::npos) << name;
  }
  EXPECT_NE(Program({"help", "apply"}).out.find("in scripts: apply ID [FIELD=TEXT]...\n"), std::string::npos);
  const Output both = Program({"help", "run"});
  EXPECT_NE(both.out.find("usage: trevolan-cli run MODEL"), std::string::npos);
  EXPECT_NE(both.out.find("in scripts: run\n"), std::string::npos);
  EXPECT_EQ(Program({"help", "frobnicate"}).status, 2);
  EXPECT_EQ(Program({"help", "run", "exec"}).status, 2);
}

// The options each command's synopsis names are the options its parser takes.
TEST(Help, OptionsOfTheCommandLineAreThoseOfTheSynopsis) {
  for (const ProgramCommand& c : ProgramCommands()) {
    for (const OptionHelp& o : OptionsOf(c.help.synopsis)) {
      std::vector<std::string> args = {o.name};
      if (o.takes_value) args.push_back("7");
      if (c.help.name == "run") {
        args.insert(args.begin(), "model.txt");
        EXPECT_NO_THROW(ParseRunOptions(args)) << o.name;
      } else if (c.help.name == "exec") {
        EXPECT_NO_THROW(ParseExecOptions(args)) << o.name;
      }
      EXPECT_NO_THROW(ParseOptions(args, c.help.synopsis));
    }
    const Output bad = Program({c.help.name, "x.txt", "--no-such-option"});
    EXPECT_EQ(bad.status, 2) << c.help.name;
    EXPECT_NE(bad.err.find("usage: unknown option: --no-such-option\n"), std::string::npos) << c.help.name;
  }
  const Output help = Program({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const ProgramCommand& c : ProgramCommands()) {
    EXPECT_NE(help.out.find("trevolan-cli " + c.help.name + " " + c.help.synopsis + "\n"), std::string::npos);
  }
  EXPECT_NE(help.out.find("'trevolan-cli help COMMAND'"), std::string::npos);
  const Output run_help = Program({"run", "--help"});
  EXPECT_EQ(run_help.status, 0);
  EXPECT_EQ(run_help.out, Program({"help", "run"}).out);
  // The program answers --version itself, naming the commit it was built from.
  const testing::CliResult version = testing::RunCli({"--version"});
  EXPECT_EQ(version.status, 0);
  const std::string lead = std::string("trevolan-cli ") + kVersion + " (";
  ASSERT_EQ(version.out.substr(0, lead.size()), lead) << version.out;
  // "commit " and at least 7 hexadecimal digits, or "unknown commit"; then ")\n".
  const std::string built = version.out.substr(lead.size());
  const size_t end = built.size() >= 2 ? built.size() - 2 : 0;
  const bool hash = built.compare(0, 7, "commit ") == 0 && end >= 14 &&
                    built.find_first_not_of("0123456789abcdef", 7) == end;
  EXPECT_TRUE((hash || built.compare(0, end, "unknown commit") == 0) && built.compare(end, 2, ")\n") == 0)
      << version.out;
}

}  // namespace
}  // namespace trevolan::cli

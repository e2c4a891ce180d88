#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli/batch.h"
#include "cli/runner.h"
#include "cli/script.h"
#include "support/test_support.h"

namespace trevolan::cli {
namespace {

using testing::ReadTextFile;
using testing::RunCli;
using testing::TempDir;

TEST(Script, QuotesCommentsAndSeparators) {
  const auto commands = ParseScript("print Time; apply 101 comment=\"two words; #x\" name=\"\"  # note\n\nnew", true);
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_EQ(commands[0], (Command{"print", "Time"}));
  EXPECT_EQ(commands[1], (Command{"apply", "101", "comment=two words; #x", "name="}));
  EXPECT_EQ(commands[2], (Command{"new"}));
  const auto lines = ParseScript("set 101.Name a;b\r\n   \n# only a comment\nprint 101.Name\n", false);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], (Command{"set", "101.Name", "a;b"}));
  EXPECT_THROW(ParseScript("print \"Time", true), UsageError);
}

// Runs commands in one batch and returns everything it wrote.
std::string RunScript(Batch& b, const std::string& script) {
  for (const auto& c : ParseScript(script, true)) b.Execute(c);
  return static_cast<std::ostringstream&>(b.out()).str();
}

TEST(Batch, PrintsTargetsOfAFreshProgram) {
  std::ostringstream out;
  Batch b(out);
  EXPECT_EQ(RunScript(b, "print FinTim Delt HighestBlock HoldFlag AnimFlag DataFileName 2.Name 31.Value 19.stored"),
            "1000 1 100 1 1 datafile.txt Time 3.14159265358979 0 0 0 0 0 0 0 0 0 0 0\n");
  EXPECT_FALSE(b.had_error());
}

TEST(Batch, SetWritesFieldsGlobalsAndStoredLists) {
  std::ostringstream out;
  Batch b(out);
  RunScript(b, "set 101.Name averylongname; set 101.Type K; set 101.XX 2.5; set 101.aa 1e-7; set Delt 0.5;"
         "set 101.stored 1 2 3; set 101.stored[1] 9; set GridFlag 1; set 101.Comment \"a b\"");
  EXPECT_EQ(RunScript(b, "print 101.Name 101.Type 101.XX 101.aa Delt 101.stored 101.stored[2] GridFlag 101.Comment"),
            "averylongn K 2 1E-7 0.5 1 9 3 3 1 a b\n");
}

TEST(Batch, ErrorsAreReportedAndTheScriptGoesOn) {
  std::ostringstream out;
  Batch b(out);
  const std::string text = RunScript(b, "print 1001.Value; print 101.stored[0]; set 101.aa x1; print Time");
  EXPECT_EQ(text,
            "error: Range check error\nerror: Range check error\n"
            "error: 'x1' is not a valid floating point value\n0\n");
  EXPECT_TRUE(b.had_error());
}

TEST(Batch, IndicesBeyond32BitsAreRangeErrors) {
  std::ostringstream out;
  Batch b(out);
  const std::string text = RunScript(b, "print 99999999999999.Value; print -99999999999999.Name; set 101.stored 1 2;"
                                        "print 101.stored[4294967297]; print tape.99999999999.0; print 101.stored[1]");
  EXPECT_EQ(text, "error: Range check error\nerror: Range check error\nerror: Range check error\n"
                  "error: Range check error\n2\n");
  for (const char* bad : {"print 99x.Value", "print 101.stored[1x]", "print tape.1e3.0"}) {
    EXPECT_THROW(RunScript(b, bad), UsageError) << bad;
  }
}

TEST(Batch, ValuesBeyondTheRangeNameTheirBlockOrTheClock) {
  const struct {
    const char* script;
    const char* out;
  } cases[] = {
      // The clock stops before it would reach INF; the tape and Time keep the last finite step.
      {"timing delt=1e308 graph=1e308 hold=1e308 finish=1.7e308; reset; finish; print Time",
       "error: Floating point overflow in the clock: its next graph time GrNext would be INF\n1E308\n"},
      {"timing delt=1e308 graph=1e308 hold=1e308 finish=1.7e308; set GrDel 1.7e308; set Holdstep 1.7e308; reset; "
       "finish; print Time",
       "error: Floating point overflow in the clock: its Time would be INF\n1E308\n"},
      // RESET's start values Vd + dd.
      {"create C 100 100; create C 200 100; apply 101 dd=1e308; apply 102 dd=1e308 dn=101; reset; print 102.Value",
       "error: Floating point overflow in block 102: its start Value Vd + dd would be INF\n0\n"},
      {"create T 100 100; create C 200 100; apply 102 dd=-1e308; apply 101 dd=-1e308 dn=102; reset",
       "error: Floating point overflow in block 101: its start time Vd + dd would be -INF\n"},
      // An Access block that writes a value beyond 32 bits.
      {"create C 100 100; create @ 200 100; set 101.Value 1e308; apply 102 onoff=1 an=101 aa=16 bn=101 bb=1",
       "error: Range check error in block 102: its written value = 1E308 is beyond the 32-bit range\n"},
      // A Witch whose selector is beyond any position, computed and drawn.
      {"create W 100 100; set 101.aa 1e308; render-diagram /nonexistent/d.svg",
       "error: Invalid floating point operation in block 101 while drawing it\n"},
      {"create W 100 100; apply 101 aa=1e308",
       "error: Range check error in block 101: its selector aa = 1E308 is beyond the 32-bit range\n"},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    Batch b(out);
    EXPECT_EQ(RunScript(b, c.script), c.out) << c.script;
  }
}

TEST(Program, ControlCharactersInEchoedTextsAreEscaped) {
  const std::string esc = "\x1b[31m";
  auto r = RunCli({"exec", "-c", "set 101.Comment \"red " + esc + "\"; print 101.Comment; set 101.aa " + esc + "\x07"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "red \\x1b[31m\nerror: '\\x1b[31m\\x07' is not a valid floating point value\n");
  r = RunCli({"exec", "-c", "print Time; bogus" + esc});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "0\n");
  EXPECT_EQ(r.err.rfind("usage: unknown command: bogus\\x1b[31m\n", 0), 0u) << r.err;
}

// A usage error says what was wrong, suggests the name nearest a mistyped one, names the
// file and line of a script file, and shows the synopsis of the command that was used.
TEST(Program, UsageErrorsPointAtTheMistake) {
  TempDir dir;
  std::ofstream(dir.path("s.script")) << "# a comment\nprint Time\n\nopn x\n";
  std::ofstream(dir.path("q.script")) << "print Time\nprint \"Time\n";
  const struct {
    std::vector<std::string> args;
    std::string err;  // the whole standard error
  } cases[] = {
      {{"rn"}, "usage: unknown command: rn (did you mean run?)\n"},
      {{"run", "m.txt", "--tap", "t"},
       "usage: unknown option: --tap (did you mean --tape?)\nusage: trevolan-cli run MODEL [--tape FILE] [--csv FILE] "
       "[--save FILE] [--seed N] [--max-presses N]\n"},
      {{"exec", "-f", dir.path("s.script")},
       "usage: " + dir.path("s.script") + ":4: unknown command: opn (did you mean open?)\n"
       "usage: trevolan-cli exec [-f SCRIPT | -c COMMANDS]...\n"},
      {{"exec", "-f", dir.path("q.script")},
       "usage: " + dir.path("q.script") + ":2: unterminated quote in: Time\nusage: trevolan-cli exec [-f SCRIPT | -c COMMANDS]...\n"},
      {{"exec", "-c", "print Time; reset 3"},
       "usage: wrong number of arguments: reset (it takes none)\nusage: trevolan-cli exec [-f SCRIPT | -c COMMANDS]...\n"},
      {{"exec", "-c", "open"},
       "usage: wrong number of arguments: open (open FILE)\nusage: trevolan-cli exec [-f SCRIPT | -c COMMANDS]...\n"},
      {{"exec", "-c", "seed 7 crn; seed 7 xyz"},
       "usage: seed takes crn or nothing after N: xyz (seed N [crn])\n"
       "usage: trevolan-cli exec [-f SCRIPT | -c COMMANDS]...\n"},
      {{"exec"}, "usage: exec needs -f SCRIPT or -c COMMANDS\nusage: trevolan-cli exec [-f SCRIPT | -c COMMANDS]...\n"},
      {{"run", "m.txt", "--no-such-option"}, "usage: unknown option: --no-such-option\nusage: trevolan-cli run MODEL "
                                             "[--tape FILE] [--csv FILE] [--save FILE] [--seed N] [--max-presses N]\n"},
  };
  for (const auto& c : cases) {
    const auto r = RunCli(c.args);
    EXPECT_EQ(r.status, 2) << c.args[0];
    if (c.args.size() == 1 && c.args[0] == "rn") {
      EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);  // then every command's usage
    } else {
      EXPECT_EQ(r.err, c.err);
    }
  }
  // A script on the standard input: "-".
  const auto piped = RunCli({"exec", "-f", "-"}, {"sh", "-c", "printf 'print Time\\nset Delt 2\\nprint Delt\\n' | \"$0\" \"$@\""});
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out, "0\n2\n");
}

TEST(Batch, UsageErrorsPropagate) {
  std::ostringstream out;
  Batch b(out);
  for (const char* bad : {"frobnicate", "open", "open a b", "print", "print 101.nofield", "print NoGlobal",
                          "set Time", "set Time 1 2", "set tape.0.0 1", "save-model extra"}) {
    EXPECT_THROW(RunScript(b, bad), UsageError) << bad;
  }
}

TEST(Batch, SaveOpenAndStartThroughTheFileCommands) {
  TempDir dir;
  std::ostringstream out;
  Batch b(out);
  const std::string model = dir.path("m.txt");
  RunScript(b, "set 150.Type C; set 150.Name tank; set 150.Value 7; set HighestBlock 150; save " + model);
  EXPECT_EQ(b.sim().SaveFileName, model);
  RunScript(b, "new");
  EXPECT_EQ(RunScript(b, "print HighestBlock 150.Type"), "100 ?\n");
  RunScript(b, "open " + model);
  EXPECT_EQ(b.sim().SaveFileName, "SaveFile");
  EXPECT_EQ(b.sim().WindowCaption, "Trevolan SaveFile");
  RunScript(b, "set 150.Type M; set 150.Pn 7; save " + model + "; set HighestBlock 100; start " + model);
  const std::string printed = RunScript(b, "print HighestBlock 150.Pn 150.Value");
  EXPECT_EQ(printed.substr(printed.rfind('\n', printed.size() - 2) + 1), "150 0 7\n");
  EXPECT_FALSE(b.had_error());
}

// The batch runner's set stores what a model file could hold, rules or not; the run
// that meets such a value keeps the error line every script expects and says on
// standard error which field, value and bounds it was.
TEST(Program, ARawSetThatTheRunCannotTakeIsNamedOnStandardError) {
  const auto r = RunCli({"exec", "-c", "open " + testing::ExamplePath("mm1_queue.txt") + "; set 102.An 5000; print 102.An; reset"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "5000\nerror: Range check error\n");
  EXPECT_EQ(r.err, "detail: block 102 (arrive): An 5000: a connection is a block ID in 0..1000\n");
  // The dialog repairs the same value by the same rule, with its own message.
  const auto dialog = RunCli({"exec", "-c", "open " + testing::ExamplePath("mm1_queue.txt") + "; apply 102 an=5000; print 102.An"});
  EXPECT_EQ(dialog.out, "message: Have put 1000 instead of block number   5000\n1000\n");
}

TEST(Program, ExitStatusAndOutputStreams) {
  TempDir dir;
  auto r = RunCli({"exec", "-c", "print Time; set 101.Name x"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "0\n");
  r = RunCli({"exec", "-c", "print 5000.Value; print Delt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "error: Range check error\n1\n");
  r = RunCli({"exec", "-c", "print Time; bogus; print Delt"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "0\n");  // commands before the usage error have run, none after
  EXPECT_NE(r.err.find("usage: unknown command: bogus"), std::string::npos);
  r = RunCli({"exec", "-f", dir.path("missing.script")});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(RunCli({"exec", "--frob"}).status, 2);
  EXPECT_EQ(RunCli({}).status, 2);
  EXPECT_EQ(RunCli({"--help"}).status, 0);
  r = RunCli({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("trevolan-cli ", 0), 0u);
}

TEST(Program, ScriptsFromFilesAndStringsRunInOrder) {
  TempDir dir;
  testing::WriteTextFile(dir.path("a.script"), "# set up\nset Delt 0.25\nprint Delt\n");
  const auto r = RunCli({"exec", "-c", "print Delt", "-f", dir.path("a.script"), "-c", "print Delt; open nothing.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "1\n0.25\n0.25\nerror: File not found: nothing.txt\n");
}

TEST(Program, MessagesOfTheProgramAreLines) {
  TempDir dir;
  const std::string model = dir.path("m.txt");
  testing::WriteTextFile(model, "@C   101   c   10   20   1   2   0   0   0   0   0   0   -1   0   0   x   50   0   5 \"\"\r\n");
  const auto r = RunCli({"exec", "-c", "open " + model});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "message: Problem in reading data for Block   101\n");
}

}  // namespace
}  // namespace trevolan::cli

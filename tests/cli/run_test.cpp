#include <gtest/gtest.h>

#include <filesystem>

#include <cmath>
#include <cstdio>

#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::ExamplePath;
using testing::ReadTextFile;
using testing::RunCli;
using testing::SplitLines;
using testing::TempDir;
using testing::WriteTextFile;

TEST(RunCommand, TapeRowsAreTheGraphStepsFromStartToFinish) {
  TempDir dir;
  const auto r = RunCli({"run", ExamplePath("integrators.txt"), "--tape", dir.path("tape.txt"), "--save",
                         dir.path("saved.txt")});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "finished at Time 1000 after 1000 steps, tape rows 101\n");
  EXPECT_EQ(r.err, "");  // no progress line without a terminal
  const auto lines = SplitLines(ReadTextFile(dir.path("tape.txt")));
  ASSERT_EQ(lines.size(), 102u);
  EXPECT_EQ(lines[0], "Time      ramp   decay   position   velocity");
  for (size_t row = 0; row <= 100; ++row) {
    const std::string time = std::to_string(row * 10);
    ASSERT_EQ(lines[row + 1].substr(0, time.size() + 3), time + "   ") << row;
  }
  // The saved model holds the run's final state and reads back.
  const auto again = RunCli({"exec", "-c", "open " + dir.path("saved.txt") + "; print Time 101.Value 19.stored[0]"});
  EXPECT_EQ(again.out, "1000 99.9999999999986 4\n");
}

TEST(RunCommand, PhysicsOfTheIntegratorExample) {
  const auto r = RunCli({"exec", "-c",
                         "open " + ExamplePath("integrators.txt") +
                             "; reset; finish; print 101.Value 102.Value 103.Value tape.5.0 tape.5.3"});
  ASSERT_EQ(r.status, 0) << r.out;
  double ramp = 0, decay = 0, position = 0, t5 = 0, pos5 = 0;
  ASSERT_EQ(std::sscanf(r.out.c_str(), "%lf %lf %lf %lf %lf", &ramp, &decay, &position, &t5, &pos5), 5);
  EXPECT_NEAR(ramp, 100, 1e-9);
  EXPECT_NEAR(decay, 100 * std::pow(0.99, 1000), 1e-9);  // forward Euler of x' = -x/100
  EXPECT_NEAR(position, 50, 0.5);                         // ten whole periods
  EXPECT_EQ(t5, 50);
  EXPECT_NEAR(pos5, -50, 1.0);  // half a period
}

// An output that is the model or another output of the run, by its name, a link or a
// hard link, is refused before the run, and the model stays as it was. --save may name
// the model: that is saving it.
TEST(RunCommand, AnOutputOverTheModelOrAnotherOutputIsRefused) {
  TempDir dir;
  std::filesystem::copy_file(ExamplePath("integrators.txt"), dir.path("m.txt"));
  std::filesystem::create_symlink(dir.path("m.txt"), dir.path("link.txt"));
  std::filesystem::create_hard_link(dir.path("m.txt"), dir.path("hard.txt"));
  std::filesystem::create_symlink(dir.path("new.csv"), dir.path("dangling.csv"));
  const std::string model = ReadTextFile(dir.path("m.txt"));
  const struct {
    std::vector<std::string> outputs;
    std::string refusal;
  } cases[] = {
      {{"--csv", "m.txt"}, "--csv m.txt: the same file as the model"},
      {{"--tape", "m.txt"}, "--tape m.txt: the same file as the model"},
      {{"--tape", "link.txt"}, "--tape link.txt: the same file as the model"},
      {{"--csv", "hard.txt"}, "--csv hard.txt: the same file as the model"},
      {{"--csv", "t.txt", "--tape", "t.txt"}, "--tape t.txt: the same file as --csv t.txt"},
      {{"--csv", "new.csv", "--tape", "dangling.csv"}, "--tape dangling.csv: the same file as --csv new.csv"},
      {{"--tape", "t.txt", "--save", "./t.txt"}, "--save ./t.txt: the same file as --tape t.txt"},
      {{"--save", "link.txt", "--tape", "hard.txt"}, "--tape hard.txt: the same file as the model"},
  };
  const std::vector<std::string> in_dir{"env", "-C", dir.dir()};
  for (const auto& c : cases) {
    std::vector<std::string> args{"run", "m.txt"};
    args.insert(args.end(), c.outputs.begin(), c.outputs.end());
    const auto r = RunCli(args, in_dir);
    EXPECT_EQ(r.status, 2) << c.refusal;
    EXPECT_NE(r.err.find(c.refusal), std::string::npos) << r.err;
    EXPECT_EQ(ReadTextFile(dir.path("m.txt")), model) << c.refusal;
    EXPECT_FALSE(std::filesystem::exists(dir.path("t.txt"))) << c.refusal;
    EXPECT_FALSE(std::filesystem::exists(dir.path("new.csv"))) << c.refusal;
  }
  const auto saved = RunCli({"run", "link.txt", "--save", "m.txt", "--tape", "/dev/stdout", "--csv", "/dev/stdout"}, in_dir);
  EXPECT_EQ(saved.status, 0) << saved.out << saved.err;
}

TEST(RunCommand, ErrorsUsageAndMaxPresses) {
  TempDir dir;
  // A model that cannot be read is not run: no summary, no tape, no saved model.
  auto r = RunCli({"run", dir.path("missing.txt"), "--tape", dir.path("t.txt"), "--save", dir.path("m.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "error: File not found: " + dir.path("missing.txt") + "\n");
  EXPECT_FALSE(std::filesystem::exists(dir.path("t.txt")));
  EXPECT_FALSE(std::filesystem::exists(dir.path("m.txt")));
  // A model in UTF-16 is no model the reader can take: saving over it is no save of it.
  std::string utf16 = "\xff\xfe";
  for (const char c : ReadTextFile(ExamplePath("integrators.txt"))) (utf16 += c) += '\0';
  WriteTextFile(dir.path("u16.txt"), utf16);
  r = RunCli({"run", dir.path("u16.txt"), "--save", dir.path("u16.txt"), "--csv", dir.path("t.csv")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "error: " + dir.path("u16.txt") + " is not a model file\n");
  EXPECT_EQ(ReadTextFile(dir.path("u16.txt")), utf16);
  EXPECT_FALSE(std::filesystem::exists(dir.path("t.csv")));
  // A model whose reading stopped at a line is not saved over by the same script; one
  // whose lines end in CR alone reads whole and runs.
  std::string crlf = ReadTextFile(ExamplePath("integrators.txt")), cr, stopped = crlf;
  for (const char c : crlf) {
    if (c != '\n') cr += c;
  }
  stopped.replace(stopped.find("@I   101"), 8, "@I   5000");
  WriteTextFile(dir.path("stopped.txt"), stopped);
  r = RunCli({"exec", "-c", "open " + dir.path("stopped.txt") + "; save " + dir.path("stopped.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("error: I/O error: " + dir.path("stopped.txt") + " is not replaced: the open of " +
                       dir.path("stopped.txt") + " failed (Range check error)"),
            std::string::npos) << r.out;
  EXPECT_EQ(ReadTextFile(dir.path("stopped.txt")), stopped);
  WriteTextFile(dir.path("cr.txt"), cr);
  r = RunCli({"run", dir.path("cr.txt"), "--save", dir.path("cr.txt")});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("tape rows 101"), std::string::npos) << r.out;
  EXPECT_EQ(RunCli({"run"}).status, 2);
  EXPECT_EQ(RunCli({"run", "a.txt", "b.txt"}).status, 2);
  EXPECT_EQ(RunCli({"run", "a.txt", "--speed", "3"}).status, 2);
  EXPECT_EQ(RunCli({"run", "a.txt", "--tape"}).status, 2);
  // Presses that run out before FinTim: the tape keeps what was run, the run failed.
  r = RunCli({"run", ExamplePath("integrators.txt"), "--max-presses=2", "--tape", dir.path("t.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "error: the run stopped at Time 200 before FinTim 1000: all 2 presses of RUN were used\n"
            "stopped at Time 200 after 200 steps, tape rows 21\n");
  EXPECT_EQ(SplitLines(ReadTextFile(dir.path("t.txt"))).size(), 22u);
  // A hold trigger that holds every step makes each press one step: the line says so.
  ASSERT_EQ(RunCli({"exec", "-c", "open " + ExamplePath("integrators.txt") + "; timing trigger=1; save " +
                                      dir.path("trigger.txt")}).status, 0);
  r = RunCli({"run", dir.path("trigger.txt"), "--max-presses", "7"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "error: the run stopped at Time 7 before FinTim 1000: all 7 presses of RUN were used; the hold trigger, "
            "block 1 ONE, holds the run at every step\n"
            "stopped at Time 7 after 7 steps, tape rows 1\n");
  // A script's finish short of FinTim is no error: standard error says where and why.
  r = RunCli({"exec", "-c", "open " + dir.path("trigger.txt") + "; reset; finish 4; print Time; finish; print Time"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "4\n1000\n");
  EXPECT_EQ(r.err,
            "finish: the run stopped at Time 4 before FinTim 1000: all 4 presses of RUN were used (the hold trigger, "
            "block 1 ONE, holds the run at every step)\n");
  // A run that a floating-point error stops says so; it did not finish.
  ASSERT_EQ(RunCli({"exec", "-c", "create E 100 100; apply 101 onoff=1 cc=0; timing finish=1; save " +
                                      dir.path("e.txt")}).status, 1);
  r = RunCli({"run", dir.path("e.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(SplitLines(r.out).back(), "stopped with an error at Time 1 after 0 steps, tape rows 0");
}

TEST(RunCommand, ScriptedButtons) {
  const auto r = RunCli({"exec", "-c",
                         "open " + ExamplePath("integrators.txt") +
                             "; reset; step; step; print Time TapeIndex; run; print Time HoldFlag RunBusy; "
                             "set 103.Cn 1001; run; print Time HoldFlag RunBusy"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "2 0\n100 1 0\nerror: Range check error\n100 1 0\n");
}

}  // namespace
}  // namespace trevolan

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

// The example models of the discrete side, run through the batch runner and held
// against their token counts and their arithmetic.
namespace trevolan {
namespace {

using testing::ExamplePath;
using testing::ReadTextFile;
using testing::RunCli;
using testing::SplitLines;
using testing::TempDir;

using Rows = std::vector<std::vector<double>>;

Rows ParseRows(const std::vector<std::string>& lines) {
  Rows rows;
  for (const auto& line : lines) {
    std::istringstream in(line);
    std::vector<double> row;
    for (double x = 0; in >> x;) row.push_back(x);
    if (!row.empty()) rows.push_back(row);
  }
  return rows;
}

// The tape of a whole run of the example, one row per graph step (time first), after
// its header line.
Rows RunTape(const std::string& model, std::string* header = nullptr) {
  TempDir dir;
  const auto r = RunCli({"run", ExamplePath(model), "--tape", dir.path("tape.txt")});
  EXPECT_EQ(r.status, 0) << r.out;
  auto lines = SplitLines(ReadTextFile(dir.path("tape.txt")));
  if (lines.empty()) return {};
  if (header) *header = lines.front();
  lines.erase(lines.begin());
  return ParseRows(lines);
}

// The targets printed after RESET and then at every graph step up to `steps`: the hold
// step is made the graph step, so that each RUN holds at the next one.
Rows PrintAtGraphSteps(const std::string& model, const std::string& targets, int steps) {
  std::string script = "open " + ExamplePath(model) + "; set Holdstep " + "$GRAPH; reset; print " + targets;
  const auto r0 = RunCli({"exec", "-c", "open " + ExamplePath(model) + "; print GrDel"});
  script.replace(script.find("$GRAPH"), 6, SplitLines(r0.out).at(0));
  for (int i = 0; i < steps; ++i) script += "; run; print " + targets;
  const auto r = RunCli({"exec", "-c", script});
  EXPECT_EQ(r.status, 0) << r.out;
  return ParseRows(SplitLines(r.out));
}

TEST(DiscreteExamples, EachHoldsANoteAndRunsToTheFinish) {
  const struct {
    const char* model;
    int note;
    const char* summary;
  } cases[] = {
      {"producer_consumer.txt", 107, "finished at Time 1000 after 1000 steps, tape rows 101\n"},
      {"conveyor.txt", 107, "finished at Time 1000 after 1000 steps, tape rows 101\n"},
      {"breakdowns.txt", 105, "finished at Time 1000 after 1000 steps, tape rows 101\n"},
      {"delay_line.txt", 104, "finished at Time 1000 after 1000 steps, tape rows 201\n"},
      {"lookup_table.txt", 103, "finished at Time 1000 after 1000 steps, tape rows 101\n"},
  };
  for (const auto& c : cases) {
    const auto r = RunCli({"run", ExamplePath(c.model)});
    EXPECT_EQ(r.status, 0) << c.model << r.out;
    EXPECT_EQ(r.out, c.summary) << c.model;
    const auto note = RunCli({"exec", "-c", "open " + ExamplePath(c.model) + "; print " + std::to_string(c.note) +
                                                ".Type 19.stored[0]"});
    EXPECT_EQ(note.out.substr(0, 2), "N ") << c.model;
    EXPECT_NE(note.out, "N 0\n") << c.model << ": no tape channels";
  }
}

TEST(DiscreteExamples, ProducerConsumerConservesTokensAtEveryGraphStep) {
  // raw, buffer, made, consumed, what the producer and the consumer hold, their states.
  const Rows rows = PrintAtGraphSteps("producer_consumer.txt",
                                      "Time 101.Value 103.Value 105.Value 106.Value 102.stored[1] 104.stored[1] "
                                      "102.State",
                                      100);
  ASSERT_EQ(rows.size(), 101u);
  int blocked = 0;
  for (size_t k = 0; k < rows.size(); ++k) {
    const auto& r = rows[k];
    ASSERT_EQ(r.size(), 8u);
    const double time = r[0], raw = r[1], buffer = r[2], made = r[3], consumed = r[4];
    const double producer_holds = r[5], consumer_holds = r[6];
    EXPECT_EQ(time, 10.0 * static_cast<double>(k));
    // Tokens produced (taken from raw) = consumed + in the buffer + held by activities.
    EXPECT_EQ(500 - raw, consumed + buffer + producer_holds + consumer_holds) << time;
    EXPECT_EQ(made, consumed + buffer + consumer_holds) << time;
    EXPECT_GE(buffer, 0) << time;
    EXPECT_LE(buffer, 5) << time;
    if (r[7] == 3) ++blocked;
  }
  EXPECT_GT(blocked, 10);  // the faster producer waits for room in the buffer
  EXPECT_GT(rows.back()[4], 100);
}

TEST(DiscreteExamples, ConveyorCarriesEveryUnitToOneOfTheLines) {
  // stock, load on the belt, infeed, held by the diverter, lineC, lineD.
  const Rows rows = PrintAtGraphSteps("conveyor.txt",
                                      "Time 101.Value 102.cc 103.Value 104.stored[1] 105.Value 106.Value", 100);
  ASSERT_EQ(rows.size(), 101u);
  for (const auto& r : rows) {
    ASSERT_EQ(r.size(), 7u);
    EXPECT_EQ(200 - r[1], r[2] + r[3] + r[4] + r[5] + r[6]) << r[0];
    // The belt's first load arrives at its 11th move (Time 30) and is held for 2.
    if (r[0] <= 30) {
      EXPECT_EQ(r[5] + r[6], 0) << r[0];
    }
  }
  EXPECT_EQ(rows[4][5] + rows[4][6], 3);  // Time 40: loads of 30, 33 and 36 delivered
  const auto& last = rows.back();
  EXPECT_EQ(last[5] + last[6], 200);
  // 200 loads diverted with probability 0.3: standard error of the share 0.032.
  EXPECT_NEAR(last[6] / 200, 0.3, 0.1);
}

TEST(DiscreteExamples, MachineMakesOnePartPerFivePassesOfUpTime) {
  std::string header;
  const Rows tape = RunTape("breakdowns.txt", &header);
  EXPECT_EQ(header, "Time      failures   parts   uptime");
  ASSERT_EQ(tape.size(), 101u);
  int down_rows = 0;
  for (const auto& r : tape) {
    const double up = r[1], parts = r[2], uptime = r[3];
    // The uptime integrates the timer's output of the passes before; a part needs five
    // passes of up time: the start and four of delay, the clock frozen while down.
    EXPECT_EQ(parts, std::floor((uptime + up) / 5)) << r[0];
    if (up == 0) ++down_rows;
  }
  EXPECT_GT(down_rows, 5);
  const double availability = tape.back()[3] / 1000;
  EXPECT_GT(availability, 0.65);  // up 50 and down 10 on average: about 0.83
  EXPECT_LT(availability, 0.95);
}

TEST(DiscreteExamples, DelayLineGivesThePositionOfTwentyFiveTimeUnitsAgo) {
  std::string header;
  const Rows tape = RunTape("delay_line.txt", &header);
  EXPECT_EQ(header, "Time      position   delayed");
  ASSERT_EQ(tape.size(), 201u);  // a row every 5
  for (size_t k = 0; k < tape.size(); ++k) {
    const double time = tape[k][0], delayed = tape[k][2];
    if (time < 25) {
      EXPECT_EQ(delayed, 50) << time;  // the history after a reset
    } else {
      EXPECT_NEAR(delayed, tape[k - 5][1], 1e-9) << time;
    }
  }
  // A quarter period behind: the cosine at its top, the delayed wave crossing zero.
  EXPECT_NEAR(tape[20][1], 50, 0.1);
  EXPECT_NEAR(tape[20][2], 0, 2);
}

// The demand table of the lookup example: hour of day -> demand, constant outside.
double Demand(double hour) {
  const double hours[] = {0, 6, 8, 12, 17, 19, 23, 24};
  const double demand[] = {20, 20, 90, 60, 60, 100, 30, 20};
  if (hour <= 0) return demand[0];
  for (int i = 1; i < 8; ++i) {
    if (hour <= hours[i]) {
      return demand[i - 1] + (hour - hours[i - 1]) * (demand[i] - demand[i - 1]) / (hours[i] - hours[i - 1]);
    }
  }
  return demand[7];
}

TEST(DiscreteExamples, LookupTableSharedByTwoGenerators) {
  const Rows tape = RunTape("lookup_table.txt");
  ASSERT_EQ(tape.size(), 101u);
  for (const auto& r : tape) {
    EXPECT_NEAR(r[1], Demand(r[0] * 0.024), 1e-9) << r[0];
    EXPECT_NEAR(r[2], 0.5 * Demand((r[0] - 250) * 0.024), 1e-9) << r[0];
  }
  EXPECT_EQ(tape[50][1], 60);  // Time 500: hour 12, a point of the table
}

}  // namespace
}  // namespace trevolan

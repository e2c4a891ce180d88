#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numeric>

#include "study/batch_means.h"
#include "study/mser.h"
#include "study/study.h"
#include "study/study_files.h"
#include "support/test_support.h"

namespace trevolan::study {
namespace {

using testing::ExamplePath;
using testing::ReadTextFile;
using testing::RunCli;
using testing::SplitLines;
using testing::TempDir;

std::vector<double> Repeat(std::vector<double> pattern, size_t times) {
  std::vector<double> out;
  for (size_t i = 0; i < times; ++i) out.insert(out.end(), pattern.begin(), pattern.end());
  return out;
}

std::vector<double> Join(std::vector<double> a, const std::vector<double>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Batches of five whose means are the given ones.
std::vector<double> Batches(const std::vector<double>& means) {
  std::vector<double> out;
  for (double m : means) out.insert(out.end(), {m - 2, m - 1, m, m + 1, m + 2});
  return out;
}

// MSER-5 and batch means on series whose answers follow by hand.
TEST(SeriesStatistics, MserAndBatchMeansOnKnownSeries) {
  const std::vector<double> noise = Repeat({0, 1}, 20);  // batch means 0.4 and 0.6 in turn
  const struct {
    const char* name;
    std::vector<double> samples;
    size_t drop;
  } mser[] = {
      {"a level series keeps everything", std::vector<double>(50, 3), 0},
      {"two batches of a start-up at 100 are cut", Join(std::vector<double>(10, 100), noise), 10},
      {"samples after the last whole batch count for nothing", Join(Join(std::vector<double>(10, 100), noise), {1e6, 1e6, 1e6}), 10},
      // Dropping seven batches would leave three alike (no error at all), but the
      // search ends at half the batches, where the least lies at no truncation:
      // 0.525 against 0.617, 0.732, 0.875, 1.04, 1.2 for d = 1..5.
      {"the search ends at half the batches", Batches({5, 5, 5, 5, 5, 5, 5, 0, 0, 0}), 0},
      {"a slow start: the means 9 8 7 then 1 2 1 2 ...", Batches({9, 8, 7, 1, 2, 1, 2, 1, 2, 1, 2, 1}), 15},
      {"fewer than two batches", {5, 1, 1, 1, 1, 1, 1, 1, 1}, 0},
  };
  for (const auto& c : mser) EXPECT_EQ(MserTruncation(c.samples), c.drop) << c.name;

  std::vector<double> ramp(23);
  std::iota(ramp.begin(), ramp.end(), 1.0);  // 1..23: pairs (1,2), ..., (19,20); 21..23 left over
  const std::vector<double> means = BatchMeans(ramp, 10);
  ASSERT_EQ(means.size(), 10u);
  for (size_t j = 0; j < 10; ++j) EXPECT_DOUBLE_EQ(means[j], 1.5 + 2.0 * static_cast<double>(j)) << j;
  EXPECT_TRUE(BatchMeans(ramp, 30).empty());

  const struct {
    std::vector<double> means;
    double lag1;
  } lags[] = {{{1, -1, 1, -1}, -0.75}, {{1, 2, 3, 4, 5}, 0.4}, {{2, 0, 0, 2}, -0.25}};
  for (const auto& c : lags) EXPECT_DOUBLE_EQ(Lag1Correlation(c.means), c.lag1);
  EXPECT_TRUE(std::isnan(Lag1Correlation(std::vector<double>{4, 4, 4})));
  EXPECT_TRUE(std::isnan(Lag1Correlation(std::vector<double>{1, 2})));
}

std::vector<std::vector<std::string>> Rows(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : SplitLines(ReadTextFile(path))) {
    if (!line.empty()) rows.push_back(*ParseCsvLine(line));
  }
  return rows;
}

size_t Column(const std::vector<std::string>& header, const std::string& name) {
  const auto at = std::find(header.begin(), header.end(), name);
  EXPECT_NE(at, header.end()) << name;
  return static_cast<size_t>(at - header.begin());
}

double Number(const std::string& text) { return std::stod(text); }

// A study on the command line with its runs and summary files in `dir`; --resume
// afterwards must find every run and write the same files.
testing::CliResult StudyAndResume(const TempDir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), "study");
  args.insert(args.end(), {"--out", dir.path("runs.csv"), "--summary", dir.path("summary.csv"), "--jobs", "2"});
  const auto first = RunCli(args);
  const std::string runs = ReadTextFile(dir.path("runs.csv")), summary = ReadTextFile(dir.path("summary.csv"));
  args.push_back("--resume");
  const auto again = RunCli(args);
  EXPECT_EQ(again.status, first.status) << again.err;
  EXPECT_EQ(ReadTextFile(dir.path("runs.csv")), runs);
  EXPECT_EQ(ReadTextFile(dir.path("summary.csv")), summary);
  return first;
}

// --warmup auto: each run finds its own warm-up on the grid of its batches of five
// samples, within their first half, and its measures are those a fixed warm-up at that
// time gives; the summary holds the mean and the most of the truncation times.
TEST(SeriesStudy, WarmupAutoTakesEachRunFromItsOwnTruncation) {
  TempDir dir;
  const std::vector<std::string> plan{ExamplePath("mm1_queue.txt"), "--set", "FinTim=2000", "--set", "GrDel=2",
                                      "--vary", "101.aa=2,1.25", "--replications", "3", "--measure", "mean:104.Value",
                                      "--measure", "max:104.Value", "--measure", "final:107.Value"};
  std::vector<std::string> args = plan;
  args.insert(args.end(), {"--warmup", "auto"});
  const auto r = StudyAndResume(dir, args);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const auto runs = Rows(dir.path("runs.csv"));
  ASSERT_EQ(runs.size(), 7u);
  const auto& header = runs[0];
  EXPECT_EQ(std::vector(header.begin() + 4, header.end()),
            (std::vector<std::string>{"mean:104.Value", "max:104.Value", "final:107.Value", "warmup(mean:104.Value)",
                                      "warmup(max:104.Value)", "warmup(final:107.Value)", "status"}));
  std::vector<double> case1;
  for (size_t i = 1; i < runs.size(); ++i) {
    const auto& row = runs[i];
    EXPECT_EQ(row[9], "") << "a final value has no warm-up";
    for (size_t m = 0; m < 2; ++m) {
      const double t = Number(row[7 + m]);
      EXPECT_NEAR(std::remainder(t, 10.0), 0, 1e-6) << t;  // batches of 5 samples each GrDel 2
      EXPECT_LE(t, 1000);                                  // the first half of the batches
      std::vector<std::string> fixed = plan;
      fixed.insert(fixed.end(), {"--warmup", row[7 + m]});
      Sim scratch;
      const RunResult again = Study(ParseStudyOptions(fixed)).Run({std::stoll(row[0]), std::stoll(row[1])}, 0, scratch);
      EXPECT_NEAR(*again.values[m], Number(row[4 + m]), 1e-9 * std::fabs(Number(row[4 + m]))) << i << " " << m;
    }
    if (row[0] == "1") case1.push_back(Number(row[7]));
  }
  const auto summary = Rows(dir.path("summary.csv"));
  EXPECT_NEAR(Number(summary[1][Column(summary[0], "warmup_mean(mean:104.Value)")]),
              (case1[0] + case1[1] + case1[2]) / 3, 1e-9);
  EXPECT_EQ(Number(summary[1][Column(summary[0], "warmup_max(mean:104.Value)")]),
            std::max({case1[0], case1[1], case1[2]}));
  EXPECT_EQ(summary[1][Column(summary[0], "warmup_max(final:107.Value)")], "");
}

// --batches: the one run's samples after the warm-up in K means, the summary's n, mean
// and interval theirs, lag1 their lag-1 correlation; a warning when it is high (a ramp's
// batch means follow each other as closely as can be).
TEST(SeriesStudy, BatchesGiveTheIntervalOfOneLongRun) {
  TempDir dir;
  const auto r = StudyAndResume(dir, {ExamplePath("mm1_queue.txt"), "--set", "FinTim=4000", "--set", "GrDel=1",
                                      "--vary", "101.aa=2,1.25", "--warmup", "100", "--batches", "20", "--measure",
                                      "mean:104.Value", "--measure", "mean:107.Value"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const auto runs = Rows(dir.path("runs.csv")), summary = Rows(dir.path("summary.csv"));
  ASSERT_EQ(runs.size(), 3u);
  ASSERT_EQ(runs[0].size(), 3 + 1 + 2 + 2 * 20 + 1);
  EXPECT_EQ(runs[0][6], "batch1(mean:104.Value)");
  EXPECT_EQ(runs[0][45], "batch20(mean:107.Value)");
  for (size_t c = 1; c <= 2; ++c) {
    for (size_t m = 0; m < 2; ++m) {
      std::vector<double> means;
      for (size_t b = 0; b < 20; ++b) means.push_back(Number(runs[c][6 + 20 * m + b]));
      const std::string name = m == 0 ? "(mean:104.Value)" : "(mean:107.Value)";
      const SampleSummary s = Summarize(means);
      EXPECT_EQ(summary[c][Column(summary[0], "n" + name)], "20");
      EXPECT_NEAR(Number(summary[c][Column(summary[0], "mean" + name)]), s.mean, 1e-12);
      EXPECT_NEAR(Number(summary[c][Column(summary[0], "ci95" + name)]), s.ci, 1e-12);
      EXPECT_NEAR(Number(summary[c][Column(summary[0], "lag1" + name)]), Lag1Correlation(means), 1e-12);
      // The batches cover the samples after the warm-up: their mean is near the run's.
      EXPECT_NEAR(s.mean, Number(runs[c][4 + m]), 0.05 * Number(runs[c][4 + m]) + 0.01);
    }
  }
  const auto ramp = RunCli({"study", ExamplePath("integrators.txt"), "--batches", "10", "--measure", "mean:101.Value",
                            "--summary", dir.path("ramp.csv")});
  EXPECT_EQ(ramp.status, 0) << ramp.err;
  EXPECT_NE(ramp.err.find("warning: case 1, mean:101.Value: the lag-1 correlation of the batch means is 0.70, above 0.2"),
            std::string::npos)
      << ramp.err;
}

}  // namespace
}  // namespace trevolan::study

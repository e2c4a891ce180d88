#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "blocks/compute.h"
#include "model/file_commands.h"
#include "model/seed.h"
#include "model/numbers.h"
#include "model/sim_copy.h"
#include "model/tape.h"
#include "engine/run_loop.h"
#include "engine/run_operations.h"
#include "model/tape_csv.h"
#include "study/statistics.h"
#include "study/sha256.h"
#include "study/study.h"
#include "study/study_files.h"
#include "study/study_options.h"
#include "study/sweep_plot.h"
#include "display/recording_canvas.h"
#include "support/test_support.h"

namespace trevolan::study {
namespace {

using testing::ExamplePath;
using testing::ReadTextFile;
using testing::RunCli;
using testing::SplitLines;
using testing::TempDir;

TEST(StudyStatistics, StudentQuantilesAndSampleSummary) {
  // Two-sided 95% quantiles from the published tables.
  const std::map<int64_t, double> table = {{1, 12.7062047361747}, {2, 4.30265272974946}, {3, 3.18244630528371},
                                           {9, 2.26215716279820}, {10, 2.22813885198627}, {30, 2.04227245630124},
                                           {120, 1.97993040508242}};
  for (const auto& [df, t] : table) EXPECT_NEAR(StudentT95(df), t, 1e-9) << df;
  const SampleSummary s = Summarize({1e9 + 2, 1e9 + 4, 1e9 + 4, 1e9 + 4, 1e9 + 5, 1e9 + 5, 1e9 + 7, 1e9 + 9});
  EXPECT_EQ(s.n, 8);
  EXPECT_DOUBLE_EQ(s.mean, 1e9 + 5);
  // The offset of 1e9 leaves about 1e-7 of each value's digits.
  EXPECT_NEAR(s.sd, std::sqrt(32.0 / 7), 1e-6);
  EXPECT_NEAR(s.ci, 2.36462425159278 * std::sqrt(32.0 / 7) / std::sqrt(8.0), 1e-6);
  EXPECT_TRUE(std::isnan(Summarize({3}).sd));
  EXPECT_EQ(Summarize({}).n, 0);
  // The interval's column is named by the level in per cent, every digit the level was
  // given with and no more.
  for (const auto& [level, name] : std::map<double, std::string>{{0.95, "ci95"}, {0.999, "ci99.9"}, {0.5, "ci50"},
                                                                  {0.05, "ci5"}, {0.999999999, "ci99.9999999"},
                                                                  {1e-9, "ci0.0000001"}, {0.123456789012345, "ci12.3456789012345"}}) {
    EXPECT_EQ(IntervalName(level), name) << level;
  }
}

TEST(StudyCsv, FieldsAreQuotedOnlyWhenTheyMustBe) {
  EXPECT_EQ(CsvLine({"a", "1.5E-7", "x,y", "say \"hi\"", ""}), "a,1.5E-7,\"x,y\",\"say \"\"hi\"\"\",\r\n");
}

// A copy of a read model runs exactly as the model itself, and the generator starts as
// it always did unless seeded.
TEST(StudyModel, CopiesRunAsTheOriginalAndSeedsPickTheSequence) {
  auto original = std::make_unique<Sim>();
  FileOpen(*original, ExamplePath("breakdowns.txt"));
  auto copy = std::make_unique<Sim>();
  copy->Delt = 7;
  copy->block(500).Type = BlockType::Fuzz;
  CopyModelState(*original, *copy);
  for (Sim* s : {original.get(), copy.get()}) {
    ResetButton(*s);
    ASSERT_TRUE(Finish(*s).reached());
  }
  EXPECT_EQ(TapeFileText(*copy), TapeFileText(*original));
  EXPECT_EQ(copy->block(500).Type, BlockType::Empty);

  Sim fresh;
  EXPECT_EQ(fresh.rng(), std::mt19937_64(Sim::kSeed)());
  const auto draws = [](uint64_t seed) {
    Sim s;
    SeedGenerator(s, seed);
    return std::vector<double>{s.Uniform(101), s.Uniform(101), s.Uniform(101)};
  };
  EXPECT_EQ(draws(1), draws(1));
  EXPECT_NE(draws(1), draws(2));
  EXPECT_EQ(SeedFromText("9007199254740991"), kMaxSeed);
  for (const char* bad : {"-1", "1.5", "9007199254740992", "NAN"}) EXPECT_THROW(SeedFromText(bad), RangeError) << bad;
  EXPECT_THROW(SeedFromText("x"), ConversionError);
  // The batch runner's seed command: the same numbers for the same seed.
  const auto queue = [](const std::string& seed) {
    return RunCli({"exec", "-c", "open " + ExamplePath("mm1_queue.txt") + "; timing finish=50;" + seed +
                                     " reset; finish; print 101.Value 104.Value"});
  };
  const auto a = queue("seed 7;"), b = queue("seed 7;"), c = queue("seed 8;");
  EXPECT_EQ(a.status, 0) << a.out;
  EXPECT_EQ(a.out, b.out);
  EXPECT_NE(a.out, c.out);
}

// Common random numbers: with `seed N crn` every block draws from its own stream, so
// that a change to block 101 leaves the draws of block 103 as they were, even a change
// that makes 101 draw more often (which shifts them on the one shared generator); the
// same seed repeats the streams, which start as the derivation in model/seed.h says;
// a copy draws on from where the original stands; a plain seed after a crn seed draws
// as a plain seed always did.
TEST(StudyModel, CommonRandomNumbersGiveEachBlockAStreamOfItsOwn) {
  using Seeds = std::vector<std::pair<uint64_t, bool>>;  // (N, crn), in order
  // Two exponential Fuzz blocks as in mm1_queue.txt: 101 of mean 2, 103 of mean 1.
  const auto two_fuzz = [](Sim& s, void (*change)(TBlock&)) {
    for (const int id : {101, 103}) {
      TBlock& b = s.block(id);
      b.Type = BlockType::Fuzz;
      b.OnOff = 1;
      b.State = 2;
      b.aa = id == 101 ? 2 : 1;
      b.dd = 1000;
    }
    change(s.block(101));
    s.HighestBlock = 103;
  };
  const auto passes = [](Sim& s, int n) {
    std::vector<double> values;
    for (int i = 0; i < n; ++i) {
      ComputeAllBlocks(s);
      values.push_back(s.block(103).Value);
    }
    return values;
  };
  // Block 103's values over 40 passes after the seeds.
  const auto service = [&](const Seeds& seeds, void (*change)(TBlock&)) {
    Sim s;
    two_fuzz(s, change);
    for (const auto& [n, crn] : seeds) SeedGenerator(s, n, crn);
    return passes(s, 40);
  };
  const auto unchanged = [](TBlock&) {};
  const struct {
    const char* change;
    void (*apply)(TBlock&);
    bool shifts_shared_draws;
  } changes[] = {
      {"101.aa = 3", [](TBlock& b) { b.aa = 3; }, false},       // still one draw a pass
      {"101 Erlang-3", [](TBlock& b) { b.State = 3; }, true},  // three draws a pass
      {"101 off", [](TBlock& b) { b.OnOff = 0; }, true},      // none
  };
  const auto crn7 = service({{7, true}}, unchanged), plain7 = service({{7, false}}, unchanged);
  for (const auto& c : changes) {
    EXPECT_EQ(service({{7, true}}, c.apply), crn7) << c.change;
    EXPECT_EQ(service({{7, false}}, c.apply) != plain7, c.shifts_shared_draws) << c.change;
  }
  EXPECT_EQ(service({{7, true}}, unchanged), crn7);
  EXPECT_NE(service({{8, true}}, unchanged), crn7);
  EXPECT_NE(plain7, crn7);
  EXPECT_EQ(service({{7, true}, {7, false}}, unchanged), plain7);
  EXPECT_EQ(service({{8, true}, {7, true}}, unchanged), crn7);
  // Block 103's pass stream: state SplitMix64(SplitMix64(7) + 103 + 1001), one draw a pass.
  uint64_t state = SplitMix64(SplitMix64(7) + 103 + kBlockSlots);
  for (int i = 0; i < 3; ++i, state += 0x9e3779b97f4a7c15ull) {
    const double u = static_cast<double>(SplitMix64(state) >> 11) * 0x1.0p-53;
    EXPECT_EQ(crn7[static_cast<size_t>(i)], -std::log(u + 1e-19)) << i;
  }
  Sim original, copy;
  two_fuzz(original, unchanged);
  SeedGenerator(original, 7, true);
  passes(original, 5);
  CopyModelState(original, copy);
  EXPECT_EQ(passes(copy, 35), std::vector<double>(crn7.begin() + 5, crn7.end()));
}

// Measures over runs with known answers: the ramp of the integrator example (Value =
// Time / 10) and the draws of an exponential Fuzz block.
TEST(StudyMeasures, RampAndFuzzGiveTheirKnownValues) {
  StudyPlan plan = ParseStudyOptions({ExamplePath("integrators.txt"), "--measure", "mean:101.Value", "--measure",
                                      "min:101.Value", "--measure", "max:101.Value", "--measure", "final:101.Value",
                                      "--measure", "at:250:101.Value", "--warmup",
                                      "500", "--set", "Delt=0.5"});
  Study ramp(plan);
  Sim scratch;
  const RunResult r = ramp.Run({1, 1}, 0, scratch);
  ASSERT_FALSE(r.failed()) << r.error;
  // Steps at 500, 500.5, ..., 1000, each standing for the half unit that ends at it.
  EXPECT_NEAR(*r.values[0], (500 + 1000) / 2.0 / 10, 1e-9);
  EXPECT_NEAR(*r.values[1], 50, 1e-9);
  EXPECT_NEAR(*r.values[2], 100, 1e-9);
  EXPECT_NEAR(*r.values[3], 100, 1e-9);
  EXPECT_NEAR(*r.values[4], 25, 1e-9);
  auto loaded = std::make_unique<Sim>();
  FileOpen(*loaded, ExamplePath("integrators.txt"));
  EXPECT_EQ(Study(plan, *loaded).Run({1, 1}, 0, scratch).values, r.values);  // a model in memory runs the same

  // Exponential draws of mean 10 (mode 2), one a step, 2000 steps a run: the mean of
  // each run has a deviation of 10 / sqrt(2000); the runs' confidence interval holds 10.
  TempDir dir;
  testing::WriteTextFile(dir.path("fuzz.script"),
                         "new\ntiming finish=2000\nset HighestBlock 101\nset 101.Type Z\nset 101.OnOff 1\n"
                         "set 101.State 2\nset 101.aa 10\nset 101.cc -1000\nset 101.dd 1000\nsave " +
                             dir.path("fuzz.txt") + "\n");
  ASSERT_EQ(RunCli({"exec", "-f", dir.path("fuzz.script")}).status, 0);
  Study fuzz(ParseStudyOptions({dir.path("fuzz.txt"), "--replications", "12", "--measure", "mean:101.Value",
                                "--measure", "min:101.Value", "--seed", "3"}));
  const auto cases = RunStudy(fuzz, 2, nullptr).cases;
  ASSERT_EQ(cases.size(), 1u);
  const SampleSummary& mean = cases[0].measures[0];
  EXPECT_EQ(mean.n, 12);
  EXPECT_LE(std::fabs(mean.mean - 10), mean.ci);
  EXPECT_NEAR(mean.sd, 10 / std::sqrt(2000.0), 0.5 * 10 / std::sqrt(2000.0));
  EXPECT_GE(cases[0].measures[1].mean, 0);
}

// The queue example at rho = 0.5 against rho^2 / (1 - rho) = 0.5 and rho. Each gap
// and each service lasts its drawn time rounded up to the step, plus the one step
// before the Activity starts again: on average 1.5 Delt = 0.03 longer than drawn at
// Delt 0.02. Gaps of 2.03 and services of 1.03 give rho = 0.507 and, by the
// Pollaczek-Khinchine formula (E[S^2] = 1 + 1.03^2), a mean queue of 0.508. So the
// queue must lie within its confidence interval of 0.5 widened by 0.025 (three times
// that bias), and the utilisation within its interval widened by 0.01.
TEST(StudyMeasures, QueueExampleMatchesTheMM1Formula) {
  Study queue(ParseStudyOptions({ExamplePath("mm1_queue.txt"), "--set", "Delt=0.02", "--set", "FinTim=3000",
                                 "--replications", "8", "--warmup", "100", "--measure", "mean:104.Value",
                                 "--measure", "mean:107.Value"}));
  const auto cases = RunStudy(queue, 0, nullptr).cases;
  const SampleSummary& length = cases[0].measures[0];
  const SampleSummary& busy = cases[0].measures[1];
  EXPECT_EQ(length.n, 8);
  EXPECT_LE(std::fabs(length.mean - 0.5), length.ci + 0.025) << length.mean << " +- " << length.ci;
  EXPECT_LE(std::fabs(busy.mean - 0.5), busy.ci + 0.01) << busy.mean << " +- " << busy.ci;
}

std::string Read(const std::string& path) { return ReadTextFile(path); }

// The schedule: a stop keeps the runs done, in order, and ends the study early; with
// --crn each case is paired with the baseline replication by replication, whichever
// case is the baseline; the record's digest is SHA-256.
TEST(StudySchedule, StopsKeepTheRunsInOrderAndPairsFollowTheBaseline) {
  const auto plan = [](std::vector<std::string> more) {
    std::vector<std::string> args{ExamplePath("mm1_queue.txt"), "--set", "FinTim=200", "--vary", "101.aa=1.5,2,2.5",
                                  "--replications", "4", "--measure", "mean:104.Value", "--measure", "max:104.Value"};
    args.insert(args.end(), more.begin(), more.end());
    return ParseStudyOptions(args);
  };
  const Study stopping(plan({"--set", "FinTim=20000"}));  // runs long enough to be stopped among them
  const StudyResults stopped = RunStudy(stopping, 2, [](int64_t done, int64_t, int64_t planned) {
    EXPECT_EQ(planned, 12);
    return done < 3;
  });
  EXPECT_TRUE(stopped.interrupted);
  ASSERT_GE(stopped.runs.size(), 3u);
  EXPECT_LT(stopped.runs.size(), 12u);
  for (size_t i = 0; i < stopped.runs.size(); ++i) {
    const RunResult& r = stopped.runs[i];
    EXPECT_FALSE(r.interrupted);
    if (i > 0) {
      EXPECT_GT(r.index, stopped.runs[i - 1].index);
    }
    EXPECT_EQ(r.index, (r.case_number - 1) * 4 + r.replication - 1);
  }
  int64_t counted = 0;
  for (const CaseSummary& c : stopped.cases) counted += c.runs;
  EXPECT_EQ(counted, static_cast<int64_t>(stopped.runs.size()));
  // The same by hand: a run done after a gap is kept once the runs out before it come
  // back given up, whichever comes last.
  std::vector<int64_t> kept;
  RunSchedule schedule(stopping, [&kept](const RunResult& r) { kept.push_back(r.index); });
  std::vector<RunSchedule::Ticket> out;
  for (int i = 0; i < 3; ++i) out.push_back(*schedule.Next());
  const auto result = [&](int i, bool given_up) {
    RunResult r;
    r.index = out[static_cast<size_t>(i)].index;
    r.case_number = out[static_cast<size_t>(i)].key.case_number;
    r.replication = out[static_cast<size_t>(i)].key.replication;
    r.values.assign(2, 1.0);
    r.interrupted = given_up;
    return r;
  };
  schedule.Done(result(1, false));
  schedule.Stop();
  schedule.Done(result(0, true));
  EXPECT_TRUE(kept.empty());  // run 2 is still out
  schedule.Done(result(2, true));
  EXPECT_EQ(kept, std::vector<int64_t>{1});
  EXPECT_TRUE(schedule.Finished());

  for (const std::string baseline : {"1", "2", "3"}) {
    const Study paired(plan({"--crn", "--baseline", baseline}));
    const StudyResults all = RunStudy(paired, 2, nullptr);
    ASSERT_EQ(all.runs.size(), 12u);
    const auto b = std::stoi(baseline);
    for (int64_t c = 1; c <= 3; ++c) {
      const CaseSummary& summary = all.cases[static_cast<size_t>(c - 1)];
      if (c == b) {
        EXPECT_TRUE(summary.differences.empty());
        continue;
      }
      ASSERT_EQ(summary.differences.size(), 2u);
      for (size_t m = 0; m < 2; ++m) {
        std::vector<double> d;
        for (int64_t rep = 1; rep <= 4; ++rep) {
          const RunResult& x = all.runs[static_cast<size_t>((c - 1) * 4 + rep - 1)];
          const RunResult& y = all.runs[static_cast<size_t>((b - 1) * 4 + rep - 1)];
          EXPECT_EQ(x.seed, y.seed);
          d.push_back(*x.values[m] - *y.values[m]);
        }
        const SampleSummary expected = Summarize(d);
        EXPECT_DOUBLE_EQ(summary.differences[m].mean, expected.mean) << baseline << " " << c;
        EXPECT_DOUBLE_EQ(summary.differences[m].ci, expected.ci) << baseline << " " << c;
      }
    }
  }
  for (const auto& [text, digest] : std::map<std::string, std::string>{
           {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
           {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
           {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
           {std::string(1000, 'a'), "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"}}) {
    EXPECT_EQ(Sha256Hex(text), digest) << text.size();
  }
}

// A precision stop: a first batch of ten runs unless --replications or the limit says
// otherwise, whole batches after it; what stopped on precision is precise, and under
// --crn so is its difference to the baseline, which runs as long as any case paired
// with it and gives the number of pairs in the summary.
TEST(StudySchedule, PrecisionStopsAfterAFirstBatchOfTenAndOnThePairs) {
  const struct {
    std::vector<std::string> args;
    int64_t batch;
  } rows[] = {
      {{}, 10},
      {{"--replications", "3"}, 3},
      {{"--max-replications", "6"}, 6},
      {{"--crn", "--baseline", "2"}, 10},
      {{"--crn", "--replications", "4"}, 4},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args{ExamplePath("mm1_queue.txt"), "--set", "FinTim=200", "--vary", "101.aa=1.5,2,2.5",
                                  "--measure", "mean:104.Value", "--seed", "4", "--precision", "0.2"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    if (std::find(args.begin(), args.end(), "--max-replications") == args.end()) {
      args.insert(args.end(), {"--max-replications", "60"});
    }
    const Study study(ParseStudyOptions(args));
    const std::string named = ::testing::PrintToString(row.args);
    EXPECT_EQ(study.plan().replications, row.batch) << named;
    const StudyResults results = RunStudy(study, 2, nullptr);
    const int64_t limit = *study.plan().max_replications, baseline = study.baseline();
    const auto precise = [](const SampleSummary& s) { return s.n > 1 && s.ci <= 0.2 * std::fabs(s.mean); };
    int64_t most = 0, stopped_on_precision = 0;
    for (const CaseSummary& c : results.cases) {
      EXPECT_TRUE(c.runs == limit || (c.runs >= row.batch && c.runs % row.batch == 0)) << named << c.runs;
      EXPECT_EQ(c.stopped == "limit", !precise(c.measures[0]) || (c.case_number != baseline && baseline > 0 &&
                                                                 !precise(c.differences[0])))
          << named << " case " << c.case_number;
      if (c.case_number != baseline) most = std::max(most, c.runs);
      stopped_on_precision += c.stopped == "precision";
      if (baseline > 0 && c.case_number != baseline) {
        EXPECT_EQ(c.differences[0].n, c.runs) << named;
      }
    }
    EXPECT_TRUE(limit == row.batch || stopped_on_precision > 0) << named;
    if (baseline > 0) {
      EXPECT_GE(results.cases[static_cast<size_t>(baseline - 1)].runs, most) << named;
      const auto lines = SplitLines(SummaryCsv(study, results.cases));
      EXPECT_NE(lines[0].find(",n_diff(mean:104.Value),diff(mean:104.Value),"), std::string::npos) << lines[0];
      const auto baseline_row = *ParseCsvLine(lines[static_cast<size_t>(baseline)]);
      EXPECT_EQ(baseline_row[8], "0") << lines[static_cast<size_t>(baseline)];
    }
  }
}

// Under a precision the runs planned, and so the progress's time left, are those the
// rule is expected to make once the first batch is judged: here within a batch, or 15 %
// (the first ten runs' sd is that of the pattern times sqrt(10/9)), of the runs it then
// makes, for runs whose values repeat a pattern (so the mean and sd hold).
TEST(StudySchedule, PrecisionPlansTheRunsItsRuleWillMake) {
  const struct {
    std::vector<double> pattern;
    std::string precision, limit;
  } rows[] = {
      {{1, 3}, "0.1", "1000"}, {{1, 3}, "0.1", "50"}, {{1, 2, 3, 4, 5}, "0.02", "5000"},
      {{2, 2.001}, "0.1", "1000"}, {{-1, 3}, "0.05", "100000"},
  };
  for (const auto& row : rows) {
    const Study study(ParseStudyOptions({ExamplePath("mm1_queue.txt"), "--measure", "final:104.Value", "--precision",
                                         row.precision, "--max-replications", row.limit}));
    RunSchedule schedule(study, nullptr);
    int64_t after_first = 0;
    while (const auto t = schedule.Next()) {
      RunResult r;
      r.index = t->index;
      r.case_number = t->key.case_number;
      r.replication = t->key.replication;
      r.values = {row.pattern[static_cast<size_t>(t->key.replication - 1) % row.pattern.size()]};
      schedule.Done(r);
      if (schedule.done() == kFirstBatch) after_first = schedule.planned();
    }
    const std::string named = row.precision + " " + row.limit + " " + std::to_string(row.pattern.size());
    EXPECT_TRUE(schedule.Finished()) << named;
    EXPECT_EQ(schedule.planned(), schedule.done()) << named;
    EXPECT_LE(std::abs(after_first - schedule.done()), std::max(kFirstBatch, schedule.done() * 15 / 100)) << named << ": " << after_first << " planned, "
                                                                    << schedule.done() << " made";
  }
}

// The files of a study do not depend on the number of workers; the seed decides the
// numbers; a run that fails is recorded and the study goes on.
TEST(StudyCommand, FilesAreTheSameForAnyNumberOfWorkers) {
  TempDir dir;
  const auto study = [&](const std::string& name, const std::string& jobs, const std::string& seed) {
    return RunCli({"study", ExamplePath("mm1_queue.txt"), "--set", "FinTim=200", "--set", "Delt=0.05", "--vary",
                   "101.aa=1.5:2.5:3", "--vary", "103.aa=0.5,1", "--replications", "3", "--seed", seed,
                   "--measure", "mean:104.Value", "--measure", "max:104.Value", "--measure", "at:100:107.Value",
                   "--out", dir.path(name + ".csv"), "--summary", dir.path(name + "_summary.csv"), "--jobs", jobs});
  };
  const auto one = study("j1", "1", "5");
  ASSERT_EQ(one.status, 0) << one.out << one.err;
  EXPECT_EQ(one.err, "");  // no progress bar without a terminal
  for (const std::string jobs : {"2", "3"}) {
    const auto r = study("j" + jobs, jobs, "5");
    EXPECT_EQ(r.out, one.out);
    EXPECT_EQ(Read(dir.path("j" + jobs + ".csv")), Read(dir.path("j1.csv")));
    EXPECT_EQ(Read(dir.path("j" + jobs + "_summary.csv")), Read(dir.path("j1_summary.csv")));
  }
  const auto lines = SplitLines(Read(dir.path("j1.csv")));
  ASSERT_EQ(lines.size(), 1 + 6 * 3u);
  EXPECT_EQ(lines[0], "case,replication,seed,101.aa,103.aa,mean:104.Value,max:104.Value,at:100:107.Value,status");
  EXPECT_EQ(lines[1].substr(0, 4), "1,1,");
  EXPECT_NE(lines[4].find(",1.5,1,"), std::string::npos) << lines[4];  // case 2: the last --vary moves fastest
  EXPECT_NE(lines[7].find(",2,0.5,"), std::string::npos) << lines[7];
  EXPECT_EQ(lines[18].substr(lines[18].size() - 3), ",ok");
  EXPECT_EQ(SplitLines(Read(dir.path("j1_summary.csv")))[0].rfind(
                "case,101.aa,103.aa,runs,failed,n(mean:104.Value),mean(mean:104.Value),sd(mean:104.Value),"
                "ci95(mean:104.Value),n(max:104.Value)",
                0),
            0u);
  study("again", "2", "5");
  EXPECT_EQ(Read(dir.path("again.csv")), Read(dir.path("j1.csv")));
  study("other", "2", "6");
  EXPECT_NE(Read(dir.path("other.csv")), Read(dir.path("j1.csv")));

  // A connection out of range fails its runs at the first compute pass.
  const auto failing = RunCli({"study", ExamplePath("mm1_queue.txt"), "--set", "FinTim=20", "--vary",
                               "107.An=-106,1001", "--replications", "2", "--measure", "final:104.Value", "--out",
                               dir.path("failing.csv")});
  EXPECT_EQ(failing.status, 1);
  const auto rows = SplitLines(Read(dir.path("failing.csv")));
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[2].substr(rows[2].size() - 3), ",ok");
  EXPECT_EQ(rows[3].substr(rows[3].size() - 19), ",,Range check error");
  EXPECT_NE(failing.out.find("error: case 2 replication 1: Range check error"), std::string::npos) << failing.out;
}

TEST(StudyCommand, BadOptionsAreOneUsageLineNamingTheOptionAndNoRun) {
  TempDir dir;
  const std::string model = ExamplePath("mm1_queue.txt");
  const struct {
    std::vector<std::string> args;
    std::string named;
  } cases[] = {
      {{"--set", "Nothing=1"}, "--set Nothing=1: unknown target: Nothing"},
      {{"--set", "104.cc=x"}, "--set 104.cc=x: 'x' is not a valid floating point value"},
      {{"--set", "FinTim=x"}, "--set FinTim=x: 'x' is not a valid floating point value"},
      {{"--set", "1001.aa=1"}, "--set 1001.aa=1: Range check error"},
      {{"--set", "150.aa=1"}, "--set 150.aa=1: block 150 is empty in " + model},
      // Values the model's own checks would change.
      {{"--vary", "Delt=0.5,0"}, "--vary Delt=0: Delt 0 would run as 1: the time step must be above 0"},
      {{"--vary", "Delt=20"}, "--vary Delt=20: Delt 20 would run as 10: the time step may not exceed the graph step GrDel (10)"},
      {{"--set", "GrDel=2000"}, "--set GrDel=2000: GrDel 2000 would run as 1000: the graph step may not exceed the hold step Holdstep (1000)"},
      {{"--set", "Delt=0.001", "--set", "GrDel=0.005", "--set", "Holdstep=0.005", "--vary", "Delt=0.01"},
       "--vary Delt=0.01: Delt 0.01 would run as 0.005: the time step may not exceed the graph step GrDel (0.005)"},
      {{"--vary", "Delt=0.5,2", "--vary", "GrDel=5,1"},
       "--vary Delt=2: Delt 2 would run as 1: the time step may not exceed the graph step GrDel (1) (with GrDel=1)"},
      {{"--vary", "GrDel=5,1", "--vary", "Delt=0.5,2"},
       "--vary GrDel=1: GrDel 1 would run Delt 2 as 1: the time step may not exceed the graph step GrDel (1) (with Delt=2)"},
      {{"--set", "Holdstep=0.5"}, "--set Holdstep=0.5: Holdstep 0.5 would run GrDel 10 as 0.5: the graph step may not exceed"},
      {{"--set", "RepCount=1.5"}, "--set RepCount=1.5: RepCount 1.5 would run as 2: it is a whole number"},
      // The same rule as every other face: what the dialogs would repair, or the model
      // run as another value, is no study.
      {{"--set", "102.An=5000"}, "--set 102.An=5000: 102.An 5000 would run as 1000: a connection is a block ID in 0..1000"},
      {{"--vary", "101.aa=1,nan"}, "--vary 101.aa=nan: 101.aa NAN: it must be a finite number"},
      {{"--vary", "101.aa=1,inf"}, "--vary 101.aa=inf: 101.aa INF: it must be a finite number"},
      {{"--set", "101.aa=nan"}, "--set 101.aa=nan: 101.aa NAN: it must be a finite number"},
      // The study's own rule: what RESET or the run sets anew takes no value of a study.
      {{"--vary", "Time=0,5"}, "--vary Time=0: Time is set anew by RESET and the run: it is no target of a study"},
      {{"--vary", "TapeIndex=0,5"}, "--vary TapeIndex=0: TapeIndex is set anew by RESET"},
      {{"--set", "Holdnext=7"}, "--set Holdnext=7: Holdnext is set anew by RESET"},
      {{"--set", "HoldFlag=0"}, "--set HoldFlag=0: HoldFlag is set anew by RESET"},
      {{"--vary", "101.aa=1,2", "--vary", "interarr.aa=3"}, "--vary interarr.aa: the target is varied twice (as 101.aa)"},
      {{"--set", "FinTim=-5"}, "--set FinTim=-5: FinTim -5 is not above Start 0 (the model's): no run would take a step"},
      {{"--set", "Start=100", "--set", "FinTim=50"}, "--set FinTim=50: FinTim 50 is not above Start 100 (--set Start=100)"},
      {{"--vary", "FinTim=60,50", "--set", "Start=55"}, "--vary FinTim=50: FinTim 50 is not above Start 55 (--set Start=55)"},
      {{"--vary", "101.State=2,3,7"}, "--vary 101.State=7: 101.State 7 would run as 3: a block of type Z runs in the modes"},
      {{"--set", "TimeTol=-1"}, "--set TimeTol=-1: TimeTol -1: it follows from the model"},
      {{"--set", "Delt=1e-300"}, "--set Delt=1e-300: Delt 1E-300: the time step is too small to move the clock"},
      {{"--vary", "110.aa=1,3"}, "--vary 110.aa: block 110 is empty in " + model},
      {{"--measure", "mean:140.Value"}, "--measure mean:140.Value: block 140 is empty in " + model},
      {{"--measure", "final:nothing.Value"}, "--measure final:nothing.Value: no block is named 'nothing'"},
      {{"--vary", "101.aa="}, "--vary 101.aa=: empty value in the list"},
      {{"--vary", "101.aa=1,,2"}, "--vary 101.aa=1,,2: empty value"},
      {{"--vary", "101.aa=1:2:0"}, "--vary 101.aa=1:2:0: '0' is not a whole number from 1 to 1000000000000"},
      {{"--replications", "1e13"}, "--replications 1e13: '1e13' is not a whole number from 1 to 1000000000000"},
      {{"--vary", "101.aa=1:y:3"}, "--vary 101.aa=1:y:3: 'y'"},
      {{"--vary", "tape.1.1=1,2"}, "unknown target: tape.1.1"},
      {{"--replications", "0"}, "--replications 0:"},
      {{"--jobs", "1.5"}, "--jobs 1.5:"},
      {{"--seed", "-3"}, "--seed -3:"},
      {{"--measure", "mode:104.Value"}, "--measure mode:104.Value: unknown statistic mode"},
      {{"--measure", "mean:104.Name"}, "--measure mean:104.Name: not a number: 104.Name"},
      {{"--measure", "at:x:104.Value"}, "--measure at:x:104.Value: 'x'"},
      {{"--warmup", "soon"}, "--warmup soon:"},
      {{"--speed", "3"}, "unknown option: --speed"},
      {{"--out"}, "--out needs a value"},
      // Options that would do nothing, or not what they say.
      {{"--warmup", "20000"}, "--warmup 20000: not below FinTim (20000)"},
      {{"--set", "FinTim=50", "--warmup", "60"}, "--warmup 60: not below FinTim (50)"},
      {{"--vary", "FinTim=500,50", "--warmup", "60"}, "--warmup 60: not below FinTim (50)"},
      {{"--warmup", "nan"}, "--warmup nan: not a finite number"},
      {{"--measure", "at:20001:104.Value"}, "--measure at:20001:104.Value: beyond FinTim (20000)"},
      {{"--measure", "at:inf:104.Value"}, "--measure at:inf:104.Value: the time must be finite"},
      {{"--vary", "101.aa=1,2", "--vary", "101.aa=3"}, "--vary 101.aa: the target is varied twice"},
      {{"--measure", "mean:104.Value", "--measure", "mean:104.Value"}, "--measure mean:104.Value: the same measure is asked twice"},
      {{"--vary", "101.aa=1:inf:3"}, "--vary 101.aa=1:inf:3: the range's ends must be finite"},
      {{"--set", "FinTim=nan"}, "--set FinTim=nan: FinTim NAN: it must be a finite number"},
      {{"--baseline", "2"}, "--baseline: pairs runs only with --crn"},
      {{"--crn", "--baseline", "2"}, "--baseline 2: the study has 1 cases"},
      {{"--crn=yes"}, "--crn takes no value"},
      {{"--precision", "0.1"}, "--precision: needs --max-replications"},
      {{"--precision", "0", "--max-replications", "9"}, "--precision 0: must be a number above 0"},
      {{"--max-replications", "9"}, "--max-replications: only with --precision"},
      {{"--replications", "10", "--precision", "0.1", "--max-replications", "9"}, "--max-replications 9: below --replications"},
      {{"--confidence", "95"}, "--confidence 95: must lie between 0 and 1"},
      {{"--warmup", "later"}, "--warmup later: 'later' is not a valid floating point value"},
      {{"--batches", "9"}, "--batches 9: must lie between 10 and 30"},
      {{"--batches", "20", "--replications", "2"}, "--batches 20: batch means split one long run: give --replications 1, not 2"},
      {{"--batches", "20", "--crn"}, "--batches 20: one long run a case; --crn pairs replications"},
      {{"--batches", "20", "--measure", "max:104.Value"}, "--batches 20: batch means estimate a time average; --measure max:104.Value"},
      {{"--batches", "30", "--set", "FinTim=2000"}, "--batches 30: a run keeps 201 samples (one each GrDel) after the warm-up, fewer than 10"},
      {{"--batches", "20", "--vary", "FinTim=3000,9000", "--warmup", "auto"}, "--batches 20: a run keeps 151 samples (one each GrDel) after the warm-up at the latest MSER-5 point"},
      {{"--batches", "20", "--set", "FinTim=3000", "--warmup", "1100"}, "--batches 20: a run keeps 191 samples"},
      {{"other.txt"}, "study takes one model"},
      // A selection needs a measure, an indifference, cases and a first stage.
      {{"--select", "best:mean:104.Value"}, "--select best:mean:104.Value: mean:104.Value is not measured; add --measure"},
      {{"--measure", "mean:104.Value", "--select", "top:mean:104.Value"}, "--select top:mean:104.Value: expected best:MEASURE"},
      {{"--measure", "mean:104.Value", "--select", "worst:mean:104.Value"}, "--select worst:mean:104.Value: needs --indifference D"},
      {{"--measure", "mean:104.Value", "--select", "best:mean:104.Value", "--indifference", "0.1"},
       "--select best:mean:104.Value: the study has 1 cases; a selection is made among 2 to 1000"},
      {{"--vary", "101.aa=1,2", "--measure", "mean:104.Value", "--select", "best:mean:104.Value", "--indifference", "0.1",
        "--precision", "0.1", "--max-replications", "20"}, "--select best:mean:104.Value: the selection decides when to stop"},
      {{"--vary", "101.aa=1,2,3", "--measure", "mean:104.Value", "--select", "best:mean:104.Value", "--indifference",
        "0.1", "--probability", "0.3"}, "--probability 0.3: not above 1/3"},
      {{"--vary", "101.aa=1,2", "--measure", "mean:104.Value", "--select", "best:mean:104.Value", "--indifference",
        "0.1", "--replications", "1"}, "--replications 1: the first stage of --select needs at least 2 runs"},
      {{"--indifference", "0.1"}, "--indifference: only with --select"},
      {{"--probability", "0.9"}, "--probability: only with --select"},
      {{"--indifference", "0"}, "--indifference 0: must be a number above 0"},
      {{"--probability", "1"}, "--probability 1: must lie between 0 and 1"},
      {{"--vary", "101.aa=1,2", "--measure", "mean:104.Value", "--plot", dir.path("p.gif")},
       "--plot " + dir.path("p.gif") + ": a picture is .svg, .png or .pdf"},
      {{"--measure", "mean:104.Value", "--plot", dir.path("p.svg")}, "--plot " + dir.path("p.svg") + ": draws each --measure against the first --vary target"},
      {{"--vary", "101.aa=1,2", "--measure", "mean:104.Value", "--summary", dir.path("p.svg"), "--plot", dir.path("p.svg")},
       "--plot " + dir.path("p.svg") + ": the same file as --summary"},
      {{"--vary", "101.aa=1,2", "--measure", "mean:104.Value", "--plot", model}, "--plot " + model + ": the same file as the model"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"study", model, "--out", dir.path("runs.csv")};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = RunCli(args);
    EXPECT_EQ(r.status, 2) << c.named;
    EXPECT_EQ(r.out, "") << c.named;
    EXPECT_EQ(r.err.rfind("usage: ", 0), 0u) << r.err;
    EXPECT_NE(SplitLines(r.err)[0].find(c.named), std::string::npos) << r.err;
  }
  EXPECT_FALSE(std::ifstream(dir.path("runs.csv")).good());
  EXPECT_EQ(RunCli({"study"}).status, 2);
  // An output that cannot be written, or that is the model or another output (through a
  // link too, and before it exists), is told before the first run: no file is touched.
  const std::string m = dir.path("m.txt"), o = dir.path("o.csv");
  testing::WriteTextFile(m, ReadTextFile(model));
  std::filesystem::create_symlink(m, dir.path("m-link.txt"));
  std::filesystem::create_symlink(o, dir.path("o-link.csv"));  // dangling: o.csv is not there yet
  const struct {
    std::vector<std::string> args;
    std::string named;
  } outputs[] = {
      {{"--out", dir.path("no/runs.csv")}, "--out " + dir.path("no/runs.csv") + ": "},
      {{"--summary", dir.dir()}, "--summary " + dir.dir() + ": "},
      {{"--tapes", dir.path("no")}, "--tapes " + dir.path("no") + ": "},
      {{"--out", m}, "--out " + m + ": the same file as the model " + m},
      {{"--summary", dir.path("m-link.txt")}, "--summary " + dir.path("m-link.txt") + ": the same file as the model"},
      {{"--out", o, "--summary", o}, "--summary " + o + ": the same file as --out " + o},
      {{"--out", o, "--summary", dir.path("o-link.csv")}, "--summary " + dir.path("o-link.csv") + ": the same file as --out"},
      {{"--out", dir.path("s.json"), "--summary", dir.path("s.csv")},
       "the record " + dir.path("s.json") + ": the same file as --out " + dir.path("s.json")},
      {{"--out", o, "--summary", o + ".partial"}, "--summary " + o + ".partial: the same file as --out's partial file"},
      {{"--out", o, "--tapes", dir.path("./o.csv")}, "--tapes " + dir.path("./o.csv") + ": the same file as --out"},
      {{"--out", dir.path("runs.csv"), "--tapes", dir.path("runs.csv.study.json")}, "--tapes " + dir.path("runs.csv.study.json") + ": the same file as the record"},
  };
  for (const auto& c : outputs) {
    std::vector<std::string> args{"study", m, "--replications", "1000", "--measure", "mean:104.Value"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = RunCli(args);
    EXPECT_EQ(r.status, 2) << c.named;
    EXPECT_EQ(r.out, "") << c.named;
    EXPECT_EQ(r.err.rfind("usage: " + c.named, 0), 0u) << r.err;
  }
  EXPECT_EQ(Read(m), ReadTextFile(model));
  EXPECT_FALSE(std::filesystem::exists(o));
  // Started by mpirun, each rank would run the whole study: it refuses and names trevolan-mpi.
  const auto ranks = RunCli({"study", ExamplePath("mm1_queue.txt")}, {"env", "OMPI_COMM_WORLD_SIZE=2"});
  EXPECT_EQ(ranks.status, 2);
  EXPECT_NE(ranks.err.find("under mpirun use trevolan-mpi study"), std::string::npos) << ranks.err;
  const auto missing = RunCli({"study", dir.path("none.txt")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "error: File not found: " + dir.path("none.txt") + "\n");
}

// The built manual's synopsis of `trevolan-cli study`, its markup taken away, and its
// entries of options (the lines that start with a tab and an option).
struct ManualStudy {
  std::string synopsis;
  std::vector<std::string> entries;
};
ManualStudy ReadManualStudy() {
  std::istringstream page(ReadTextFile(TREVOLAN_MANUAL_PATH));
  ManualStudy manual;
  bool synopsis = false, commands = false;
  for (std::string line; std::getline(page, line);) {
    synopsis = line.rfind("*trevolan-cli study*", 0) == 0 || (synopsis && !line.empty());
    if (synopsis) manual.synopsis += (manual.synopsis.empty() ? "" : " ") + line;
    if (line.rfind("*", 0) == 0 || line.rfind("#", 0) == 0) commands = line.rfind("*study* ", 0) == 0;
    if (commands && line.rfind("\t*-", 0) == 0) manual.entries.push_back(line);
  }
  std::erase_if(manual.synopsis, [](char c) { return c == '*' || c == '_'; });
  return manual;
}

// A selection of the best case: on cases of known means (a Gaussian draw of mean 101.bb
// and deviation 1), the same files for any number of workers, the columns selected and
// eliminated_after, each case eliminated exactly when Kim and Nelson's screening first
// allows it (checked here from the runs file), and equals settled by the lowest case
// number at --max-replications.
TEST(StudySelection, EliminatesByTheProcedureAndNamesTheChosenCase) {
  TempDir dir;
  const std::string model = dir.path("normal.txt");
  ASSERT_EQ(RunCli({"exec", "-c", "new; create Z 100 100; apply 101 mode=1 aa=1 bb=0 cc=-1000 dd=1000; "
                                  "timing finish=1 delt=1 graph=1; save " + model}).status, 0);
  const auto study = [&](const std::string& name, std::vector<std::string> more) {
    std::vector<std::string> args{"study", model, "--measure", "final:101.Value", "--seed", "4",
                                  "--out", dir.path(name + ".csv"), "--summary", dir.path(name + "_summary.csv")};
    args.insert(args.end(), more.begin(), more.end());
    return RunCli(args);
  };
  const std::vector<std::string> select{"--vary", "101.bb=0,0.4,0.2,0.5", "--select", "best:final:101.Value",
                                        "--indifference", "0.3", "--probability", "0.9"};
  auto with_jobs = [&select](const char* jobs) {
    std::vector<std::string> args = select;
    args.insert(args.end(), {"--jobs", jobs});
    return args;
  };
  const auto one = study("j1", with_jobs("1"));
  ASSERT_EQ(one.status, 0) << one.out << one.err;
  const auto two = study("j2", with_jobs("2"));
  EXPECT_EQ(Read(dir.path("j2.csv")), Read(dir.path("j1.csv")));
  EXPECT_EQ(Read(dir.path("j2_summary.csv")), Read(dir.path("j1_summary.csv")));
  EXPECT_EQ(two.err, one.err);
  const auto summary = SplitLines(Read(dir.path("j1_summary.csv")));
  ASSERT_EQ(summary.size(), 5u);
  EXPECT_EQ(summary[0].substr(summary[0].size() - 25), "selected,eliminated_after") << summary[0];
  // The runs of each case, replication by replication.
  std::map<int64_t, std::vector<double>> runs;
  for (const std::string& line : SplitLines(Read(dir.path("j1.csv")))) {
    const auto f = ParseCsvLine(line);
    if (f && (*f)[0] != "case") runs[std::stoll((*f)[0])].push_back(std::stod((*f)[4]));
  }
  // The screening redone: S^2 over the first 10, then at each r the cases still in.
  const double h2 = Selection::BandConstant(4, 10, 0.9), d = 0.3;
  const auto mean = [&runs](int64_t c, size_t r) {
    double sum = 0;
    for (size_t j = 0; j < r; ++j) sum += runs[c][j];
    return sum / static_cast<double>(r);
  };
  const auto s2 = [&runs](int64_t i, int64_t l) {
    std::vector<double> diff;
    for (size_t j = 0; j < 10; ++j) diff.push_back(runs[i][j] - runs[l][j]);
    return std::pow(Summarize(diff).sd, 2);
  };
  std::vector<int64_t> in{1, 2, 3, 4};
  std::map<int64_t, size_t> left;
  for (size_t r = 10; in.size() > 1; ++r) {
    std::vector<int64_t> kept;
    for (const int64_t i : in) {
      bool beaten = false;
      for (const int64_t l : in) {
        const double band = std::max(0.0, d / (2.0 * r) * (h2 * s2(i, l) / (d * d) - static_cast<double>(r)));
        beaten = beaten || (l != i && mean(i, r) < mean(l, r) - band);
      }
      if (beaten) left[i] = r;
      else kept.push_back(i);
    }
    in = kept;
  }
  ASSERT_EQ(in.size(), 1u);
  EXPECT_EQ(in[0], 4);
  for (int64_t c = 1; c <= 4; ++c) {
    const auto f = *ParseCsvLine(summary[static_cast<size_t>(c)]);
    EXPECT_EQ(f[f.size() - 2], c == 4 ? "1" : "0") << c;
    EXPECT_EQ(f.back(), c == 4 ? "" : std::to_string(left[c])) << c;
    EXPECT_EQ(runs[c].size(), c == 4 ? std::max_element(left.begin(), left.end(), [](auto a, auto b) {
      return a.second < b.second; })->second : left[c]) << c;
  }
  EXPECT_GT(runs[4].size(), 10u);  // not settled by the first stage alone
  EXPECT_NE(one.err.find("study: case 4 (101.bb=0.5) selected as the best by final:101.Value: mean "), std::string::npos)
      << one.err;
  EXPECT_NE(one.out.find("selected  eliminated_after"), std::string::npos) << one.out;

  // Identical runs under --crn cannot be told apart: the lowest case number at the limit.
  const auto tie = study("tie", {"--vary", "101.bb=0,1,1", "--crn", "--select", "best:final:101.Value", "--indifference", "0.5", "--max-replications", "15"});
  ASSERT_EQ(tie.status, 0) << tie.out << tie.err;
  const auto tied = SplitLines(Read(dir.path("tie_summary.csv")));
  ASSERT_EQ(tied.size(), 4u);
  EXPECT_EQ(tied[1].substr(tied[1].size() - 5), ",0,10");  // case 1 is 1 worse in every pair
  EXPECT_EQ(tied[2].substr(tied[2].size() - 3), ",1,");
  EXPECT_EQ(tied[3].substr(tied[3].size() - 5), ",0,15");
  EXPECT_NE(tie.err.find("study: case 2 (101.bb=1) selected as the best"), std::string::npos) << tie.err;
}

// The picture of a sweep: a mark a case at its value of the first target, bars as long
// as the intervals, the differences in a second row under --crn; the file in each
// format, checked as an output and named with its digest in the record.
TEST(StudyPlot, MarksAndBarsStandWhereTheCasesSay) {
  const Study study(ParseStudyOptions({ExamplePath("mm1_queue.txt"), "--vary", "101.aa=1,2,4", "--crn",
                                       "--measure", "mean:104.Value"}));
  std::vector<CaseSummary> cases;
  const double means[] = {1, 3, 2}, halves[] = {0.5, 1, 0.25}, diffs[] = {0, 2, 1}, diff_halves[] = {0, 0.5, 0.1};
  for (int64_t c = 1; c <= 3; ++c) {
    const auto i = static_cast<size_t>(c - 1);
    CaseSummary s{c, study.CaseValues(c), 10, 0, {{10, means[i], 1, halves[i]}}, {}, "", {}, false, std::nullopt};
    if (c > 1) s.differences = {{10, diffs[i], 1, diff_halves[i]}};
    cases.push_back(s);
  }
  RecordingCanvas canvas;
  DrawSweepPlot(canvas, study, cases);
  std::vector<Point> marks;  // the centres of the 7 x 7 marks
  for (const DrawOp& op : canvas.Of(DrawKind::FillRect)) {
    if (op.points[1].x - op.points[0].x == 7) marks.push_back({op.points[0].x + 3, op.points[0].y + 3});
  }
  ASSERT_EQ(marks.size(), 6u);  // three means, three differences (the baseline at 0)
  const auto vertical_bar = [&canvas](Point at) {  // the length of the bar through a mark
    for (const DrawOp& op : canvas.Of(DrawKind::Line)) {
      const auto [low, high] = std::minmax(op.points[0].y, op.points[1].y);
      if (op.points[0].x == at.x && op.points[1].x == at.x && low <= at.y && at.y <= high) return high - low;
    }
    return -1;
  };
  for (size_t row = 0; row < 2; ++row) {
    const Point* m = &marks[row * 3];
    // x: 1, 2 and 4 along the axis.
    EXPECT_NEAR(2.0 * (m[1].x - m[0].x), m[2].x - m[1].x, 2) << row;
    const double* value = row == 0 ? means : diffs;
    const double* half = row == 0 ? halves : diff_halves;
    // y: the values' order and spacing, upwards.
    EXPECT_NEAR((m[0].y - m[1].y) * (value[2] - value[0]), (m[0].y - m[2].y) * (value[1] - value[0]), 4) << row;
    const double scale = static_cast<double>(m[0].y - m[1].y) / (value[1] - value[0]);
    for (size_t i = row; i < 3; ++i) EXPECT_NEAR(vertical_bar(m[i]), 2 * half[i] * scale, 2) << row << " " << i;
  }
  EXPECT_EQ(vertical_bar(marks[3]), -1);  // the baseline has no interval of its own
  const auto texts = canvas.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "diff(mean:104.Value) to case 1 (95%)"), texts.end());

  TempDir dir;
  for (const std::string name : {"p.svg", "p.png", "p.pdf"}) {
    const auto r = RunCli({"study", ExamplePath("mm1_queue.txt"), "--set", "FinTim=100", "--vary", "101.aa=1.5,2",
                           "--replications", "3", "--measure", "mean:104.Value", "--crn", "--plot", dir.path(name),
                           "--summary", dir.path("s.csv")});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string picture = Read(dir.path(name));
    const std::string head = name == "p.png" ? "\x89PNG" : name == "p.pdf" ? "%PDF" : "<?xml";
    EXPECT_EQ(picture.substr(0, head.size()), head) << name;
    EXPECT_NE(Read(dir.path("s.json")).find("\"--plot\": {\n      \"path\": \"" + dir.path(name) + "\",\n      \"sha256\": \"" +
                                             Sha256Hex(picture) + "\""),
              std::string::npos)
        << Read(dir.path("s.json"));
  }
}

// The table of study options is the one list: every row is read by the command line,
// as --name VALUE and as --name=VALUE, into its member of the plan; `help study`
// explains it; the manual's synopsis is the table's and the manual has its entry.
TEST(StudyOptions, EveryOptionIsReadExplainedAndInTheManual) {
  const std::map<OptionKind, std::string> samples = {
      {OptionKind::kCount, "12"},         {OptionKind::kSeed, "3"},
      {OptionKind::kNumber, "0.5"},       {OptionKind::kFlag, ""},
      {OptionKind::kPath, "x"},           {OptionKind::kAssignment, "FinTim=20"},
      {OptionKind::kVariation, "101.aa=1,2"}, {OptionKind::kMeasure, "final:104.Value"},
      {OptionKind::kText, "best:final:104.Value"}};
  const auto help = RunCli({"help", "study"});
  ASSERT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: trevolan-cli study " + StudySynopsis() + "\n", 0), 0u);
  std::string explained;  // the help's words, whatever their lines
  std::istringstream words(help.out);
  for (std::string w; words >> w;) explained += w + " ";
  const ManualStudy manual = ReadManualStudy();
  EXPECT_EQ(manual.synopsis, "trevolan-cli study " + StudySynopsis());
  StudyPlan unset;
  unset.model = "model.txt";
  for (const StudyOption& o : StudyOptions()) {
    const std::string value = samples.at(o.kind);
    std::vector<std::string> apart{"model.txt", o.name};
    if (!value.empty()) apart.push_back(value);
    StudyPlan plan = ParseStudyOptions(apart);
    EXPECT_EQ(plan.defining, o.defines_runs ? std::vector{value.empty() ? o.name : o.name + ("=" + value)}
                                            : std::vector<std::string>{})
        << o.name;
    StudyPlan joined = ParseStudyOptions({"model.txt", value.empty() ? o.name : o.name + ("=" + value)});
    plan.command = joined.command = {};
    EXPECT_TRUE(plan == joined) << o.name;
    plan.defining = {};
    EXPECT_FALSE(plan == unset) << o.name << " is kept nowhere";
    EXPECT_NE(explained.find(OptionUsage(o) + (o.repeats ? ", repeatable: " : ": ") + o.help), std::string::npos)
        << o.name;
    const auto entry = [&o](const std::string& line) {
      return line.find(std::string("*") + o.name + "*") != std::string::npos;
    };
    EXPECT_TRUE(std::any_of(manual.entries.begin(), manual.entries.end(), entry)) << o.name;
  }
}

// A run longer than the tape keeps every row in its CSV file; where the tape still
// holds them, the rows are the tape's.
TEST(RunCsv, EveryRecordedRowOfALongRun) {
  TempDir dir;
  ASSERT_EQ(RunCli({"exec", "-c", "open " + ExamplePath("integrators.txt") + "; timing finish=150000; save " +
                                      dir.path("long.txt")})
                .status,
            0);
  const auto r = RunCli({"run", dir.path("long.txt"), "--csv", dir.path("rows.csv"), "--tape", dir.path("tape.txt"),
                         "--seed", "4"});
  ASSERT_EQ(r.status, 0) << r.out;
  const auto rows = SplitLines(Read(dir.path("rows.csv")));
  ASSERT_EQ(rows.size(), 1 + 15001u);
  EXPECT_EQ(rows[0], "Time,ramp,decay,position,velocity");
  EXPECT_EQ(rows[1].substr(0, 8), "0,0,100,");
  EXPECT_EQ(rows[15001].substr(0, 12), "150000,15000");
  // The tape file writes 15 digits, the CSV file every digit: rounded, they agree.
  std::istringstream tape_row(SplitLines(Read(dir.path("tape.txt"))).back());
  std::istringstream csv_row(rows[15001]);
  std::string tape_cell, csv_cell;
  int cells = 0;
  while (std::getline(csv_row, csv_cell, ',') && tape_row >> tape_cell) {
    EXPECT_EQ(FormatGeneral(std::strtod(csv_cell.c_str(), nullptr)), tape_cell);  // stod refuses subnormals
    ++cells;
  }
  EXPECT_EQ(cells, 5);

  // The tape saved as CSV after a run and the rows streamed during it are one file.
  ASSERT_EQ(RunCli({"exec", "-c", "open " + dir.path("long.txt") + "; timing finish=900; save " + dir.path("short.txt")})
                .status,
            0);
  ASSERT_EQ(RunCli({"run", dir.path("short.txt"), "--csv", dir.path("streamed.csv")}).status, 0);
  ASSERT_EQ(RunCli({"exec", "-c", "open " + dir.path("short.txt") + "; reset; finish; save-tape-csv " +
                                      dir.path("saved.csv")})
                .status,
            0);
  EXPECT_EQ(Read(dir.path("streamed.csv")), Read(dir.path("saved.csv")));
  EXPECT_GT(SplitLines(Read(dir.path("saved.csv"))).size(), 50u);
  EXPECT_EQ(RunCli({"run", dir.path("long.txt"), "--seed", "x"}).status, 2);
  const auto unwritable = RunCli({"run", dir.path("long.txt"), "--csv", dir.path("no/such/folder.csv")});
  EXPECT_EQ(unwritable.status, 1);
}

}  // namespace
}  // namespace trevolan::study

namespace trevolan::study {
namespace {

// The record names the model's text that was read and run, not the file as it is when
// the study ends: a model edited during a study cannot be resumed as the same study.
TEST(StudyFiles, TheRecordNamesTheModelTextThatRan) {
  TempDir dir;
  const std::string model = dir.path("m.txt"), original = ReadTextFile(ExamplePath("mm1_queue.txt"));
  testing::WriteTextFile(model, original);
  const std::vector<std::string> args{model, "--set", "FinTim=50", "--replications", "3", "--measure",
                                      "mean:107.Value", "--out", dir.path("r.csv")};
  {
    Study study(ParseStudyOptions(args));
    testing::WriteTextFile(model, original + "\n");  // edited while the study runs
    StudyFiles files(study, "commit 1234567");
    RunSchedule schedule(study, files.Sink(), files.Kept());
    SharedSchedule shared(schedule);
    RunOnThreads(study, shared, 1, nullptr);
    std::ostringstream out, err;
    ASSERT_EQ(files.Finish(schedule, out, err), 0) << out.str();
  }
  const std::string ran = Sha256Hex(original), now = Sha256Hex(original + "\n");
  EXPECT_NE(Read(dir.path("r.csv.study.json")).find("\"sha256\": \"" + ran + "\""), std::string::npos);
  std::vector<std::string> resume{"study"};
  resume.insert(resume.end(), args.begin(), args.end());
  resume.push_back("--resume");
  const auto r = RunCli(resume);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("the model's text differs"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(ran + " then, " + now + " now"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace trevolan::study

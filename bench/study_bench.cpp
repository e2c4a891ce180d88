// Studies on the bank of 1000 blocks: the gain of a second worker thread, and what a
// run costs beyond its steps (copying the model, sets, seed, RESET, measures, the row).
// The bank is written once to a model file in the temporary folder,
// trevolan_bench_bank.txt, which the comparisons of trevolan-cli study and
// mpirun trevolan-mpi study in README.md run as well.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <malloc.h>
#include <memory>

#include "engine/run_loop.h"
#include "model/atomic_file.h"
#include "model/model_file.h"
#include "models.h"
#include "study/study.h"

namespace trevolan::bench {
namespace {

std::string BankModelFile() {
  static const std::string path = [] {
    auto s = OscillatorBank(242, 33);
    StoreTimingGlobals(*s);
    const std::string file = (std::filesystem::temp_directory_path() / "trevolan_bench_bank.txt").string();
    WriteFileAtomically(file, ModelFileText(*s, "bench"));
    return file;
  }();
  return path;
}

// The bank runs `steps` steps of Delt 0.01 from 0; one measure of each kind that
// samples every step.
study::StudyPlan BankStudy(int64_t steps, int64_t replications) {
  return study::ParseStudyOptions({BankModelFile(), "--set", "FinTim=" + std::to_string(steps / 100.0), "--set",
                                   "Holdstep=1e12", "--replications", std::to_string(replications), "--measure",
                                   "mean:34.Value", "--measure", "max:38.Value", "--measure", "final:1000.Value"});
}

// 40 runs of 2000 steps on 1 and 2 worker threads.
void BM_Study40Runs(benchmark::State& state) {
  const study::Study s(BankStudy(2000, 40));
  for (auto _ : state) benchmark::DoNotOptimize(study::RunStudy(s, static_cast<int>(state.range(0)), nullptr));
}
BENCHMARK(BM_Study40Runs)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)
    ->ReportAggregatesOnly(true)->UseRealTime()->MeasureProcessCPUTime();

// One whole run of a study, and its row.
void StudyRun(benchmark::State& state, int64_t steps) {
  const study::Study s(BankStudy(steps, 1));
  Sim scratch;
  for (auto _ : state) {
    std::vector<study::RunResult> runs{s.Run({1, 1}, 0, scratch)};
    benchmark::DoNotOptimize(study::RunsCsv(s, runs));
  }
}
// A run of one step: nearly all of it is the cost beyond stepping.
void BM_StudyRunOneStep(benchmark::State& state) { StudyRun(state, 1); }
void BM_StudyRun10000Steps(benchmark::State& state) { StudyRun(state, 10000); }
// The same 10,000 steps of the bank by the RUN button alone, for comparison.
void BM_Bank10000Steps(benchmark::State& state) {
  auto s = OscillatorBank(242, 33);
  ResetButton(*s);
  for (auto _ : state) {
    s->Holdnext = s->Time + 10000 * s->Delt - s->TimeTol;
    RunButton(*s);
    benchmark::DoNotOptimize(s->block(1000).Value);
  }
}
BENCHMARK(BM_StudyRunOneStep)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_StudyRun10000Steps)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Bank10000Steps)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The tally of a --crn study with two cases and `replications` runs of each, the runs
// added in the run order (every run of case 1, then every run of case 2): with
// --baseline 2 every run of case 1 waits for its partner. Reports the time per run and
// the heap the tally holds per replication once all are added.
void TallyCrn(benchmark::State& state, const char* baseline) {
  const int64_t replications = state.range(0);
  const study::Study s(study::ParseStudyOptions(
      {BankModelFile(), "--vary", "FinTim=0.01,0.02", "--crn", "--baseline", baseline, "--replications",
       std::to_string(replications), "--measure", "final:1000.Value"}));
  double bytes = 0;
  for (auto _ : state) {
    const size_t before = mallinfo2().uordblks;
    auto tally = std::make_unique<study::StudyTally>(s);
    study::RunResult r;
    r.values = {0.0};
    for (r.case_number = 1; r.case_number <= 2; ++r.case_number) {
      for (r.replication = 1; r.replication <= replications; ++r.replication) {
        r.values[0] = static_cast<double>(r.replication % 7);
        tally->Add(r);
      }
    }
    bytes = static_cast<double>(mallinfo2().uordblks - before);
    benchmark::DoNotOptimize(tally->Case(2));
  }
  state.SetItemsProcessed(state.iterations() * 2 * replications);
  state.counters["heap_per_replication"] = bytes / static_cast<double>(replications);
}
void BM_StudyTallyCrnBaseline1(benchmark::State& state) { TallyCrn(state, "1"); }
void BM_StudyTallyCrnBaseline2(benchmark::State& state) { TallyCrn(state, "2"); }
BENCHMARK(BM_StudyTallyCrnBaseline1)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StudyTallyCrnBaseline2)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace trevolan::bench

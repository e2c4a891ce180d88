// Steps per second of the run loop, with nobody listening to its notifications.
#include <benchmark/benchmark.h>

#include "display/headless_frontend.h"
#include "engine/run_loop.h"
#include "models.h"

namespace trevolan::bench {
namespace {

constexpr int kStepsPerRun = 1000;

// Runs kStepsPerRun steps per iteration through the RUN button, holding by the hold grid.
void RunOscillators(benchmark::State& state, int oscillators, int first) {
  auto s = OscillatorBank(oscillators, first);
  ResetButton(*s);
  for (auto _ : state) {
    s->Holdnext = s->Time + kStepsPerRun * s->Delt - s->TimeTol;
    RunButton(*s);
    benchmark::DoNotOptimize(s->block(s->HighestBlock).Value);
  }
  const double steps = static_cast<double>(state.iterations()) * kStepsPerRun;
  state.counters["steps/s"] = benchmark::Counter(steps, benchmark::Counter::kIsRate);
  state.counters["ns/block/step"] = benchmark::Counter(steps * s->HighestBlock,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["blocks"] = 4 * oscillators;
}

// 242 oscillators fill IDs 33..1000: every slot of the table is a block.
void BM_RunLoop1000Blocks(benchmark::State& state) { RunOscillators(state, 242, 33); }
// 5 oscillators at IDs 101..120.
void BM_RunLoop20Blocks(benchmark::State& state) { RunOscillators(state, 5, 101); }

BENCHMARK(BM_RunLoop1000Blocks)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_RunLoop20Blocks)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace trevolan::bench

namespace trevolan::bench {
namespace {

// The floor for comparison: the same arithmetic written by hand over the same records,
// without the dispatch, the checks or the events of the run loop.
void BM_HandWrittenLoop1000Blocks(benchmark::State& state) {
  auto s = OscillatorBank(242, 33);
  ResetButton(*s);
  const double delt = s->Delt;
  for (auto _ : state) {
    for (int step = 0; step < kStepsPerRun; ++step) {
      for (int id = 1; id <= 1000; ++id) {
        TBlock& b = s->block(id);
        if (b.Type != 'I') continue;
        b.Value += delt * ((s->V(b.An) + b.aa - s->V(b.Bn) + b.pp) * (s->V(b.Cn) + b.cc));
        b.pp = 0;
      }
      for (int id = 1; id <= 1000; ++id) {
        TBlock& b = s->block(id);
        if (b.Type != '&') continue;
        b.Value = (s->V(b.An) + b.aa + b.bb * s->V(b.Bn) + b.cc * s->V(b.Cn) + b.dd * s->V(b.Dn)) * (s->V(b.Pn) + b.pp);
      }
    }
    benchmark::DoNotOptimize(s->block(1000).Value);
  }
  const double steps = static_cast<double>(state.iterations()) * kStepsPerRun;
  state.counters["ns/block/step"] = benchmark::Counter(steps * 1000, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HandWrittenLoop1000Blocks)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace trevolan::bench

namespace trevolan::bench {
namespace {

// One press of STEP, as the batch runner's `step` and the Python module's step() press
// it: one step, then the hold, which repaints through a frontend that draws as the
// window does. bench/python_step_bench.py times the same press from Python.
void BM_StepButton20Blocks(benchmark::State& state) {
  HeadlessFrontend frontend;
  auto s = OscillatorBank(5, 101);
  s->frontend = &frontend;
  frontend.Attach(*s);
  ResetButton(*s);
  for (auto _ : state) StepButton(*s);
  benchmark::DoNotOptimize(s->block(s->HighestBlock).Value);
}
BENCHMARK(BM_StepButton20Blocks)->Unit(benchmark::kNanosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace trevolan::bench

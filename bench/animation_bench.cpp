// What animation costs a headless run: the batch runner draws at the moments the
// window would, on a canvas that paints nothing. Each model runs with animation on and
// off in the same program; compare the two with
//   trevolan_bench --benchmark_filter=Animation --benchmark_repetitions=9
//                  --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>
#include <string>

#include "cli/batch.h"
#include "engine/run_loop.h"
#include "models.h"

namespace trevolan::bench {
namespace {

constexpr int kRingSteps = 1000;

// The ring with a graph step every 10 steps (the default), so that animation also
// redraws every block there, besides the blocks that change in every step.
void RingAnimation(benchmark::State& state, bool animate) {
  std::ostringstream out;
  cli::BatchFrontend frontend(out);
  auto s = Ring();
  s->frontend = &frontend;
  frontend.Attach(*s);
  frontend.FormPaint();  // the first paint of the window
  s->AnimFlag = animate;
  s->GrDel = 10;
  CheckTiming(*s);
  ResetButton(*s);
  for (auto _ : state) {
    PressRunFor(*s, kRingSteps);
  }
  const double steps = static_cast<double>(state.iterations()) * kRingSteps;
  state.counters["ns/block/step"] =
      benchmark::Counter(steps * (kRingLast - kRingFirst + 1), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  if (!out.str().empty()) state.SkipWithError(out.str().c_str());
}

void BM_AnimationRingOn(benchmark::State& state) { RingAnimation(state, true); }
void BM_AnimationRingOff(benchmark::State& state) { RingAnimation(state, false); }
BENCHMARK(BM_AnimationRingOn)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnimationRingOff)->Unit(benchmark::kMicrosecond);

// Animation on against off in turns; "ratio" is on / off.
void BM_AnimationRingOnAgainstOff(benchmark::State& state) {
  std::ostringstream out;
  cli::BatchFrontend frontend(out);
  std::unique_ptr<Sim> sims[2] = {Ring(), Ring()};
  for (int k = 0; k < 2; ++k) {
    Sim& s = *sims[k];
    s.frontend = &frontend;
    frontend.Attach(s);
    frontend.FormPaint();
    s.AnimFlag = k == 0;
    s.GrDel = 10;
    CheckTiming(s);
    ResetButton(s);
  }
  const auto run = [](Sim& s, cli::BatchFrontend& f) {
    f.Attach(s);
    PressRunFor(s, kRingSteps);
  };
  Interleave(
      state, [&] { run(*sims[0], frontend); }, [&] { run(*sims[1], frontend); },
      kRingSteps * static_cast<double>(kRingLast - kRingFirst + 1));
  if (!out.str().empty()) state.SkipWithError(out.str().c_str());
}
BENCHMARK(BM_AnimationRingOnAgainstOff)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// An example from its reset to its finish time, as `trevolan-cli run` runs it.
void ExampleAnimation(benchmark::State& state, const char* model, bool animate) {
  std::ostringstream out;
  cli::Batch batch(out);
  batch.Execute({"open", std::string(TREVOLAN_EXAMPLES_DIR) + "/" + model});
  batch.Execute({"set", "AnimFlag", animate ? "1" : "0"});
  for (auto _ : state) {
    batch.Execute({"reset"});
    batch.Execute({"finish"});
  }
  if (batch.had_error() || !out.str().empty()) state.SkipWithError(out.str().c_str());
}

// An example with animation on against off, in turns; "ratio" is on / off.
void ExampleOnAgainstOff(benchmark::State& state, const char* model) {
  std::ostringstream out;
  cli::Batch on(out), off(out);
  for (cli::Batch* b : {&on, &off}) {
    b->Execute({"open", std::string(TREVOLAN_EXAMPLES_DIR) + "/" + model});
    b->Execute({"set", "AnimFlag", b == &on ? "1" : "0"});
  }
  const auto run = [](cli::Batch& b) {
    b.Execute({"reset"});
    b.Execute({"finish"});
  };
  Interleave(state, [&] { run(on); }, [&] { run(off); }, 1);
  if (on.had_error() || off.had_error() || !out.str().empty()) state.SkipWithError(out.str().c_str());
}
void BM_AnimationExamplesOnAgainstOff(benchmark::State& state) {
  static const char* const kModels[] = {"producer_consumer.txt", "conveyor.txt", "breakdowns.txt"};
  ExampleOnAgainstOff(state, kModels[state.range(0)]);
}
BENCHMARK(BM_AnimationExamplesOnAgainstOff)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_AnimationProducerConsumerOn(benchmark::State& state) {
  ExampleAnimation(state, "producer_consumer.txt", true);
}
void BM_AnimationProducerConsumerOff(benchmark::State& state) {
  ExampleAnimation(state, "producer_consumer.txt", false);
}
void BM_AnimationConveyorOn(benchmark::State& state) { ExampleAnimation(state, "conveyor.txt", true); }
void BM_AnimationConveyorOff(benchmark::State& state) { ExampleAnimation(state, "conveyor.txt", false); }
void BM_AnimationBreakdownsOn(benchmark::State& state) { ExampleAnimation(state, "breakdowns.txt", true); }
void BM_AnimationBreakdownsOff(benchmark::State& state) { ExampleAnimation(state, "breakdowns.txt", false); }
BENCHMARK(BM_AnimationProducerConsumerOn)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnimationProducerConsumerOff)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnimationConveyorOn)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnimationConveyorOff)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnimationBreakdownsOn)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnimationBreakdownsOff)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace trevolan::bench

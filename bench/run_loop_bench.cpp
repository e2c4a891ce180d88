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
    PressRunFor(*s, kStepsPerRun);
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
void HandWrittenBankStep(Sim& s, double delt) {
  for (int id = 1; id <= 1000; ++id) {
    TBlock& b = s.block(id);
    if (b.Type != BlockType::Integrator) continue;
    b.Value += delt * ((s.V(b.An) + b.aa - s.V(b.Bn) + b.pp) * (s.V(b.Cn) + b.cc));
    b.pp = 0;
  }
  for (int id = 1; id <= 1000; ++id) {
    TBlock& b = s.block(id);
    if (b.Type != BlockType::Sum) continue;
    b.Value = (s.V(b.An) + b.aa + b.bb * s.V(b.Bn) + b.cc * s.V(b.Cn) + b.dd * s.V(b.Dn)) * (s.V(b.Pn) + b.pp);
  }
}

void BM_HandWrittenLoop1000Blocks(benchmark::State& state) {
  auto s = OscillatorBank(242, 33);
  ResetButton(*s);
  const double delt = s->Delt;
  for (auto _ : state) {
    for (int step = 0; step < kStepsPerRun; ++step) HandWrittenBankStep(*s, delt);
    benchmark::DoNotOptimize(s->block(1000).Value);
  }
  const double steps = static_cast<double>(state.iterations()) * kStepsPerRun;
  state.counters["ns/block/step"] = benchmark::Counter(steps * 1000, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HandWrittenLoop1000Blocks)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void CountRingSteps(benchmark::State& state) {
  const double steps = static_cast<double>(state.iterations()) * kStepsPerRun;
  state.counters["ns/block/step"] =
      benchmark::Counter(steps * (kRingLast - kRingFirst + 1), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The ring of 450 containers and 450 activities through the RUN button, animation off.
void BM_RunLoopRing(benchmark::State& state) {
  auto s = Ring();
  s->AnimFlag = false;
  ResetButton(*s);
  for (auto _ : state) {
    PressRunFor(*s, kStepsPerRun);
    benchmark::DoNotOptimize(s->block(kRingLast).Value);
  }
  CountRingSteps(state);
}
BENCHMARK(BM_RunLoopRing)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The floor of the ring: the same records and the same rules of taking, holding and
// dropping written out by hand for Containers and Activities alone, without the
// dispatch over every type, the stored lists' checks or the events of the run loop.
struct HandWrittenRing {
  Sim& s;

  // A container's state by its contents against its capacity Vc + cc.
  void Refresh(TBlock& c) {
    const double max = s.V(c.Cn) + c.cc;
    if (c.Value <= 0) c.State = 1;
    if (c.Value > 0 && c.Value < max) c.State = 2;
    if (c.Value >= max) c.State = 3;
  }
  // What a take request of at least 0 gets from a block: all or nothing.
  double Take(int64_t id, double request) {
    if (id == 0) return request;
    const TBlock& c = s.block(id);
    if (id <= 100 || c.OnOff <= 0 || c.Type != BlockType::Container) return 0;
    return c.Value >= request ? request : 0;
  }
  void TakeOut(int64_t id, double amount) {
    if (id == 0) return;
    TBlock& c = s.block(id);
    c.Value -= amount;
    Refresh(c);
  }
  bool CanDrop(int64_t id, double amount) {
    if (id == 0) return true;
    const TBlock& c = s.block(id);
    if (id <= 100 || c.OnOff <= 0 || c.Type != BlockType::Container) return false;
    return c.Value + amount <= s.V(c.Cn) + c.cc;
  }
  void DropInto(int64_t id, double amount) {
    if (id == 0) return;
    TBlock& c = s.block(id);
    c.Value += amount;
    Refresh(c);
  }
  void Activity(TBlock& b) {
    double* transfer = b.stored.data();
    if (b.State == 0 || b.State == 1) {
      const double a = Take(b.An, b.aa), bq = Take(b.Bn, b.bb);
      if (a > 0 && bq > 0) {
        TakeOut(b.An, a);
        TakeOut(b.Bn, bq);
        transfer[1] = a;
        transfer[2] = bq;
        b.State = 2;
        b.Value = s.Time + (s.V(b.Pn) + b.pp);
      }
    }
    if (s.Time + s.TimeTol >= b.Value && (b.State == 2 || b.State == 3)) {
      if (CanDrop(b.Cn, b.cc) && CanDrop(b.Dn, b.dd)) {
        DropInto(b.Cn, b.cc);
        DropInto(b.Dn, b.dd);
        transfer[1] = transfer[2] = 0;
        b.State = 1;
      } else {
        b.State = 3;
      }
    }
  }
  void Step() {
    s.Time += s.Delt;
    for (int id = 1; id <= s.HighestBlock; ++id) {
      TBlock& b = s.block(id);
      if (b.Type == BlockType::Container) {
        if (id > 100) Refresh(b);
      } else if (b.Type == BlockType::Activity) {
        Activity(b);
      }
    }
  }
};

// Whether the hand-written ring gives the engine's Values and States over a run.
bool HandWrittenRingAgrees() {
  auto engine = Ring(), hand = Ring();
  for (Sim* s : {engine.get(), hand.get()}) {
    s->AnimFlag = false;
    ResetButton(*s);
  }
  PressRunFor(*engine, kStepsPerRun);
  HandWrittenRing ring{*hand};
  for (int step = 0; step < kStepsPerRun; ++step) ring.Step();
  for (int id = kRingFirst; id <= kRingLast; ++id) {
    const TBlock &e = engine->block(id), &h = hand->block(id);
    if (e.Value != h.Value || e.State != h.State) return false;
  }
  return true;
}

void BM_HandWrittenRing(benchmark::State& state) {
  if (!HandWrittenRingAgrees()) state.SkipWithError("the hand-written ring differs from the engine's");
  auto s = Ring();
  s->AnimFlag = false;
  ResetButton(*s);
  HandWrittenRing ring{*s};
  for (auto _ : state) {
    for (int step = 0; step < kStepsPerRun; ++step) ring.Step();
    benchmark::DoNotOptimize(s->block(kRingLast).Value);
  }
  CountRingSteps(state);
}
BENCHMARK(BM_HandWrittenRing)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace trevolan::bench

namespace trevolan::bench {
namespace {

// The engine against the hand-written loops, in turns: "ratio" is engine / hand-written.
void BM_BankAgainstHandWritten(benchmark::State& state) {
  auto engine = OscillatorBank(242, 33), hand = OscillatorBank(242, 33);
  ResetButton(*engine);
  ResetButton(*hand);
  const double delt = hand->Delt;
  Interleave(
      state,
      [&] { PressRunFor(*engine, kStepsPerRun); },
      [&] {
        for (int step = 0; step < kStepsPerRun; ++step) HandWrittenBankStep(*hand, delt);
        benchmark::DoNotOptimize(hand->block(1000).Value);
      },
      kStepsPerRun * 1000.0);
}
BENCHMARK(BM_BankAgainstHandWritten)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_RingAgainstHandWritten(benchmark::State& state) {
  if (!HandWrittenRingAgrees()) state.SkipWithError("the hand-written ring differs from the engine's");
  auto engine = Ring(), hand = Ring();
  for (Sim* s : {engine.get(), hand.get()}) {
    s->AnimFlag = false;
    ResetButton(*s);
  }
  HandWrittenRing ring{*hand};
  Interleave(
      state,
      [&] { PressRunFor(*engine, kStepsPerRun); },
      [&] {
        for (int step = 0; step < kStepsPerRun; ++step) ring.Step();
        benchmark::DoNotOptimize(hand->block(kRingLast).Value);
      },
      kStepsPerRun * static_cast<double>(kRingLast - kRingFirst + 1));
}
BENCHMARK(BM_RingAgainstHandWritten)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

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

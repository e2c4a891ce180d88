#include <benchmark/benchmark.h>

#include <memory>

#include "engine/run_loop.h"
#include "model/sim.h"

// Steps per second of the run loop on production lines of discrete blocks.
namespace trevolan {
namespace {

constexpr int kFirstLineBlock = 101;
constexpr int kUnitsPerLine = 15;

TBlock& Place(Sim& s, int id, char type, int stored_length = 0) {
  TBlock& b = s.block(id);
  b.Type = TypeOfLetter(type);
  b.OnOff = 1;
  b.stored.assign(static_cast<size_t>(stored_length), 0.0);
  return b;
}

void Container(Sim& s, int id, double capacity) {
  TBlock& c = Place(s, id, 'C');
  c.cc = capacity;
}

// Units of four blocks from `id`: an Activity takes one token from the container
// before it (the world at the head of a line) and drops it into its container; a Belt
// of 5 segments carries it on into the next container. Every third activity works a
// random time.
void Unit(Sim& s, int id, bool head_of_line, bool random_delay) {
  TBlock& a = Place(s, id, 'A', 3);
  a.State = 1;
  a.An = head_of_line ? 0 : id - 1;
  a.aa = a.bb = a.cc = a.dd = 1;
  a.Cn = id + 1;
  a.pp = random_delay ? -3 : 2;
  Container(s, id + 1, 10);
  TBlock& b = Place(s, id + 2, 'B', 6);
  b.State = 1;
  b.An = id + 1;
  b.aa = -1;  // whatever is there, up to 1
  b.Bn = id + 3;
  b.bb = -1;
  b.Dn = 5;
  b.pp = 1;
  Container(s, id + 3, 1e12);
}

// A model with `discrete` blocks of production lines from ID 101 on and, when
// `fill_reserved`, constant containers in the free slots 32..100, so that a model of
// 900 discrete blocks fills all 1000 slots.
std::unique_ptr<Sim> LinesModel(int discrete, bool fill_reserved) {
  auto s = std::make_unique<Sim>();
  const int units = discrete / 4;
  for (int u = 0; u < units; ++u) {
    Unit(*s, kFirstLineBlock + 4 * u, u % kUnitsPerLine == 0, u % 3 == 2);
  }
  if (fill_reserved) {
    for (int id = 32; id < kFirstLineBlock; ++id) Container(*s, id, 100);
  }
  s->HighestBlock = kFirstLineBlock - 1 + 4 * units;
  // Only the compute pass is measured: no graph step, hold or finish within reach.
  s->FinTim = s->GrDel = s->Holdstep = 1e12;
  s->GrNext = s->Holdnext = 1e12;
  ResetRun(*s);
  s->HoldFlag = false;
  return s;
}

void RunSteps(benchmark::State& state, std::unique_ptr<Sim> s) {
  // Warm up into the steady flow of tokens.
  for (int i = 0; i < 200; ++i) RunStep(*s);
  for (auto _ : state) RunStep(*s);
  state.counters["steps_per_second"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                          benchmark::Counter::kIsRate);
  state.counters["blocks"] = s->HighestBlock;
  // Tokens that reached the ends of the lines, to show the model is flowing.
  double delivered = 0;
  const int units = (s->HighestBlock - kFirstLineBlock + 1) / 4;
  for (int u = 0; u < units; ++u) {
    if ((u + 1) % kUnitsPerLine == 0 || u + 1 == units) delivered += s->V(kFirstLineBlock + 4 * u + 3);
  }
  state.counters["delivered"] = delivered;
}

void BM_DiscreteLines(benchmark::State& state) {
  RunSteps(state, LinesModel(static_cast<int>(state.range(0)), false));
}
BENCHMARK(BM_DiscreteLines)->Arg(12)->Arg(100)->Arg(400);

// 1000 slots: 900 activities, belts and containers in lines, 69 constant
// containers and the system blocks.
void BM_Discrete1000Blocks(benchmark::State& state) { RunSteps(state, LinesModel(900, true)); }
BENCHMARK(BM_Discrete1000Blocks);

}  // namespace
}  // namespace trevolan

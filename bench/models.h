#pragma once
#include <benchmark/benchmark.h>
#include <time.h>

#include <functional>
#include <memory>

#include "engine/run_loop.h"
#include "model/sim.h"

namespace trevolan::bench {

// A bank of damped oscillators, each of two integrators and two Sum blocks, filling
// IDs from `first` on; the run never holds or records until `steps` have passed.
inline std::unique_ptr<Sim> OscillatorBank(int oscillators, int first = 101) {
  auto s = std::make_unique<Sim>();
  for (int o = 0; o < oscillators; ++o) {
    const int v = first + 4 * o, x = v + 1, spring = v + 2, accel = v + 3;
    const auto make = [&](int id, char type) -> TBlock& {
      TBlock& b = s->block(id);
      b.Type = TypeOfLetter(type);
      b.OnOff = 1;
      return b;
    };
    TBlock& vel = make(v, 'I');
    vel.An = accel;
    vel.cc = 1;
    TBlock& pos = make(x, 'I');
    pos.An = v;
    pos.cc = 1;
    pos.dd = 1 + o;
    TBlock& sp = make(spring, '&');
    sp.Bn = x;
    sp.bb = -0.1;
    sp.pp = 1;
    TBlock& ac = make(accel, '&');
    ac.An = spring;
    ac.Cn = v;
    ac.cc = -0.03;
    ac.pp = 1;
    s->HighestBlock = accel;
  }
  s->Delt = 0.01;
  s->GrDel = s->Holdstep = s->FinTim = 1e12;
  s->GrNext = s->Holdnext = 1e12;
  CheckTiming(*s);
  return s;
}

// The ring of the discrete benchmarks: 450 containers and 450 activities alternating
// on IDs 101..1000, each activity taking one token from the container before it (and
// one from the world) and, after a fixed delay of 10, dropping one into the container
// after it (and one into the world); the last activity feeds the first container. Each
// container starts with `tokens`. The blocks are placed on the diagram, so that a run
// with animation draws them; the run never holds or records until `steps` have passed.
inline constexpr int kRingFirst = 101, kRingLast = 1000;
inline std::unique_ptr<Sim> Ring(double tokens = 1) {
  auto s = std::make_unique<Sim>();
  for (int id = kRingFirst; id <= kRingLast; id += 2) {
    TBlock& c = s->block(id);
    c.Type = BlockType::Container;
    c.OnOff = 1;
    c.Displ = 2;
    c.cc = 5;       // capacity
    c.dd = tokens;  // contents after a reset
    TBlock& a = s->block(id + 1);
    a.Type = BlockType::Activity;
    a.OnOff = 1;
    a.Displ = 2;
    a.State = 1;
    a.An = id;
    a.aa = a.bb = a.cc = a.dd = 1;
    a.Cn = id + 1 < kRingLast ? id + 2 : kRingFirst;
    a.pp = 10;
    a.stored.assign(3, 0.0);
  }
  for (int id = kRingFirst; id <= kRingLast; ++id) {
    TBlock& b = s->block(id);
    const int k = id - kRingFirst;
    b.XX = 20 + (k % 30) * 45;
    b.YY = 20 + (k / 30) * 30;
  }
  s->HighestBlock = kRingLast;
  s->Delt = 1;
  s->GrDel = s->Holdstep = s->FinTim = 1e12;
  s->GrNext = s->Holdnext = 1e12;
  CheckTiming(*s);
  return s;
}

// A model filling every slot of the table (IDs 32..1000 besides the system blocks),
// placed on the diagram, each block with a name, a comment and 11 stored numbers: what
// opening and saving a large model costs.
inline std::unique_ptr<Sim> FullTableWithStoredData() {
  auto s = std::make_unique<Sim>();
  const BlockType types[] = {BlockType::Activity, BlockType::Belt,       BlockType::Container, BlockType::Generator,
                             BlockType::Sum,      BlockType::Integrator, BlockType::Multiplier, BlockType::Logic};
  for (int id = 32; id <= kMaxBlockID; ++id) {
    TBlock& b = s->block(id);
    const int k = id - 32;
    b.Type = types[k % 8];
    b.Name = "blk" + std::to_string(id);
    b.Comment = "block number " + std::to_string(id) + " of the full table";
    b.OnOff = 1;
    b.Displ = 3;
    b.XX = 20 + (k % 30) * 45;
    b.YY = 20 + (k / 30) * 30;
    b.An = id - 1;
    b.Bn = k % 7;
    b.aa = 0.25 * k;
    b.bb = 1.0 / (k + 3);
    b.cc = 1e-7 * k;
    b.dd = 12345.678;
    b.pp = -3;
    b.Value = 0.1 * k;
    b.stored.resize(11);
    for (size_t i = 0; i < b.stored.size(); ++i) b.stored[i] = 0.5 * static_cast<double>(i) + 0.001 * k;
  }
  s->HighestBlock = kMaxBlockID;
  return s;
}

// RUN pressed, held by the hold grid after `steps` steps.
inline void PressRunFor(Sim& s, int64_t steps) {
  s.Holdnext = s.Time + static_cast<double>(steps) * s.Delt - s.TimeTol;
  RunButton(s);
}

// Two ways of doing the same work taken in turns of a few milliseconds, each timed by
// the processor time of this thread: on a machine shared with other work both see the
// same conditions, so their ratio holds where the absolute times wander. Reports the
// time per unit of each (ns) and the ratio first / second.
inline void Interleave(benchmark::State& state, const std::function<void()>& first,
                       const std::function<void()>& second, double units_per_turn) {
  const auto now = [] {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
  };
  double first_ns = 0, second_ns = 0;
  for (auto _ : state) {
    double t0 = now();
    first();
    double t1 = now();
    first_ns += t1 - t0;
    second();
    second_ns += now() - t1;
  }
  const double units = static_cast<double>(state.iterations()) * units_per_turn;
  state.counters["first_ns"] = first_ns / units;
  state.counters["second_ns"] = second_ns / units;
  state.counters["ratio"] = first_ns / second_ns;
}

}  // namespace trevolan::bench

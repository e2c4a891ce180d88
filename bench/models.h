#pragma once
#include <memory>

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
      b.Type = type;
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

}  // namespace trevolan::bench

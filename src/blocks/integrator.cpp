#include <cmath>

#include "blocks/compute.h"
#include "blocks/flow.h"

namespace trevolan {

namespace {

// Cyclic (State 1) and limited (State 2) Integrators; out of line, so that the plain
// Integrator of most models runs straight through.
[[gnu::noinline]] void WrapOrLimit(TBlock& b) {
  if (b.State == 1) {
    // One correction each way per step, no modulo, so the range [0, bb] holds only
    // while a step moves less than bb.
    b.bb = std::fabs(b.bb);
    if (b.Value > b.bb) b.Value -= b.bb;
    if (b.Value < 0) b.Value += b.bb;
  } else if (b.State == 2) {
    b.bb = std::fabs(b.bb);
    b.Value = std::max(-b.bb, std::min(b.bb, b.Value));
  }
}

}  // namespace

void ComputeIntegrator(Sim& s, int id) {
  TBlock& b = s.block(id);
  if (b.OnOff == 0) return;  // frozen: the inlet keeps what arrives meanwhile
  const double sa = s.V(b.An) + b.aa;
  const double vb = s.V(b.Bn);  // B takes no offset
  const double f = s.V(b.Cn) + b.cc;
  const double m = s.V(b.Pn) + b.pp;
  const double rate = ((sa - vb) + m) * f;
  const double v = Finite(s.Delt * rate + b.Value, id);
  b.pp = 0;  // the flux inlet is consumed
  b.Value = v;
  if (b.State != 0) [[unlikely]] WrapOrLimit(b);
}

void ComputeInductor(Sim& s, int id) {
  TBlock& b = s.block(id);
  if (b.OnOff <= 0) {
    b.Value = 0;
    return;
  }
  const double a = s.V(b.An) + b.aa;
  const double v_b = s.V(b.Bn) + b.bb;
  const double r = std::fabs(s.V(b.Cn) + b.cc);
  const double l = std::fabs(s.V(b.Pn) + b.pp);
  if (l == 0) {
    RaiseFloatError("Floating point division by zero", id, "the inductance |Vp + pp| of the Inductor is 0");
  }
  const double di = ((a - v_b) - b.Value * r) / l;
  const double i_new = Finite(s.Delt * di + b.Value, id);
  const double i_mid = Finite((i_new + b.Value) * 0.5, id);
  MoveFlow(s, id, b.An, -i_mid);
  MoveFlow(s, id, b.Bn, i_mid);
  b.Value = i_new;
}

}  // namespace trevolan

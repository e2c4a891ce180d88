#include <algorithm>
#include <cmath>
#include <numbers>

#include "blocks/compute.h"
#include "model/numbers.h"

namespace trevolan {

namespace {

constexpr double kFloor = 1e-19;  // the guard of logarithm arguments and compliances
constexpr double kLn10 = 2.302585093;

// e^x, raising the overflow that the block does not guard against.
double CheckedExp(double x, int id) {
  const double e = std::exp(x);
  if (std::isinf(e) && std::isfinite(x)) RaiseFloatError("Floating point overflow", id, "the exponential overflows");
  return e;
}

}  // namespace

void ComputeExponents(Sim& s, int id) {
  TBlock& b = s.block(id);
  if (b.OnOff <= 0) return;
  const double denominator = s.V(b.Cn) + b.cc;
  if (denominator == 0) RaiseFloatError("Floating point division by zero", id, "Vc + cc of the Exponents block is 0");
  const double x = ((s.V(b.An) + b.aa) - s.V(b.Bn)) / denominator;  // B takes no offset: bb is the power
  const double d = s.V(b.Dn) + b.dd;
  switch (b.State) {
    case 0: b.Value = Finite(d * CheckedExp(x, id), id); break;
    case 1: b.Value = Finite(d * CheckedExp(kLn10 * x, id), id); break;
    case 2: b.Value = Finite(Sign(x) * d * CheckedExp(b.bb * std::log(std::fabs(x) + kFloor), id), id); break;
    default: break;
  }
}

void ComputeLogarithm(Sim& s, int id) {
  TBlock& b = s.block(id);
  if (b.OnOff <= 0) return;
  const double u = std::max(s.V(b.An) + b.aa, kFloor);
  const double w = std::max(s.V(b.Cn) + b.cc, kFloor);
  const double y = std::fabs(u / w);
  const double f = s.V(b.Dn) + b.dd;
  switch (b.State) {
    case 0: b.Value = Finite(f * std::log(y), id); break;
    case 1: b.Value = Finite(f * std::log10(y), id); break;
    case 2: b.Value = Finite(f * std::log2(y), id); break;
    case 3: {
      const double base = std::fabs(s.V(b.Bn) + b.bb);
      if (base == 0) RaiseFloatError("Invalid floating point operation", id, "the logarithm's base |Vb + bb| is 0");
      if (base == 1) RaiseFloatError("Floating point division by zero", id, "the logarithm's base |Vb + bb| is 1");
      b.Value = Finite(f * std::log2(y) / std::log2(base), id);
      break;
    }
    default: break;
  }
  b.pp = 0;
}

void ComputeSine(Sim& s, int id) {
  TBlock& b = s.block(id);
  if (b.OnOff <= 0) return;
  const Inputs in = ReadInputs(s, b);
  switch (b.State) {
    case 0: b.Value = Finite(in.d * std::sin(in.a * in.b * in.c + in.p), id); break;
    case 1: b.Value = Finite(std::asin(std::min(std::max(in.a, -1.0), 1.0)), id); break;
    case 2: b.Value = Finite(in.a == 0 ? Sign(in.b) * std::numbers::pi / 2 : std::atan2(in.b, in.a), id); break;
    default: break;
  }
}

void ComputeQuantizer(Sim& s, int id) {
  TBlock& b = s.block(id);
  if (b.OnOff <= 0) return;
  const Inputs in = ReadInputs(s, b);
  const double product = in.a * in.b;
  if (!(std::fabs(product) < 9.223372036854775808e18)) {
    RaiseFloatError("Invalid floating point operation", id, "the product A x B is beyond the 64-bit integer range");
  }
  const double n = RoundHalfEven(product);
  if (b.State == 0) {
    b.Value = Finite(n * in.p, id);
  } else if (b.State == 1) {
    b.Value = Finite(in.p * std::min(std::max(n, in.c), in.d), id);
  }
}

namespace {

// Relay with a ramp between lo and hi, shifted down by h while on; its state lives
// in Pn.
void HysteresisRelay(Sim& s, TBlock& b, int id) {
  const double a = s.V(b.An) + b.aa;
  const double lo = s.V(b.Bn) + b.bb;
  const double hi = std::max(s.V(b.Cn) + b.cc, lo + kFloor);
  const double h = std::fabs(s.V(b.Dn) + b.dd);
  const double state = b.Pn;
  if (a <= lo - state * h) {
    b.Value = 0;
    b.Pn = 0;
  } else if (a >= hi - state * h) {
    b.Value = 1;
    b.Pn = 1;
  } else {
    b.Value = Finite((a - lo + state * h) / (hi - lo), id);
  }
}

// A spring of compliance k in series with a slider that gives way at force F; the
// slider's position lives in pp.
void HysteresisSlide(Sim& s, TBlock& b, int id) {
  const double a = s.V(b.An) + b.aa;
  const double force = std::fabs(s.V(b.Bn) + b.bb);
  const double k = std::max(std::fabs(s.V(b.Cn) + b.cc), kFloor);
  const double limit = force * k;
  const double e = a - b.pp;
  double v = e / k;
  double slider = b.pp;
  if (e >= limit) {
    v = force;
    slider = a - limit;
  }
  if (e <= -limit) {
    v = -force;
    slider = a + limit;
  }
  Finite(slider, id, "slider position pp");
  b.Value = Finite(v, id);
  b.pp = slider;
}

// A spring and a damper; pp holds the previous input.
void HysteresisViscous(Sim& s, TBlock& b, int id) {
  const double a = s.V(b.An) + b.aa;
  const double damping = std::fabs(s.V(b.Bn) + b.bb);
  const double k = std::max(std::fabs(s.V(b.Cn) + b.cc), kFloor);
  if (s.Delt == 0) RaiseFloatError("Floating point division by zero", id, "the viscous element divides by Delt = 0");
  b.Value = Finite((a + (a - b.pp) * damping / s.Delt) / k, id);
  b.pp = Finite(a, id, "previous input pp");
}

}  // namespace

void ComputeHysteresis(Sim& s, int id) {
  TBlock& b = s.block(id);
  if (b.OnOff <= 0) return;
  switch (b.State) {
    case 0: HysteresisRelay(s, b, id); break;
    case 1: HysteresisSlide(s, b, id); break;
    case 2: HysteresisViscous(s, b, id); break;
    default: break;
  }
}

// The PID controller is not assigned and the Visualizer computes nothing: its Value
// is written when it is drawn.
void ComputePid(Sim& s, int id) { s.block(id); }
void ComputeVisualizer(Sim& s, int id) { s.block(id); }

}  // namespace trevolan

#include <cmath>

#include "blocks/compute.h"
#include "blocks/flow.h"

namespace trevolan {

namespace {

constexpr double kStefanBoltzmann = 5.67051e-8;
constexpr double kGasFactor = 0.007509407;

// Flow of a gas from pressure A to pressure B through an orifice of area C, with
// temperature D and molar mass P; pressures below 0 count as 0.
double GasFlow(double A, double B, double C, double D, double P, int id) {
  const double a = std::max(A, 0.0), b = std::max(B, 0.0);
  const double high = b > a ? b : a, low = b > a ? a : b, sign = b > a ? -1.0 : 1.0;
  if (high == 0) return 0;  // no pressure on either side: no flow
  if (D == 0) RaiseFloatError("Floating point division by zero", id, "the temperature D of the gas law is 0");
  if (P / D < 0) RaiseFloatError("Invalid floating point operation", id, "the gas law takes the root of P/D < 0");
  const double r = low / high;
  const double r2 = r * r, r4 = r2 * r2, r8 = r4 * r4;
  return sign * C * high * std::sqrt(P / D) * kGasFactor * (1 - r8);
}

}  // namespace

void ComputeFlux(Sim& s, int id) {
  TBlock& b = s.block(id);
  if (b.OnOff <= 0) {
    b.Value = 0;
    return;
  }
  const auto [A, B, C, D, p] = ReadInputs(s, b);
  const double P = std::fabs(p);
  double f = b.Value;  // other modes move the previous flow again
  switch (b.State) {
    case 0: f = (A - B) * C + D; break;
    case 1: f = (A - B) * (A * A + B * B) * (A + B) * kStefanBoltzmann * C + D; break;
    case 2: f = Sign(A - B) * C * (std::sqrt(std::fabs(A - B) + P) - std::sqrt(P)) + D; break;
    case 3: f = std::max(C * (std::fabs(A) - B), 0.0) + D; break;
    case 4: f = GasFlow(A, B, C, D, P, id); break;
    default: break;
  }
  b.Value = Finite(f, id);
  MoveFlow(s, id, b.An, -f);
  MoveFlow(s, id, b.Bn, f);
}

}  // namespace trevolan

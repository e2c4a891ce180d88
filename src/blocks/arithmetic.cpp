#include <algorithm>
#include <cmath>

#include "blocks/compute.h"

namespace trevolan {

namespace {

// A signed connection of the Sum block: -k takes block k with a minus sign.
struct SignedLink {
  double sign, value;
};
[[gnu::always_inline]] inline SignedLink ReadSigned(const Sim& s, int32_t link) {
  const int64_t id = link;
  return {static_cast<double>((link > 0) - (link < 0)), s.V(id < 0 ? -id : id)};
}

// Highest index of a list that takes part in an inner product: Generators and
// Memories keep two tracks in their list, of which the first is used.
int64_t InnerProductLength(const TBlock& b) {
  const int64_t n = StoredHigh(b);
  return (b.Type == BlockType::Generator || b.Type == BlockType::Memory) ? n / 2 : n;
}

}  // namespace

void ComputeSum(Sim& s, int id) {
  TBlock& b = s.block(id);
  if (b.OnOff <= 0) return;
  double tA, tB, tC, tD, m;
  if ((b.An | b.Bn | b.Cn | b.Dn | b.Pn) >= 0 && s.V(0) == 0) {
    // No link negative and block ZERO at 0, as in most models: every sign is 1, or 0 on
    // the 0 (or -0) of block ZERO, which the product leaves as it is, so each product with
    // a sign is the Value itself, bit for bit, and the signs need not be made.
    tA = s.V(b.An) + b.aa;
    tB = b.bb * s.V(b.Bn);
    tC = b.cc * s.V(b.Cn);
    tD = b.dd * s.V(b.Dn);
    m = s.V(b.Pn) + b.pp;
  } else {
    const SignedLink A = ReadSigned(s, b.An), B = ReadSigned(s, b.Bn), C = ReadSigned(s, b.Cn),
                     D = ReadSigned(s, b.Dn), P = ReadSigned(s, b.Pn);
    tA = A.sign * A.value + b.aa;
    tB = B.sign * b.bb * B.value;
    tC = C.sign * b.cc * C.value;
    tD = D.sign * b.dd * D.value;
    m = P.sign * P.value + b.pp;
  }
  if (b.State == 0 || b.State == 1) {
    b.Value = Finite((tA + tB + tC + tD) * m, id);
  } else if (b.State == 2) {
    b.Value = Finite(m * std::sqrt(tA * tA + tB * tB + tC * tC + tD * tD), id);
  }
}

void ComputeMultiplier(Sim& s, int id) {
  TBlock& b = s.block(id);
  if (b.OnOff <= 0) return;
  if (b.State == 0) {
    const Inputs f = ReadInputs(s, b);
    b.Value = Finite(f.a * f.b * f.c * f.d * f.p, id);
  } else if (b.State == 1) {
    const TBlock& a = s.block(b.An);
    const TBlock& c = s.block(b.Bn);
    if (StoredHigh(a) < 1 || StoredHigh(c) < 1) return;
    const int64_t n = std::min(InnerProductLength(a), InnerProductLength(c));
    double sum = 0;
    for (int64_t k = 1; k <= n; ++k) sum += StoredAt(a, k) * StoredAt(c, k);
    b.Value = Finite(sum, id);
  }
}

void ComputeDivide(Sim& s, int id) {
  TBlock& b = s.block(id);
  if (b.OnOff <= 0) return;
  const double scale = s.V(b.Pn) + b.pp;
  const double n = (s.V(b.An) + b.aa) - s.V(b.Bn) - b.bb;
  double d = (s.V(b.Cn) + b.cc) - s.V(b.Dn) - b.dd;
  if (d == 0) d = 1e-19;
  const double q = n / d;
  double v = b.Value;  // other modes keep it, scaled again
  if (b.State == 0) {
    v = q;
  } else if (b.State == 1) {
    // The floor is kept as a double, so the remainder stays meaningful beyond the
    // 32-bit range; the remainder has the sign of d.
    v = n - d * std::floor(q);
  }
  b.Value = Finite(v * scale, id);
}

}  // namespace trevolan

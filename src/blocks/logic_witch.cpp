#include "blocks/compute.h"
#include "model/numbers.h"

namespace trevolan {

namespace {

// The gate of a Logic mode over t true inputs out of c connected ones, before the
// inverting modes flip it.
int Gate(int32_t mode, int t, int c) {
  switch (mode) {
    case 0:
    case 1: return t > 0 ? 1 : 0;   // OR, NOR
    case 2:
    case 3: return t == c ? 1 : 0;  // AND, NAND: true with no input connected
    case 4: return t == 1 ? 1 : 0;  // XOR: exactly one true input
    default: return 0;
  }
}

}  // namespace

void ComputeLogic(Sim& s, int id) {
  TBlock& k = s.block(id);
  if (k.OnOff <= 0) return;
  const double old_value = k.Value;
  const struct {
    int32_t link;
    double offset;
  } inputs[] = {{k.An, k.aa}, {k.Bn, k.bb}, {k.Cn, k.cc}, {k.Dn, k.dd}};
  int t = 0, c = 0;
  for (const auto& in : inputs) {
    const bool truth = s.V(in.link) + in.offset > 0;  // read even when unconnected
    if (in.link <= 0) continue;
    ++c;
    if (truth) ++t;
  }
  const double size = s.V(k.Pn) + k.pp;
  int r = Gate(k.State, t, c);
  if (k.State == 1 || k.State == 3) r = 1 - r;
  k.Value = Finite(r * size, id);
  if (k.Value != old_value && s.AnimFlag) s.NotifyDrawPlainBlock(id);
}

namespace {

// The multiplexer's selector: Va rounded and clamped into 0..4 when A is linked, else
// aa itself rounded (halves to even in both).
int32_t MuxSelector(Sim& s, const TBlock& w, int id) {
  if (w.An == 0) return BlockInt32(w.aa, id, "selector aa");
  const double r = RoundHalfEven(s.V(w.An));
  if (!(r > 0)) return 0;
  return r >= 4 ? 4 : static_cast<int32_t>(r);
}

}  // namespace

void ComputeWitch(Sim& s, int id) {
  TBlock& w = s.block(id);
  if (w.OnOff <= 0) return;
  const double line[5] = {0, s.V(w.Bn) + w.bb, s.V(w.Cn) + w.cc, s.V(w.Dn) + w.dd, s.V(w.Pn) + w.pp};
  if (w.State == 1 || w.State == 2) {
    // Lowest or highest line; ties keep the lower line number.
    int sel = 1;
    for (int k = 2; k <= 4; ++k) {
      if (w.State == 1 ? line[k] < line[sel] : line[k] > line[sel]) sel = k;
    }
    w.Value = Finite(line[sel], id);
    w.aa = sel;
  } else if (w.State == 0) {
    const int32_t sel = MuxSelector(s, w, id);
    w.aa = sel;
    if (sel >= 0 && sel <= 4) w.Value = Finite(line[sel], id);  // other selectors keep the Value
  }
}

}  // namespace trevolan

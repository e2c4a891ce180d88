#pragma once
#include <array>
#include <cmath>
#include <cstdint>
#include <string>

#include "model/sim.h"

// The compute procedures, one per block type, each over one block ID. They read the
// Values of the blocks on their connections as they stand and write their results at
// once; a connection outside 0..1000 is a RangeError, an unguarded floating-point
// fault a FloatError.
namespace trevolan {

// The Integrators among blocks 1..HighestBlock, ascending. No compute procedure changes a
// type or HighestBlock, so the run loop notes them once and its integration passes visit
// these instead of looking at every block; it notes them again whenever the model may
// have been edited.
struct IntegratorList {
  std::array<int16_t, kBlockSlots> ids;
  int count = 0;
};
void NoteIntegrators(const Sim& s, IntegratorList& list);

// One evaluation pass over blocks 1..HighestBlock in ascending ID order.
void ComputeAllBlocks(Sim& s);

// Integration pass of the run loop: every Integrator, ascending; those of the list when
// there is one.
void IntegrateAll(Sim& s, const IntegratorList* integrators = nullptr);

// Continuous blocks.
void ComputeIntegrator(Sim& s, int id);  // run loop only, not the dispatch
void ComputeInductor(Sim& s, int id);
void ComputeFlux(Sim& s, int id);
void ComputeSum(Sim& s, int id);
void ComputeMultiplier(Sim& s, int id);
void ComputeDivide(Sim& s, int id);
void ComputeExponents(Sim& s, int id);
void ComputeLogarithm(Sim& s, int id);
void ComputeSine(Sim& s, int id);
void ComputeQuantizer(Sim& s, int id);
void ComputeHysteresis(Sim& s, int id);
void ComputePid(Sim& s, int id);
void ComputeVisualizer(Sim& s, int id);

// Discrete and logic blocks.
void ComputeActivity(Sim& s, int id);
void ComputeContainer(Sim& s, int id);
void ComputeBelt(Sim& s, int id);
void ComputeDiverter(Sim& s, int id);
void ComputeFuzz(Sim& s, int id);
void ComputeTimer(Sim& s, int id);
void ComputeRelay(Sim& s, int id);
void ComputeGenerator(Sim& s, int id);
void ComputeMemory(Sim& s, int id);
void ComputeAccess(Sim& s, int id);
void ComputeLogic(Sim& s, int id);
void ComputeWitch(Sim& s, int id);

// A floating-point fault that a block does not guard against: the step stops there.
// `fault` is the kind ("Floating point division by zero", "Invalid floating point
// operation", "Floating point overflow"), `why` says which input caused it.
[[noreturn]] void RaiseFloatError(const std::string& fault, int id, const std::string& why);

// Every result a compute procedure writes passes through Finite: an overflow or an
// invalid operation that no guard of the block catches ends the pass at the block that
// produced it, before the INF or NaN reaches the table, the tape or a saved file.
// Inline, a single well-predicted branch per result; the message is built out of line.
// x - x is 0 for a finite x and NaN for an infinity or a NaN, so the test needs no
// constant (a subtraction and a comparison), which keeps the run loop's blocks short.
// `what` names the result ("Value", "flux inlet", ...).
[[noreturn, gnu::cold, gnu::noinline]] void RaiseNonFinite(int64_t id, double x, const char* what);
[[gnu::always_inline]] inline double Finite(double x, int64_t id, const char* what = "Value") {
  const double zero_if_finite = x - x;
  if (zero_if_finite != zero_if_finite) [[unlikely]] RaiseNonFinite(id, x, what);
  return x;
}

// ToInt32 for a number a block rounds into 32 bits (an access code, a selector, a
// value written into an integer field): beyond the range a RangeError that names the
// block and `what` ("Range check error in block 105: its bb = 1E20 is beyond ...").
int32_t BlockInt32(double x, int64_t id, const char* what);

// The same check for the clock's own sums, which belong to no block: Time + Delt and
// the next graph and hold times. The error names "the clock" where a block's names it.
[[noreturn, gnu::cold, gnu::noinline]] void RaiseNonFiniteClock(double x, const char* what);
inline double FiniteClock(double x, const char* what) {
  if (!std::isfinite(x)) [[unlikely]] RaiseNonFiniteClock(x, what);
  return x;
}

// The five inputs of a block, each its connection's Value plus its coefficient:
// Va + aa, Vb + bb, Vc + cc, Vd + dd, Vp + pp.
struct Inputs {
  double a, b, c, d, p;
};
inline Inputs ReadInputs(const Sim& s, const TBlock& blk) {
  return {s.V(blk.An) + blk.aa, s.V(blk.Bn) + blk.bb, s.V(blk.Cn) + blk.cc, s.V(blk.Dn) + blk.dd,
          s.V(blk.Pn) + blk.pp};
}

// -1, 0 or +1 (0 for NaN), without branches: the Sum block takes the sign of every link.
inline double Sign(double x) { return static_cast<double>((x > 0) - (x < 0)); }

// The user block's exchange with the linked spreadsheet; always works on block 20.
void ExchangeWithSpreadsheet(Sim& s);

}  // namespace trevolan

#include "blocks/compute.h"

#include <algorithm>
#include <cmath>

namespace trevolan {

namespace {

// The last ID a pass visits: HighestBlock, but not beyond the table. Bounding the loop
// so lets the compiler drop the check of every ID inside it; a HighestBlock beyond the
// table then meets its range error after the last block (EndOfPass), as a pass that
// checked each ID would.
int64_t LastOfPass(const Sim& s) { return std::min<int64_t>(s.HighestBlock, kMaxBlockID); }
void EndOfPass(const Sim& s) {
  if (s.HighestBlock > kMaxBlockID) s.block(int64_t{kMaxBlockID} + 1);
}

}  // namespace

void ComputeAllBlocks(Sim& s, IntegratorList* integrators) {
  if (integrators) integrators->known = false;  // known again only once the pass is through
  int count = 0;
  const int64_t last = LastOfPass(s);
  for (int64_t id = 1; id <= last; ++id) {
    const int i = static_cast<int>(id);
    switch (s.block(id).Type) {
      case 'A': ComputeActivity(s, i); break;
      case 'B': ComputeBelt(s, i); break;
      case 'C': ComputeContainer(s, i); break;
      case 'D': ComputeDiverter(s, i); break;
      case 'E': ComputeExponents(s, i); break;
      case 'F': ComputeFlux(s, i); break;
      case 'G': ComputeGenerator(s, i); break;
      case 'H': ComputeHysteresis(s, i); break;
      case 'J': ComputeInductor(s, i); break;
      case 'K': ComputeLogic(s, i); break;
      case 'L': ComputeLogarithm(s, i); break;
      case 'M': ComputeMemory(s, i); break;
      case 'P': ComputePid(s, i); break;
      case 'Q': ComputeQuantizer(s, i); break;
      case 'R': ComputeRelay(s, i); break;
      case 'S': ComputeSine(s, i); break;
      case 'T': ComputeTimer(s, i); break;
      case 'U': ExchangeWithSpreadsheet(s); break;
      case 'V': ComputeVisualizer(s, i); break;
      case 'W': ComputeWitch(s, i); break;
      case 'X': ComputeMultiplier(s, i); break;
      case 'Z': ComputeFuzz(s, i); break;
      case '%': ComputeDivide(s, i); break;
      case '&': ComputeSum(s, i); break;
      case '@': ComputeAccess(s, i); break;
      case 'I':  // computed in the integration pass
        if (integrators) integrators->ids[static_cast<size_t>(count++)] = static_cast<int16_t>(id);
        break;
      default: break;  // N, O, '?' and letters outside the catalogue
    }
  }
  EndOfPass(s);
  if (integrators) {
    integrators->count = count;
    integrators->known = true;
  }
}

void RaiseFloatError(const std::string& fault, int id, const std::string& why) {
  throw FloatError(fault + " in block " + std::to_string(id) + ": " + why);
}

void RaiseNonFinite(int64_t id, double x, const char* what) {
  const bool nan = std::isnan(x);
  RaiseFloatError(nan ? "Invalid floating point operation" : "Floating point overflow", static_cast<int>(id),
                  std::string("its ") + what + (nan ? " would be NAN" : x > 0 ? " would be INF" : " would be -INF"));
}

// Flattened: an Integrator is short, and its body inlined lets one overlap the next.
[[gnu::flatten]] void IntegrateAll(Sim& s, const IntegratorList* integrators) {
  if (integrators && integrators->known) {
    for (int k = 0; k < integrators->count; ++k) ComputeIntegrator(s, integrators->ids[static_cast<size_t>(k)]);
  } else {
    const int64_t last = LastOfPass(s);
    for (int64_t id = 1; id <= last; ++id) {
      if (s.block(id).Type == 'I') ComputeIntegrator(s, static_cast<int>(id));
    }
  }
  EndOfPass(s);
}

}  // namespace trevolan

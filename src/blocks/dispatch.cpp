#include "blocks/compute.h"

#include <algorithm>
#include <cmath>

namespace trevolan {

void ComputeAllBlocks(Sim& s) {
  for (int64_t id = 1; id <= s.HighestBlock; ++id) {
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
      default: break;  // I (the integration pass), N, O, '?' and letters outside the catalogue
    }
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

void IntegrateAll(Sim& s) {
  // The loop stays inside the table, so that its slots need no range check each; a
  // HighestBlock beyond the table is the range error that block 1001 raises, after
  // every integrator below it has run.
  const int64_t last = std::min<int64_t>(s.HighestBlock, kMaxBlockID);
  for (int64_t id = 1; id <= last; ++id) {
    if (s.block(id).Type == 'I') ComputeIntegrator(s, static_cast<int>(id));
  }
  if (s.HighestBlock > kMaxBlockID) ThrowRangeError();
}

}  // namespace trevolan

#include "blocks/compute.h"

namespace trevolan {

// Not computed yet: these blocks keep their Values.
void ComputeExponents(Sim& /*s*/, int /*id*/) {}
void ComputeLogarithm(Sim& /*s*/, int /*id*/) {}
void ComputeSine(Sim& /*s*/, int /*id*/) {}
void ComputeQuantizer(Sim& /*s*/, int /*id*/) {}
void ComputeHysteresis(Sim& /*s*/, int /*id*/) {}
void ComputePid(Sim& /*s*/, int /*id*/) {}
void ComputeVisualizer(Sim& /*s*/, int /*id*/) {}

}  // namespace trevolan

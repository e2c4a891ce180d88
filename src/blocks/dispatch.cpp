#include "blocks/compute.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "model/numbers.h"

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

// The types without a compute procedure: empty slots, Integrators (computed in the
// integration pass), Notes and the Oscilloscope.
constexpr std::array<bool, 256> kNothingToCompute = [] {
  std::array<bool, 256> nothing{};
  for (const BlockType type : {BlockType::Empty, BlockType::Integrator, BlockType::Note, BlockType::Oscilloscope})
    nothing[static_cast<unsigned char>(TypeLetter(type))] = true;
  return nothing;
}();

}  // namespace

void ComputeAllBlocks(Sim& s) {
  const int64_t last = LastOfPass(s);
  for (int64_t id = 1; id <= last; ++id) {
    const int i = static_cast<int>(id);
    const BlockType type = s.block(id).Type;
    // Models are long runs of a few types: empty slots, Integrators, Sums, Containers and
    // Activities are told apart by comparisons first, whose branches are predicted far
    // better than the switch's jump through its table. Each type is dispatched in one
    // place only, so that each procedure is inlined once. That is also why the types are
    // dispatched here by a switch of their own rather than through the catalogue's
    // entries: a call through a table could not be inlined into this loop.
    if (kNothingToCompute[static_cast<unsigned char>(TypeLetter(type))]) continue;
    if (type == BlockType::Sum) {
      ComputeSum(s, i);
      continue;
    }
    if (type == BlockType::Container) {
      ComputeContainer(s, i);
      continue;
    }
    if (type == BlockType::Activity) {
      ComputeActivity(s, i);
      continue;
    }
    switch (type) {
      case BlockType::Belt: ComputeBelt(s, i); break;
      case BlockType::Diverter: ComputeDiverter(s, i); break;
      case BlockType::Exponents: ComputeExponents(s, i); break;
      case BlockType::Flux: ComputeFlux(s, i); break;
      case BlockType::Generator: ComputeGenerator(s, i); break;
      case BlockType::Hysteresis: ComputeHysteresis(s, i); break;
      case BlockType::Inductor: ComputeInductor(s, i); break;
      case BlockType::Logic: ComputeLogic(s, i); break;
      case BlockType::Logarithm: ComputeLogarithm(s, i); break;
      case BlockType::Memory: ComputeMemory(s, i); break;
      case BlockType::Pid: ComputePid(s, i); break;
      case BlockType::Quantizer: ComputeQuantizer(s, i); break;
      case BlockType::Relay: ComputeRelay(s, i); break;
      case BlockType::Sine: ComputeSine(s, i); break;
      case BlockType::Timer: ComputeTimer(s, i); break;
      case BlockType::User: ExchangeWithSpreadsheet(s); break;
      case BlockType::Visualizer: ComputeVisualizer(s, i); break;
      case BlockType::Witch: ComputeWitch(s, i); break;
      case BlockType::Multiplier: ComputeMultiplier(s, i); break;
      case BlockType::Fuzz: ComputeFuzz(s, i); break;
      case BlockType::Divide: ComputeDivide(s, i); break;
      case BlockType::Access: ComputeAccess(s, i); break;
      default: break;  // letters outside the catalogue
    }
  }
  EndOfPass(s);
}

void NoteIntegrators(const Sim& s, IntegratorList& list) {
  list.count = 0;
  const int64_t last = LastOfPass(s);
  for (int64_t id = 1; id <= last; ++id) {
    if (s.block(id).Type == BlockType::Integrator)
      list.ids[static_cast<size_t>(list.count++)] = static_cast<int16_t>(id);
  }
}

void RaiseFloatError(const std::string& fault, int id, const std::string& why) {
  throw FloatError(fault + " in block " + std::to_string(id) + ": " + why);
}

namespace {

// "Floating point overflow in WHERE: its WHAT would be INF", and the like for NaN.
[[noreturn]] void RaiseNonFiniteIn(const std::string& where, double x, const char* what) {
  const bool nan = std::isnan(x);
  throw FloatError(std::string(nan ? "Invalid floating point operation" : "Floating point overflow") + " in " + where +
                   ": its " + what + (nan ? " would be NAN" : x > 0 ? " would be INF" : " would be -INF"));
}

}  // namespace

void RaiseNonFinite(int64_t id, double x, const char* what) { RaiseNonFiniteIn("block " + std::to_string(id), x, what); }

int32_t BlockInt32(double x, int64_t id, const char* what) {
  try {
    return ToInt32(x);
  } catch (const RangeError&) {
    throw RangeError("Range check error in block " + std::to_string(id) + ": its " + what + " = " + FormatGeneral(x) +
                     " is beyond the 32-bit range");
  }
}

void RaiseNonFiniteClock(double x, const char* what) { RaiseNonFiniteIn("the clock", x, what); }

// Flattened: an Integrator is short, and its body inlined lets one overlap the next.
// The single step scans for Integrators here rather than through NoteIntegrators: that
// way measured slower in the run loop's pass, by how the compiler then laid out its loop.
[[gnu::flatten]] void IntegrateAll(Sim& s, const IntegratorList* integrators) {
  if (integrators) {
    for (int k = 0; k < integrators->count; ++k) ComputeIntegrator(s, integrators->ids[static_cast<size_t>(k)]);
  } else {
    const int64_t last = LastOfPass(s);
    for (int64_t id = 1; id <= last; ++id) {
      if (s.block(id).Type == BlockType::Integrator) ComputeIntegrator(s, static_cast<int>(id));
    }
  }
  EndOfPass(s);
}

}  // namespace trevolan

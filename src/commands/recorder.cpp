#include "commands/recorder.h"

#include <cmath>

#include "commands/targets.h"
#include "model/fields.h"

namespace trevolan::commands {

namespace {

// The address of a double that a target names directly: a block's double field, a
// double global. Null for anything else (a stored entry, an integer, a tape cell).
const double* DirectAddress(Sim& s, const std::string& target) {
  if (const GlobalField* g = FindGlobalField(target)) {
    const auto* member = std::get_if<double Sim::*>(&g->member);
    return member ? &(s.*(*member)) : nullptr;
  }
  const auto id = TargetBlock(target);
  if (!id || *id < 0 || *id > kMaxBlockID) return nullptr;
  const BlockField* f = FindBlockField(target.substr(target.find('.') + 1));
  if (!f) return nullptr;
  const auto* member = std::get_if<double TBlock::*>(&f->member);
  return member ? &(s.block(*id).*(*member)) : nullptr;
}

}  // namespace

SampleRecorder::SampleRecorder(Sim& s, const std::vector<std::string>& targets, double every)
    : every_(every), next_(s.Time + every) {
  if (!(every > 0) || !std::isfinite(every)) throw RangeError("Range check error: the sampling interval must be above 0");
  for (const std::string& target : targets) reads_.push_back({DirectAddress(s, target), NumberTarget(s, target)});
  Sample(s);
}

void SampleRecorder::Sample(const Sim& s) {
  const size_t at = cells_.size();
  cells_.resize(at + reads_.size() + 1);
  double* row = cells_.data() + at;
  *row++ = s.Time;
  for (const Read& read : reads_) *row++ = read.direct ? *read.direct : read.call();
}

}  // namespace trevolan::commands

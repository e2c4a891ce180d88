#include "commands/recorder.h"

#include <algorithm>
#include <cmath>

#include "commands/targets.h"
#include "model/fields.h"
#include "model/numbers.h"

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

SampleRecorder::SampleRecorder(Sim& s, const std::vector<std::string>& targets, double every, bool run_begun)
    : every_(every) {
  if (!(every > 0) || !std::isfinite(every)) {
    throw UsageError("every " + FormatGeneral(every) + ": the sampling interval must be a number above 0");
  }
  const double latest = std::max({std::fabs(s.Start), std::fabs(s.Time), std::fabs(s.FinTim)});
  const double resolution = std::nextafter(latest, HUGE_VAL) - latest;
  if (every < resolution) {
    throw UsageError("every " + FormatGeneral(every) + ": below the clock's resolution at Time " +
                     FormatGeneral(latest) + ", where times differ by at least " + FormatGeneral(resolution));
  }
  for (const std::string& target : targets) reads_.push_back({DirectAddress(s, target), NumberTarget(s, target)});
  // Before the first RESET the blocks hold no run's state yet: the recording waits for it.
  waiting_ = !run_begun;
  if (waiting_) next_ = -HUGE_VAL;
  else StartAt(s);
}

void SampleRecorder::AfterReset(const Sim& s) {
  cells_.clear();
  StartAt(s);
}

void SampleRecorder::StartAt(const Sim& s) {
  ReserveToFinTim(s);
  start_ = s.Start;
  k_ = std::max(0.0, std::round((s.Time - start_) / every_));
  next_ = start_ + k_ * every_;
  waiting_ = false;
  Sample(s);
  NextAfter(s);
}

void SampleRecorder::ReserveToFinTim(const Sim& s) {
  // Room for the samples up to FinTim at once, so that a long recording is not copied
  // each time it outgrows its room. Reserved pages that no sample touches stay unmapped,
  // so a run stopped early costs no memory for them; beyond the cap it grows as usual.
  constexpr double kReservedCells = 1 << 24;  // 128 MB of address space
  const double rows = (s.FinTim - s.Time) / every_ + 2;
  const double cells = std::min(rows * static_cast<double>(columns()), kReservedCells);
  if (cells > static_cast<double>(cells_.capacity())) cells_.reserve(static_cast<size_t>(cells));
}

void SampleRecorder::NextAfter(const Sim& s) {
  k_ = std::max(k_ + 1, std::floor((s.Time + s.TimeTol - start_) / every_));
  while (!(start_ + k_ * every_ - s.TimeTol > s.Time)) ++k_;
  next_ = start_ + k_ * every_;
}

void SampleRecorder::Sample(const Sim& s) {
  // The sample time on the grid when the clock is there to within TimeTol, so that a
  // sample of Time 50 is found at 50 whatever the summed steps gave; else the clock's.
  cells_.push_back(std::fabs(s.Time - next_) <= s.TimeTol ? next_ : s.Time);
  for (const Read& read : reads_) cells_.push_back(read.direct ? *read.direct : read.call());
}

}  // namespace trevolan::commands

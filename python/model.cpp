#include "model.h"

#include <algorithm>

#include "exact_state.h"
#include "model/sim_copy.h"

namespace trevolan::python {

Model::Model() : sim_(std::make_unique<Sim>()) {
  sim_->frontend = &frontend_;
  frontend_.Attach(*sim_);
  // The first paint of the window when it is activated, as the batch runner does.
  frontend_.FormPaint();
}

InterruptCheck::Reply InterruptCheck::AfterStep(const Sim&) {
  if (!interrupted_ || ++steps_ % 64 != 0) return Reply::kGoOn;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_check_ < std::chrono::milliseconds(50)) return Reply::kGoOn;
  last_check_ = now;
  if (!interrupted_()) return Reply::kGoOn;
  asked_ = true;
  return Reply::kStop;
}

Model::Outputs Model::OutputsOf(Sim& s, const std::optional<std::vector<std::string>>& outputs) {
  Outputs o;
  if (!outputs) {
    for (const auto& [name, id] : Channels(s)) {
      o.names.push_back(name);
      o.targets.push_back(std::to_string(id) + ".Value");
    }
    o.names.erase(o.names.begin());  // column 0 is the Time block
    o.targets.erase(o.targets.begin());
    return o;
  }
  o.names = *outputs;
  std::erase(o.names, std::string("Time"));
  for (auto name = o.names.begin(); name != o.names.end(); ++name) {
    if (std::find(o.names.begin(), name, *name) != name) throw UsageError("the output " + *name + " is named twice");
    o.targets.push_back(commands::TargetOfName(s, *name));
    try {
      commands::NumberTarget(s, o.targets.back())();
    } catch (const RangeError&) {
      throw commands::TargetRangeError(s, o.targets.back());  // which bounds the output went beyond
    }
  }
  return o;
}

void Model::Record(Sim& s, const std::optional<std::vector<std::string>>& outputs, std::optional<double> every) {
  Outputs o = OutputsOf(s, outputs);
  auto recorder = std::make_unique<commands::SampleRecorder>(s, o.targets, every ? *every : s.GrDel, begun_);
  StopRecording();
  recorder_ = std::move(recorder);
  recorded_ = std::move(o.names);
  s.step_hook.Subscribe(*recorder_);
}

RunOutcome Model::ResetRun(Sim& s) {
  begun_ = true;
  return Reset(s);
}

std::string Model::State(const Sim& s) const { return (begun_ ? "R" : "-") + ExactState(s); }

void Model::Restore(Sim& s, const std::string& state) {
  if (state.empty() || (state[0] != 'R' && state[0] != '-')) {
    throw std::invalid_argument("not the state of a trevolan model");
  }
  RestoreExactState(s, state.substr(1));
  begun_ = state[0] == 'R';
  if (recorder_ && begun_) recorder_->AfterReset(s);
}

void Model::CopyFrom(const Model& other) {
  if (&other == this) return;
  if (other.owner_ == std::this_thread::get_id()) throw UsageError("a model cannot be copied in its exchange function");
  std::scoped_lock both(mutex_, other.mutex_);
  CopyModelState(*other.sim_, *sim_);
  // The recorded rows come along: the copy's tape() and a run on from here are the original's.
  const Sim& from = *other.sim_;
  sim_->FillTape(from.TapeCell(0, 0));
  for (int64_t c = 0; c < kTapeColumns; ++c) {
    for (int64_t r = 0; r <= from.TapeIndex && r < kTapeRows; ++r) sim_->TapeCell(c, r) = from.TapeCell(c, r);
  }
  sim_->TapeIndex = from.TapeIndex;
  begun_ = other.begun_;
}

TapeRows Model::Tape(const Sim& s) {
  TapeRows t;
  t.rows = std::max<int64_t>(0, int64_t{s.TapeIndex} + 1);
  t.columns = std::max<int64_t>(0, int64_t{s.TapeChannels} + 1);
  // Bookkeeping that a set has put outside the tape is a range error, as saving it is.
  if (t.rows > kTapeRows || t.columns > kTapeColumns) throw RangeError();
  t.cells.resize(static_cast<size_t>(t.rows * t.columns));
  for (int64_t c = 0; c < t.columns; ++c) {
    for (int64_t r = 0; r < t.rows; ++r) t.cells[static_cast<size_t>(r * t.columns + c)] = s.TapeCell(c, r);
  }
  return t;
}

std::vector<std::pair<std::string, int32_t>> Model::Channels(const Sim& s) {
  std::vector<std::pair<std::string, int32_t>> channels;
  for (int c = 0; c <= s.TapeChannels; ++c) {
    if (c >= kTapeColumns) throw RangeError();
    const int32_t id = s.TapeChannelIDs[static_cast<size_t>(c)];
    channels.emplace_back(s.block(id).Name, id);
  }
  return channels;
}

}  // namespace trevolan::python

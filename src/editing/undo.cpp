#include "editing/undo.h"

#include <array>
#include <bit>
#include <cstddef>
#include <type_traits>
#include <utility>

namespace trevolan {

namespace {

// The globals an edit can change, each read and written as a double.
struct GlobalRef {
  double (*get)(const Sim&);
  void (*set)(Sim&, double);
};

template <auto Member>
constexpr GlobalRef Ref() {
  return {[](const Sim& s) { return static_cast<double>(s.*Member); },
          [](Sim& s, double v) { s.*Member = static_cast<std::remove_reference_t<decltype(s.*Member)>>(v); }};
}

template <size_t Index>
constexpr GlobalRef ChannelRef() {
  return {[](const Sim& s) { return static_cast<double>(s.TapeChannelIDs[Index]); },
          [](Sim& s, double v) { s.TapeChannelIDs[Index] = static_cast<int32_t>(v); }};
}

template <size_t... I>
constexpr auto ChannelRefs(std::index_sequence<I...>) {
  return std::array<GlobalRef, sizeof...(I)>{ChannelRef<I>()...};
}

constexpr std::array kScalarGlobals = {
    Ref<&Sim::Time>(),         Ref<&Sim::Delt>(),       Ref<&Sim::Start>(),     Ref<&Sim::FinTim>(),
    Ref<&Sim::GrDel>(),        Ref<&Sim::GrNext>(),     Ref<&Sim::Holdstep>(),  Ref<&Sim::Holdnext>(),
    Ref<&Sim::ScaleOrgn>(),    Ref<&Sim::ScaleFactr>(), Ref<&Sim::ColourMin>(), Ref<&Sim::ColourMax>(),
    Ref<&Sim::GrMinT>(),       Ref<&Sim::GrMaxT>(),     Ref<&Sim::GrMinY>(),    Ref<&Sim::GrMaxY>(),
    Ref<&Sim::TimeTol>(),      Ref<&Sim::RepCount>(),   Ref<&Sim::VertIntv>(),  Ref<&Sim::HorizIntv>(),
    Ref<&Sim::HighestBlock>(), Ref<&Sim::TapeChannels>()};
constexpr auto kChannelGlobals = ChannelRefs(std::make_index_sequence<kTapeColumns>());

const GlobalRef& Global(size_t i) {
  return i < kScalarGlobals.size() ? kScalarGlobals[i] : kChannelGlobals[i - kScalarGlobals.size()];
}
constexpr size_t kGlobalCount = kScalarGlobals.size() + kChannelGlobals.size();

// Doubles are compared by their bits: -0 and 0 are written differently in the model
// file, and a NaN that stayed a NaN is no change.
bool Same(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }
template <typename T>
bool Same(const T& a, const T& b) {
  return a == b;
}
bool Same(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!Same(a[i], b[i])) return false;
  }
  return true;
}

// Calls f(member) for every field of a block.
template <typename F>
void ForEachField(F&& f) {
  f(&TBlock::ID), f(&TBlock::Type), f(&TBlock::OnOff), f(&TBlock::Displ), f(&TBlock::State);
  f(&TBlock::XX), f(&TBlock::YY), f(&TBlock::An), f(&TBlock::Bn), f(&TBlock::Cn), f(&TBlock::Dn);
  f(&TBlock::Pn), f(&TBlock::aa), f(&TBlock::bb), f(&TBlock::cc), f(&TBlock::dd), f(&TBlock::pp);
  f(&TBlock::Value), f(&TBlock::Name), f(&TBlock::stored), f(&TBlock::Comment);
}

bool SameBlock(const TBlock& a, const TBlock& b) {
  bool same = true;
  ForEachField([&](auto member) { same = same && Same(a.*member, b.*member); });
  return same;
}

// In block `target`, every field that differs between `before` and `after` takes its
// value from `to` (one of the two).
void WriteChangedFields(TBlock& target, const TBlock& before, const TBlock& after, const TBlock& to) {
  ForEachField([&](auto member) {
    if (!Same(before.*member, after.*member)) target.*member = to.*member;
  });
}

std::string Id(int64_t id) { return std::to_string(id); }

}  // namespace

bool ModelChange::Emptied(int64_t id) const {
  for (const BlockChange& b : blocks_) {
    if (b.id == id) return b.before.Type != BlockType::Empty && b.after.Type == BlockType::Empty;
  }
  return false;
}

void ModelChange::Undo(Sim& s) const {
  for (const BlockChange& b : blocks_) WriteChangedFields(s.block(b.id), b.before, b.after, b.before);
  for (const GlobalChange& g : globals_) Global(static_cast<size_t>(g.index)).set(s, g.before);
}

void ModelChange::Redo(Sim& s) const {
  for (const BlockChange& b : blocks_) WriteChangedFields(s.block(b.id), b.before, b.after, b.after);
  for (const GlobalChange& g : globals_) Global(static_cast<size_t>(g.index)).set(s, g.after);
}

ChangeRecorder::ChangeRecorder(const Sim& s) : blocks_(std::make_unique<std::vector<TBlock>>()) {
  blocks_->reserve(kBlockSlots);
  for (int id = 0; id <= kMaxBlockID; ++id) blocks_->push_back(s.block(id));
  globals_.reserve(kGlobalCount);
  for (size_t i = 0; i < kGlobalCount; ++i) globals_.push_back(Global(i).get(s));
}

ChangeRecorder::~ChangeRecorder() = default;

ModelChange ChangeRecorder::Finish(const Sim& s, std::string name) const {
  std::vector<BlockChange> blocks;
  for (int id = 0; id <= kMaxBlockID; ++id) {
    const TBlock& before = (*blocks_)[static_cast<size_t>(id)];
    const TBlock& after = s.block(id);
    if (!SameBlock(before, after)) blocks.push_back(BlockChange{id, before, after});
  }
  std::vector<GlobalChange> globals;
  for (size_t i = 0; i < kGlobalCount; ++i) {
    const double after = Global(i).get(s);
    if (!Same(globals_[i], after)) globals.push_back(GlobalChange{static_cast<int>(i), globals_[i], after});
  }
  return ModelChange(std::move(name), std::move(blocks), std::move(globals));
}

std::string ApplyOrDeleteName(const ModelChange& change, int64_t id) {
  return change.Emptied(id) ? "Delete block " + Id(id) : "Apply to block " + Id(id);
}
std::string ClickName(int64_t id) { return "Click on block " + Id(id); }
std::string MoveName(int64_t id) { return "Move block " + Id(id); }
std::string CreateName(int64_t id) { return "Create block " + Id(id); }
std::string InsertName(int64_t id) { return "Insert block " + Id(id); }
std::string CopyName(int64_t from, int64_t to) { return "Copy block " + Id(from) + " to " + Id(to); }

}  // namespace trevolan

#include "editing/undo.h"

#include <array>
#include <cstddef>
#include <utility>
#include <variant>

#include "model/fields.h"

namespace trevolan {

namespace {

// The globals an edit changes, as the table of fields has them, each element of the
// channel list on its own.
struct GlobalSlot {
  const GlobalField* field;
  size_t element;
};

const std::vector<GlobalSlot>& EditedGlobals() {
  static const std::vector<GlobalSlot> slots = [] {
    std::vector<GlobalSlot> all;
    for (const GlobalField& g : GlobalFields()) {
      if (!g.edit) continue;
      const size_t n = std::holds_alternative<std::array<int32_t, kTapeColumns> Sim::*>(g.member) ? kTapeColumns : 1;
      for (size_t e = 0; e < n; ++e) all.push_back({&g, e});
    }
    return all;
  }();
  return slots;
}

// A global's value held as a double, which holds every int32 exactly.
struct AsDouble {
  const Sim& s;
  size_t element;
  double operator()(std::array<int32_t, kTapeColumns> Sim::*m) const { return (s.*m)[element]; }
  double operator()(std::string Sim::*) const { return 0; }  // texts are no part of an edit
  template <typename T>
  double operator()(T Sim::*m) const {
    return static_cast<double>(s.*m);
  }
};
struct FromDouble {
  Sim& s;
  size_t element;
  double v;
  void operator()(std::array<int32_t, kTapeColumns> Sim::*m) const { (s.*m)[element] = static_cast<int32_t>(v); }
  void operator()(std::string Sim::*) const {}
  template <typename T>
  void operator()(T Sim::*m) const {
    s.*m = static_cast<T>(v);
  }
};

double GetGlobal(const Sim& s, size_t i) {
  const GlobalSlot& g = EditedGlobals()[i];
  return std::visit(AsDouble{s, g.element}, g.field->member);
}
void SetGlobal(Sim& s, size_t i, double v) {
  const GlobalSlot& g = EditedGlobals()[i];
  std::visit(FromDouble{s, g.element, v}, g.field->member);
}

// In block `target`, every field that differs between `before` and `after` takes its
// value from `to` (one of the two).
void WriteChangedFields(TBlock& target, const TBlock& before, const TBlock& after, const TBlock& to) {
  ForEachBlockMember([&](auto member) {
    if (!SameField(before.*member, after.*member)) target.*member = to.*member;
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
  for (const GlobalChange& g : globals_) SetGlobal(s, static_cast<size_t>(g.index), g.before);
}

void ModelChange::Redo(Sim& s) const {
  for (const BlockChange& b : blocks_) WriteChangedFields(s.block(b.id), b.before, b.after, b.after);
  for (const GlobalChange& g : globals_) SetGlobal(s, static_cast<size_t>(g.index), g.after);
}

ChangeRecorder::ChangeRecorder(const Sim& s) : blocks_(std::make_unique<std::vector<TBlock>>()) {
  blocks_->reserve(kBlockSlots);
  for (int id = 0; id <= kMaxBlockID; ++id) blocks_->push_back(s.block(id));
  globals_.reserve(EditedGlobals().size());
  for (size_t i = 0; i < EditedGlobals().size(); ++i) globals_.push_back(GetGlobal(s, i));
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
  for (size_t i = 0; i < EditedGlobals().size(); ++i) {
    const double after = GetGlobal(s, i);
    if (!SameBits(globals_[i], after)) globals.push_back(GlobalChange{static_cast<int>(i), globals_[i], after});
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

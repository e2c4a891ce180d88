#include "model/sim.h"

#include <algorithm>
#include <cstdint>
#include <numbers>
#include <type_traits>

#include "model/field_rows.h"
#include "model/numbers.h"
#include "model/seed.h"

namespace trevolan {

Sim::Sim() {
  // The mirrored globals start from the system blocks' defaults (so FinTim starts at
  // 1000, and GrNext at Start + GrDel).
  ClearBlockTable(*this);
  SetSystemDefaults(*this);
  LoadTimingGlobals(*this);
  HighestBlock = 100;
}

void Sim::MakeTapeCells() { tape_.assign(static_cast<size_t>(kTapeColumns) * kTapeRows, tape_fill_); }

double Sim::StreamUniform(int id) {
  if (static_cast<unsigned>(id) >= 2 * static_cast<unsigned>(kBlockSlots)) ThrowRangeError();
  return NextStreamUniform(block_streams[static_cast<size_t>(id)]);
}

std::string EmptySlotName(int i) {
  std::string name = "?" + std::to_string(i) + " ";
  if (name.size() > kMaxNameLength) name.resize(kMaxNameLength);
  return name;
}

namespace {

// True when the slot holds what the other holds, bit for bit, and its list has the
// same capacity (a cleared slot gives back the memory of a long list).
bool IsSameSlot(const TBlock& a, const TBlock& b) {
  return a.stored.capacity() == b.stored.capacity() && SameBlock(a, b);
}

}  // namespace

void ClearBlockTable(Sim& s) {
  // The empty slots are made once and copied in: every Open and every check of a
  // model clears the table, and making 1001 blocks and names each time cost more than
  // reading a whole model. Copying reuses the slot's own strings.
  static const std::array<TBlock, kBlockSlots>* const empty_slots = [] {
    auto* slots = new std::array<TBlock, kBlockSlots>();
    for (int i = 0; i <= kMaxBlockID; ++i) {
      (*slots)[static_cast<size_t>(i)].ID = i;
      (*slots)[static_cast<size_t>(i)].Name = EmptySlotName(i);
    }
    return slots;
  }();
  s.LastX = 100;
  s.LastY = 100;
  for (int i = 0; i <= kMaxBlockID; ++i) {
    TBlock& b = s.block(i);
    const TBlock& empty = (*empty_slots)[static_cast<size_t>(i)];
    if (IsSameSlot(b, empty)) continue;  // most of a model's slots were never used
    const int32_t on_off = b.OnOff;  // the one field a cleared slot keeps
    b = empty;
    b.stored.shrink_to_fit();  // the memory of a long list goes with the model
    b.OnOff = on_off;
  }
  s.TapeChannelIDs.fill(0);
  s.TapeChannelIDs[0] = 2;
  s.TapeIndex = -1;
  s.FillTape(-1.0);
}

namespace {

// The globals that mirror a field of a system block, in the order of their blocks and,
// within a block, of the file's columns (block 19's pp before its Value).
constexpr auto kIsMirror = [](const GlobalField& g) { return g.mirror_block >= 0; };
constexpr int ColumnOf(const BlockMember& m) {
  for (const BlockField& f : table::kBlockFields) {
    if (f.member == m) return f.file_column;
  }
  return -1;
}
constexpr auto kMirrors = table::SelectRows<table::CountRows(table::kGlobalFields, kIsMirror)>(
    table::kGlobalFields, kIsMirror, [](const GlobalField& a, const GlobalField& b) {
      return a.mirror_block != b.mirror_block ? a.mirror_block < b.mirror_block
                                              : ColumnOf(a.mirror_field) < ColumnOf(b.mirror_field);
    });

// A value as its mirror of another kind holds it: a number becomes a whole number
// rounded halves to even (RangeError beyond 32 bits), a whole number a number.
template <typename To, typename From>
To Mirrored(From v) {
  if constexpr (std::is_same_v<To, int32_t> && std::is_floating_point_v<From>) {
    return ToInt32(v);
  } else {
    return static_cast<To>(v);
  }
}

void ResizeChannelList(TBlock& b) {
  ResizeStored(b, 11);
  std::fill(b.stored.begin() + 1, b.stored.end(), 0.0);
}

}  // namespace

void SetSystemDefaults(Sim& s) {
  for (int id = kZeroBlock; id <= kLastSystemBlock; ++id) {
    TBlock& b = s.block(id);
    b.Type = BlockType::Container;
    b.XX = 10;
    b.YY = 30 * id - 50;
    b.State = 2;
    b.Displ = 3;
    b.OnOff = 1;
  }
  TBlock& zero = s.block(kZeroBlock);
  zero.Name = "ZERO";
  zero.Value = 0;
  zero.pp = 0;
  zero.XX = 0;
  zero.YY = 0;
  TBlock& one = s.block(kOneBlock);
  one.Name = "ONE";
  one.Value = 1;
  one.pp = 1;
  one.XX = 0;
  one.YY = 50;
  // The mirrored fields take their globals' defaults; blocks 2..17 are each one
  // global's own, named after it and keeping the default in pp as well.
  table::ForRows<kMirrors>([&s](auto row) {
    constexpr size_t r = decltype(row)::value;
    constexpr const GlobalField& g = table::kGlobalFields[r];
    if constexpr (g.initial.has_value()) {
      TBlock& b = s.block(g.mirror_block);
      b.*table::kMirrorMember<r> = Mirrored<table::MirrorKind<r>>(*g.initial);
      if constexpr (g.mirror_block >= kFirstMirrorBlock && g.mirror_block <= kLastMirrorBlock) {
        b.Name = g.name;
        b.pp = b.Value;
      }
    }
  });
  s.block(kGrMinTBlock).XX = 60;
  s.block(kGrMinTBlock).YY = 400;
  s.block(kGrMaxTBlock).XX = 100;
  s.block(kGrMaxTBlock).YY = 400;
  s.block(kGrMinYBlock).YY = 400;
  s.block(kGrMaxYBlock).YY = 375;

  TBlock& rep = s.block(kRepCountBlock);
  rep.Name = "RepCount";
  rep.Value = 0;
  rep.OnOff = 0;
  rep.cc = 10;
  rep.YY = 435;

  TBlock& graphs = s.block(kGraphsBlock);
  graphs.Name = "Graphs";  // its Value and pp are the plot's intervals, set above
  graphs.Type = BlockType::Oscilloscope;
  graphs.An = 14;
  graphs.Bn = 15;
  graphs.Cn = 16;
  graphs.Dn = 17;
  graphs.XX = 60;
  graphs.YY = 375;
  ResizeChannelList(graphs);

  TBlock& user = s.block(kUserBlock);
  user.Name = "USER1";
  user.Value = 10;
  user.Type = BlockType::User;
  user.OnOff = 0;
  user.State = 0;
  user.An = user.Bn = user.Cn = user.Dn = 0;
  user.pp = 10;
  user.XX = 10;
  user.YY = 462;
  ResizeChannelList(user);

  for (int id = kFirstUserLinkBlock; id <= kLastUserLinkBlock; ++id) {
    TBlock& b = s.block(id);
    b.Name = "U" + std::to_string(id - kUserBlock);
    b.XX = user.XX;
    b.YY = user.YY + 21 + 3 * (id - kUserBlock);
  }

  TBlock& pi = s.block(kPiBlock);
  pi.Name = "PI";
  pi.Value = std::numbers::pi;
  pi.cc = 4;
  pi.dd = std::numbers::pi;
  pi.pp = std::numbers::pi;
  pi.XX = 75;
  pi.YY = 435;
}

void LoadTimingGlobals(Sim& s) {
  table::ForRows<kMirrors>([&s](auto row) {
    constexpr size_t r = decltype(row)::value;
    const TBlock& b = s.block(table::kGlobalFields[r].mirror_block);
    s.*table::kGlobalMember<r> = Mirrored<table::GlobalKind<r>>(b.*table::kMirrorMember<r>);
  });
}

void Sim::PlanQuietDrawing() {
  QuietDrawing = frontend && frontend->paints_nothing && !frontend->MayHaveEdited() && !LinksFlag &&
                 NumberMode != 2 && HighestBlock <= kMaxBlockID;
  DrawsByType = false;
  for (int64_t id = 0; id <= kMaxBlockID && QuietDrawing; ++id) {
    const TBlock& b = block(id);
    if (b.XX <= 0) continue;
    QuietDrawing = IsWellInside(b);
    DrawsByType = DrawsByType || (id >= 1 && id <= HighestBlock && !TypeDrawsInert(b));
  }
}

void StoreTimingGlobals(Sim& s) {
  s.block(kZeroBlock).Value = 0;
  s.block(kOneBlock).Value = 1;
  table::ForRows<kMirrors>([&s](auto row) {
    constexpr size_t r = decltype(row)::value;
    TBlock& b = s.block(table::kGlobalFields[r].mirror_block);
    b.*table::kMirrorMember<r> = Mirrored<table::MirrorKind<r>>(s.*table::kGlobalMember<r>);
  });
}

TimeSteps CheckedTimeSteps(TimeSteps t) {
  // A step that does not move the clock forward (0, negative, or lowered to a graph
  // step of 0 or less) would never reach a hold or the finish: such a step becomes 1.
  if (!(t.Delt > 0)) t.Delt = 1;
  t.GrDel = std::min(t.GrDel, t.Holdstep);
  t.Delt = std::min(t.Delt, t.GrDel);
  if (!(t.Delt > 0)) t.Delt = 1;
  return t;
}

void CheckTiming(Sim& s) {
  const TimeSteps t = CheckedTimeSteps({s.Delt, s.GrDel, s.Holdstep});
  s.Delt = t.Delt;
  s.GrDel = t.GrDel;
  s.TimeTol = 0.001 * s.Delt;
}

void ClearIntegratorInlets(Sim& s) {
  for (int64_t id = 1; id <= s.HighestBlock; ++id) {
    TBlock& b = s.block(id);
    if (b.Type == BlockType::Integrator) b.pp = 0;
  }
}

PaintedFields::PaintedFields(const Sim& s) {
  for (int id = 1; id <= std::min<int64_t>(s.HighestBlock, kMaxBlockID); ++id) {
    const TBlock& b = s.block(id);
    if (b.Type == BlockType::Visualizer) visualizers_.push_back({id, b.Value, b.Name, b.Displ, b.State});
  }
}

void PaintedFields::Restore(Sim& s) const {
  for (const Shown& v : visualizers_) {
    TBlock& b = s.block(v.id);
    b.Value = v.value;
    b.Name = v.name;
    b.Displ = v.displ;
    b.State = v.state;
  }
}

void ShowNumberMessage(Sim& s, const std::string& text, int64_t n) {
  s.ShowMessage(text + "  " + std::to_string(n));
}

int32_t CheckBlockID(Sim& s, int64_t n) {
  const auto correction = rules::BlockIDCorrection(n);
  if (!correction) return static_cast<int32_t>(n);
  s.ShowMessage(correction->message);
  return static_cast<int32_t>(std::get<int64_t>(correction->value));
}

}  // namespace trevolan

#include "editing/block_edit.h"

#include <algorithm>

#include "blocks/compute.h"
#include "blocks/transfer.h"
#include "model/numbers.h"

namespace trevolan {

GridCell GridCellOf(const Sim& s, const TBlock& b, int col, int row) {
  if (row < 1 || row > GridRowsOf(b)) return std::string();
  const int64_t n = StoredHigh(b) / 2;
  switch (b.Type) {
    case BlockType::Activity:
      if (col == 1) return StoredAt(b, row);
      return std::string(row == 1 ? "A to C" : row == 2 ? "B to D" : "");
    case BlockType::Belt: return col == 1 ? StoredAt(b, row) : row;
    case BlockType::Diverter:
      if (col == 1) return StoredAt(b, row);
      return std::string(row == 1 ? "A ->C or ->D" : "");
    case BlockType::Generator:
    case BlockType::Memory: return StoredAt(b, col == 0 ? n + row : row);
    case BlockType::Oscilloscope:
    case BlockType::User: {
      const int32_t k = ToInt32(StoredAt(b, row));
      if (col == 0) return static_cast<double>(k);
      return s.block(k).Name;
    }
    default: return std::string();
  }
}

int GridRowsOf(const TBlock& b) {
  const int64_t h = std::max<int64_t>(StoredHigh(b), 0);
  switch (b.Type) {
    case BlockType::Activity:
    case BlockType::Belt:
    case BlockType::Diverter:
    case BlockType::Oscilloscope:
    case BlockType::User: return static_cast<int>(h);
    case BlockType::Generator:
    case BlockType::Memory: return static_cast<int>(h / 2);
    default: return 0;
  }
}

namespace {

bool Is(const BlockField& f, const BlockMember& m) { return f.member == m; }

// The type the block has once the fields are written.
BlockType NewType(const Sim& s, int64_t id, const std::vector<FieldAssignment>& fields) {
  BlockType type = s.block(id).Type;
  for (const FieldAssignment& a : fields) {
    if (Is(*a.field, &TBlock::Type)) {
      type = TypeOfLetter(std::get<std::string>(OfFieldKind({.field = a.field, .id = id}, a.value))[0]);
    }
  }
  return type;
}

// The last of XX and YY among the fields: after it the dialog checks the position.
const BlockField* LastPositionField(const std::vector<FieldAssignment>& fields) {
  const BlockField* last = nullptr;
  for (const FieldAssignment& a : fields) {
    if (Is(*a.field, &TBlock::XX) || Is(*a.field, &TBlock::YY)) last = a.field;
  }
  return last;
}

// A table of Dn points from the grid, or, when the number of points changed, the list
// resized for the next opening.
void StoreTable(Sim& s, const GridReader& grid, TBlock& b) {
  const int64_t n = StoredHigh(b) / 2;
  if (n != b.Dn) {
    ShowNumberMessage(s, "Must reclick to show points up to ", b.Dn);
    ResizeStored(b, 2 * int64_t{b.Dn} + 1);
    return;
  }
  for (int r = 1; r <= b.Dn; ++r) {
    StoredAt(b, int64_t{b.Dn} + r) = grid(0, r);
    StoredAt(b, r) = grid(1, r);
  }
}

void StoreBelt(Sim& s, const GridReader& grid, TBlock& b, int64_t id) {
  if (StoredHigh(b) != b.Dn) {
    ShowNumberMessage(s, "Must reclick to show segments up to ", b.Dn);
    ResizeStored(b, int64_t{b.Dn} + 1);
  } else {
    for (int r = 1; r <= b.Dn; ++r) StoredAt(b, r) = grid(1, r);
  }
  b.cc = StoredAbsSum(s, id);
  b.State = b.cc <= 1e-19 ? 1 : 2;
}

// The grid back into the stored list, by the block's new type.
void StoreGrid(Sim& s, const GridReader& grid, TBlock& b, int64_t id) {
  switch (b.Type) {
    case BlockType::Activity:
      StoredAt(b, 1) = grid(1, 1);
      StoredAt(b, 2) = grid(1, 2);
      break;
    case BlockType::Belt: StoreBelt(s, grid, b, id); break;
    case BlockType::Container:
      UpdateContainerState(s, id);
      s.NotifyDrawBlock(static_cast<int>(id));
      break;
    case BlockType::Diverter: StoredAt(b, 1) = grid(1, 1); break;
    case BlockType::Generator:
      // Only a Generator that uses its own list has its table in the grid.
      if (b.Pn != id) {
        ShowNumberMessage(s, "Cannot change Function No. ", b.Pn);
      } else {
        StoreTable(s, grid, b);
      }
      break;
    case BlockType::Memory: StoreTable(s, grid, b); break;
    case BlockType::Oscilloscope:
      for (int r = 1; r <= kMaxTapeChannels; ++r) StoredAt(b, r) = grid(0, r);
      TakeScopeChannels(s);
      break;
    case BlockType::User:
      for (int r = 1; r <= kMaxTapeChannels; ++r) StoredAt(b, r) = grid(0, r);
      break;
    default: break;
  }
}

}  // namespace

bool CanEditBlock(Sim& s, int64_t id, Repairs how) {
  if (id > 1 && id <= kMaxBlockID) return true;
  if (how == Repairs::kRefuse) {
    throw RuleError("block", std::to_string(id), "the blocks that can be edited are 2.." + std::to_string(kMaxBlockID));
  }
  if (id > kMaxBlockID) ThrowRangeError();
  ShowNumberMessage(s, "Not allowed ID number ", id);
  return false;
}

bool WriteBlockFields(Sim& s, int64_t id, const std::vector<FieldAssignment>& fields, Repairs how) {
  if (!CanEditBlock(s, id, how)) return false;
  const BlockType type = NewType(s, id, fields);
  const TimeSteps steps{s.Delt, s.GrDel, s.Holdstep};
  const auto check = [&](const FieldAssignment& a) {
    return CheckedValue(s, {.field = a.field, .id = id}, a.value, how, type, steps);
  };
  // A refusal changes nothing: every value is checked before the first is written.
  std::vector<FieldValue> checked;
  if (how == Repairs::kRefuse) {
    for (const FieldAssignment& a : fields) checked.push_back(check(a));
  }
  const BlockField* position = LastPositionField(fields);
  for (size_t i = 0; i < fields.size(); ++i) {
    StoreField(s, {.field = fields[i].field, .id = id}, how == Repairs::kRefuse ? checked[i] : check(fields[i]));
    if (fields[i].field == position) {
      const TBlock& b = s.block(id);
      if (b.XX < 0 || b.YY < 0) ShowNumberMessage(s, "Check X,Y coordinates ", std::min(b.XX, b.YY));
    }
  }
  return true;
}

bool EditBlock(Sim& s, int64_t id, const std::vector<FieldAssignment>& fields, const GridReader& grid,
               Repairs how) {
  if (!WriteBlockFields(s, id, fields, how)) return false;
  StoreGrid(s, grid, s.block(id), id);
  if (id <= kReservedIDs) {  // a system block's edit acts on the simulation at once
    LoadTimingGlobals(s);
    CheckTiming(s);
  }
  s.HighestBlock = std::max<int32_t>(s.HighestBlock, static_cast<int32_t>(id));
  ClearIntegratorInlets(s);
  ComputeAllBlocks(s);
  return true;
}

bool DeleteBlock(Sim& s, int64_t typed) {
  const int32_t id = CheckBlockID(s, typed);
  // A number beyond the table would be clamped to block 1000, which the user did not
  // name: refuse it rather than delete that block.
  if (id <= kReservedIDs || id != typed) {
    ShowNumberMessage(s, "Not allowed DELETE ID number ", typed > kMaxBlockID ? typed : id);
    return false;
  }
  TBlock& b = s.block(id);
  b.Name = ("?" + std::to_string(id)).substr(0, kMaxNameLength);
  b.Type = BlockType::Empty;
  b.Displ = 2;
  b.XX = id - 50;
  b.YY = 600;
  b.An = b.Bn = b.Cn = b.Dn = b.Pn = 0;
  b.aa = b.bb = b.cc = b.dd = b.pp = 0;
  b.Value = 0;
  if (id == s.HighestBlock) s.HighestBlock -= 1;
  return true;
}

}  // namespace trevolan

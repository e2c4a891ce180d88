#include "editing/insert_copy.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "blocks/compute.h"
#include "editing/new_block.h"
#include "model/numbers.h"
#include "model/text.h"

namespace trevolan {

namespace {

// A link field pointing at a renumbered ID (either sign) is made to point at its new ID.
void RenumberLink(int32_t& link, const IdMap& ids) {
  const int64_t v = link;
  const auto it = ids.find(std::llabs(v));
  if (it == ids.end()) return;
  link = static_cast<int32_t>(v < 0 ? -it->second : it->second);
}

// The Graphs block's inputs 1..10 as channel IDs; RangeError when its list is short or
// holds a number beyond 32 bits.
std::array<int32_t, kTapeColumns> ChannelsOfGraphs(const Sim& s) {
  std::array<int32_t, kTapeColumns> ids = s.TapeChannelIDs;
  const TBlock& graphs = s.block(kGraphsBlock);
  for (int c = 1; c <= kMaxTapeChannels; ++c) ids[static_cast<size_t>(c)] = ToInt32(StoredAt(graphs, c));
  return ids;
}

void CloseAndRedraw(Sim& s, bool& closed) {
  closed = true;
  s.NotifyRedrawDiagram();
  s.NotifyDrawTimePlot();
  s.NotifyGrPlotPnlPrep();
}

}  // namespace

int32_t TBlock::*ConnectionMember(Connection c) {
  switch (c) {
    case Connection::A: return &TBlock::An;
    case Connection::B: return &TBlock::Bn;
    case Connection::C: return &TBlock::Cn;
    case Connection::D: return &TBlock::Dn;
    case Connection::P: break;
  }
  return &TBlock::Pn;
}

bool IsLinkConnection(BlockType type, Connection c) {
  switch (c) {
    case Connection::A:
    case Connection::P: return true;
    case Connection::B:
    case Connection::C: return type != BlockType::Visualizer;
    case Connection::D: break;
  }
  return type != BlockType::Visualizer && type != BlockType::Generator && type != BlockType::Memory;
}

void RenumberLinks(Sim& s, int64_t k, const IdMap& ids) {
  TBlock& b = s.block(k);
  if (b.Type == BlockType::Oscilloscope || b.Type == BlockType::User) {
    for (int64_t i = 1; i <= StoredHigh(b); ++i) {
      double& entry = StoredAt(b, i);
      for (const auto& [old_id, new_id] : ids) {
        if (entry == static_cast<double>(old_id)) {
          entry = static_cast<double>(new_id);
          break;
        }
      }
    }
  }
  if (k == 19) s.TapeChannelIDs = ChannelsOfGraphs(s);  // the plotted channels follow
  // In the order An, Pn, Bn, Cn, Dn.
  for (const Connection c : {Connection::A, Connection::P, Connection::B, Connection::C, Connection::D}) {
    if (IsLinkConnection(b.Type, c)) RenumberLink(b.*ConnectionMember(c), ids);
  }
}

void CopyBlock(Sim& s, int64_t from, int64_t to, int32_t x, int32_t y) {
  const TBlock source = s.block(from);  // a copy, so that from == to is harmless
  CopyBlock(s, source, to, x, y);
}

void CopyBlock(Sim& s, const TBlock& source, int64_t to, int32_t x, int32_t y) {
  TBlock& b = s.block(to);
  // Every field is copied but the ID, the place and element 0 of the stored list,
  // which keeps what the target held (0 for an element the list did not have).
  const double element0 = b.stored.empty() ? 0.0 : b.stored[0];
  b = source;
  b.ID = static_cast<int32_t>(to);
  b.Name = CutToCharacters(source.Name, kMaxNameLength);
  b.XX = x;
  b.YY = y;
  if (!b.stored.empty()) b.stored[0] = element0;
}

int64_t CopyTarget(Sim& s, int64_t to) {
  if (to <= kReservedIDs) {
    ShowNumberMessage(s, "Can not copy into System Block ", to);
    return 0;
  }
  if (to > int64_t{s.HighestBlock} + 1) {
    to = int64_t{s.HighestBlock} + 1;
    ShowNumberMessage(s, "Copy will go to block ", to);
  }
  return to;
}

TInsertFm::TInsertFm()
    : Caption("Insert New Block"),
      InstructLb{"Will insert new block into calculation at sequence number"},
      TypeLb{"Type  of Block"},
      SequenceLb{"Sequence Number"},
      LocationLb{"Block will appear at location of last click on display"},
      TypEdit{"A", true, ""},
      ApplyBtn{"Apply"},
      CancelBtn{"Cancel"} {}

void TInsertFm::Open(const Sim& s) {
  Edit2.text = std::to_string(s.HighestBlock);
  closed = false;
}

void TInsertFm::ApplyBtnClick(Sim& s, const std::function<void()>& show_block_dialog) {
  const char type = TypeFieldLetter(TypEdit.text);
  const int32_t seq = EditToInt(Edit2.text);
  if (seq <= kReservedIDs) {
    ShowNumberMessage(s, "Not allowed ID number ", seq);
    return;
  }
  // Every block from seq up moves one ID higher, so the table needs a free slot above
  // them, and the new block needs a slot of its own.
  if (s.HighestBlock >= kMaxBlockID || seq > kMaxBlockID) {
    ShowNumberMessage(s, "No room for more Blocks at ", s.HighestBlock);
    return;
  }
  // The Graphs block's list is read at every renumbering; a fault in it must stop the
  // insert before any block has moved, not halfway through. Above HighestBlock no
  // block moves and the list is not read.
  if (seq <= s.HighestBlock) ChannelsOfGraphs(s);

  const int32_t old_highest = s.HighestBlock;
  s.HighestBlock = old_highest + 1;
  // From the top down, so that a reference moves only once: references to i become
  // i + 1 only after those to i + 1 have become i + 2.
  for (int32_t i = old_highest; i >= seq; --i) {
    const TBlock& moved = s.block(i);
    CopyBlock(s, i, i + 1, moved.XX, moved.YY);
    const IdMap up{{i, i + 1}};
    RenumberLinks(s, kGraphsBlock, up);
    RenumberLinks(s, kUserBlock, up);
    for (int32_t k = kReservedIDs + 1; k <= s.HighestBlock; ++k) RenumberLinks(s, k, up);
  }
  NewBlock(s, TypeOfLetter(type), seq, s.LastX, s.LastY);

  s.PickedBlock = seq;
  closed = true;
  s.NotifyFormPaint();
  if (show_block_dialog) show_block_dialog();
  s.PickedBlock = 0;
  s.NotifyFormPaint();
}

void TInsertFm::CancelBtnClick(Sim& s) { CloseAndRedraw(s, closed); }

TCopyFm::TCopyFm()
    : Caption("Copy Block"),
      InstructLb{"Will copy from ID to ID, and overwrite in data ."},
      FromLb{"Copy from ID Number"},
      ToLb{"Write into ID number"},
      LocationLb{"Written Block will appear at location of last click on display"},
      LinksLb{"Links will be the same (duplicated) as original"},
      ApplyBtn{"Apply"},
      CancelBtn{"Cancel"} {}

void TCopyFm::Open(const Sim& s) {
  FromID.text = "31";
  ToID.text = std::to_string(int64_t{s.HighestBlock} + 1);
  closed = false;
}

void TCopyFm::ApplyBtnClick(Sim& s) {
  const int32_t from = EditToInt(FromID.text);
  if (from > s.HighestBlock || from < 0) {
    ShowNumberMessage(s, "Can not copy from non-existant block ", from);
    return;
  }
  const int64_t to = CopyTarget(s, EditToInt(ToID.text));
  if (to == 0) return;
  CopyBlock(s, from, to, s.LastX, s.LastY);
  s.HighestBlock = static_cast<int32_t>(std::max<int64_t>(s.HighestBlock, to));
  ComputeAllBlocks(s);
  closed = true;
  s.NotifyFormPaint();
}

void TCopyFm::CancelBtnClick(Sim& s) { CloseAndRedraw(s, closed); }

}  // namespace trevolan

#include "editing/selection_edit.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

#include "blocks/compute.h"
#include "editing/block_edit.h"
#include "editing/block_form.h"
#include "model/numbers.h"

namespace trevolan {

namespace {

constexpr int kSquare = 12;  // a block's picking square spans XX..XX + 12

bool Selectable(const TBlock& b) { return b.XX > 0 && b.Type != BlockType::Empty; }

int64_t Between(int64_t v, int64_t lo, int64_t hi) { return std::min(std::max(v, lo), hi); }

std::string Count(size_t n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); }

// The row of a connection's stub at the left of the label (as the diagram draws it).
int64_t StubRow(Connection c) { return 3 * static_cast<int64_t>(c); }

}  // namespace

BlockIds BlocksInRect(const Sim& s, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  const int64_t left = std::min(x0, x1), right = std::max(x0, x1);
  const int64_t top = std::min(y0, y1), bottom = std::max(y0, y1);
  BlockIds ids;
  for (int32_t id = 1; id <= std::min<int32_t>(s.HighestBlock, kMaxBlockID); ++id) {
    const TBlock& b = s.block(id);
    const int64_t mx = int64_t{b.XX} + kSquare / 2, my = int64_t{b.YY} + kSquare / 2;
    if (Selectable(b) && mx >= left && mx <= right && my >= top && my <= bottom) ids.push_back(id);
  }
  return ids;
}

void ToggleInSelection(BlockIds& ids, int32_t id) {
  const auto at = std::lower_bound(ids.begin(), ids.end(), id);
  if (at != ids.end() && *at == id) {
    ids.erase(at);
  } else {
    ids.insert(at, id);
  }
}

void MoveBlocks(Sim& s, const BlockIds& ids, int64_t dx, int64_t dy) {
  if (ids.empty()) return;
  int64_t min_x = std::numeric_limits<int32_t>::max(), min_y = std::numeric_limits<int32_t>::max();
  int64_t max_x = std::numeric_limits<int32_t>::min(), max_y = std::numeric_limits<int32_t>::min();
  for (const int32_t id : ids) {
    const TBlock& b = s.block(id);
    min_x = std::min<int64_t>(min_x, b.XX);
    min_y = std::min<int64_t>(min_y, b.YY);
    max_x = std::max<int64_t>(max_x, b.XX);
    max_y = std::max<int64_t>(max_y, b.YY);
  }
  // Kept on the diagram, and within 32 bits.
  const int64_t top = std::numeric_limits<int32_t>::max();
  dx = Between(dx, std::min<int64_t>(1 - min_x, 0), top - max_x);
  dy = Between(dy, std::min<int64_t>(-min_y, 0), top - max_y);
  for (const int32_t id : ids) {
    TBlock& b = s.block(id);
    b.XX = static_cast<int32_t>(b.XX + dx);
    b.YY = static_cast<int32_t>(b.YY + dy);
  }
}

BlockIds DeleteBlocks(Sim& s, const BlockIds& ids) {
  BlockIds emptied;
  bool refused = false;
  for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
    if (*it <= kReservedIDs) {
      if (refused) continue;  // one message says it
      refused = true;
    }
    if (DeleteBlock(s, *it)) emptied.insert(emptied.begin(), *it);
  }
  s.NotifyFormPaint();
  return emptied;
}

BlockClip CopyBlocks(const Sim& s, const BlockIds& ids) {
  BlockClip clip;
  for (const int32_t id : ids) clip.blocks.push_back({id, s.block(id)});
  return clip;
}

BlockIds PasteBlocks(Sim& s, const BlockClip& clip, int32_t x, int32_t y) {
  if (clip.blocks.empty()) return {};
  if (int64_t{s.HighestBlock} + static_cast<int64_t>(clip.blocks.size()) > kMaxBlockID) {
    ShowNumberMessage(s, "No room for more Blocks at ", s.HighestBlock);
    return {};
  }
  int64_t left = std::numeric_limits<int64_t>::max(), top = std::numeric_limits<int64_t>::max();
  for (const BlockClip::Kept& k : clip.blocks) {
    left = std::min<int64_t>(left, k.block.XX);
    top = std::min<int64_t>(top, k.block.YY);
  }
  // Every place is worked out before the first block is written.
  std::vector<std::pair<int32_t, int32_t>> places;
  for (const BlockClip::Kept& k : clip.blocks) {
    places.emplace_back(ToInt32(static_cast<double>(x + (k.block.XX - left))),
                        ToInt32(static_cast<double>(y + (k.block.YY - top))));
  }
  IdMap renumbered;
  BlockIds written;
  for (size_t i = 0; i < clip.blocks.size(); ++i) {
    const int64_t to = CopyTarget(s, int64_t{s.HighestBlock} + 1);
    if (to == 0) break;
    CopyBlock(s, clip.blocks[i].block, to, places[i].first, places[i].second);
    s.HighestBlock = std::max(s.HighestBlock, static_cast<int32_t>(to));
    renumbered[clip.blocks[i].id] = to;
    written.push_back(static_cast<int32_t>(to));
  }
  for (const int32_t id : written) RenumberLinks(s, id, renumbered);
  ComputeAllBlocks(s);
  s.NotifyFormPaint();
  return written;
}

bool IsWireable(BlockType type, Connection c) {
  if (type == BlockType::Note || type == BlockType::Empty) return false;
  if (type == BlockType::Belt && c == Connection::D) return false;
  return IsLinkConnection(type, c) && ShowsConnectionEdit(type, static_cast<int>(c));
}

std::optional<Connection> NextFreeConnection(const Sim& s, int32_t id) {
  const TBlock& b = s.block(id);
  for (const Connection c : kConnections) {
    if (IsWireable(b.Type, c) && b.*ConnectionMember(c) == 0) return c;
  }
  return std::nullopt;
}

WireTarget WireTargetAt(const Sim& s, int32_t x, int32_t y, int32_t picked) {
  for (int32_t id = 1; id <= std::min<int32_t>(s.HighestBlock, kMaxBlockID); ++id) {
    const TBlock& b = s.block(id);
    if (b.XX <= 0 || x < int64_t{b.XX} - 8 || x >= b.XX) continue;
    for (const Connection c : kConnections) {
      const int64_t source = std::llabs(int64_t{b.*ConnectionMember(c)});
      if (!IsWireable(b.Type, c) || source == 0 || source > kMaxBlockID || s.block(source).XX <= 0) continue;
      if (std::llabs(y - (int64_t{b.YY} + StubRow(c))) <= 1) return {id, c};
    }
  }
  if (picked <= 0) return {};
  return {picked, NextFreeConnection(s, picked)};
}

bool WireBlock(Sim& s, int32_t from, int32_t to, Connection c) {
  static constexpr const char* kFields[] = {"An", "Bn", "Cn", "Dn", "Pn"};
  // The grid as the dialog would show it on opening, taken back as it stands.
  const TBlock opened = s.block(to);
  const GridReader grid = [&s, &opened](int col, int row) {
    const GridCell cell = GridCellOf(s, opened, col, row);
    if (const auto* number = std::get_if<double>(&cell)) return *number;
    const std::string& text = std::get<std::string>(cell);
    return text.empty() ? 0.0 : EditToFloat(text);
  };
  const bool done = EditBlock(s, to, {{FindBlockField(kFields[static_cast<int>(c)]), int64_t{from}}}, grid, Repairs::kRepair);
  s.NotifyFormPaint();
  return done;
}

char ConnectionLetter(Connection c) { return "ABCDP"[static_cast<int>(c)]; }

std::string WireName(int32_t from, int32_t to, Connection c) {
  return "Wire block " + std::to_string(from) + " to " + ConnectionLetter(c) + " of block " + std::to_string(to);
}
std::string MoveBlocksName(const BlockIds& ids) { return "Move " + Count(ids.size(), "block"); }
std::string DeleteBlocksName(const BlockIds& ids) { return "Delete " + Count(ids.size(), "block"); }
std::string PasteName(const BlockIds& ids) { return "Paste " + Count(ids.size(), "block"); }

}  // namespace trevolan

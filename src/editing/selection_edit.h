#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "editing/insert_copy.h"
#include "model/sim.h"

// Edits of many blocks at once and links drawn with the mouse. Each goes through the
// rules of the dialog it stands for (the block dialog's Apply and Delete, the Copy
// dialog), so that a gesture can do nothing that a dialog could not, with the same
// messages. The window maps its gestures onto these; nothing here knows a window.
namespace trevolan {

// Block IDs, ascending, each once.
using BlockIds = std::vector<int32_t>;

// The blocks a rubber band between two corners takes: every placed block (XX > 0) of
// IDs 1..HighestBlock but the empty slots, whose picking square has its middle inside.
BlockIds BlocksInRect(const Sim& s, int64_t x0, int64_t y0, int64_t x1, int64_t y1);

// `id` added when it is not among `ids`, else taken out.
void ToggleInSelection(BlockIds& ids, int32_t id);

// Every block moved by (dx, dy); the move is cut short where it would take one of
// them off the diagram (XX at or below 0, where a block is no longer drawn, or a
// negative YY, which the block dialog questions).
void MoveBlocks(Sim& s, const BlockIds& ids, int64_t dx, int64_t dy);

// The block dialog's Delete on each block, from the highest ID down, so that
// HighestBlock comes down past a run of deleted top blocks as it would one by one. A
// block of the first 100 stays, with the dialog's message once for all of them.
// The IDs emptied.
BlockIds DeleteBlocks(Sim& s, const BlockIds& ids);

// Blocks kept aside by Copy, as they stood then, ascending by ID.
struct BlockClip {
  struct Kept {
    int32_t id;
    TBlock block;
  };
  std::vector<Kept> blocks;
};
BlockClip CopyBlocks(const Sim& s, const BlockIds& ids);

// The kept blocks written into the next free IDs as the Copy dialog writes a block,
// in the order of their old IDs, keeping their places relative to one another with
// the group's top left at (x, y) (the last click, where the Copy dialog puts its
// copy). A link between two of them goes to the new IDs; a link to any other block
// stays. Refused with "No room for more Blocks at " when the table cannot take them
// all; then one compute pass. The new IDs, empty when refused.
BlockIds PasteBlocks(Sim& s, const BlockClip& clip, int32_t x, int32_t y);

// Whether a drag can wire connection c of a block of this type: one that names a
// block and that the block dialog shows, but not a Belt's D (its number of segments)
// nor any of a Note's (it reads none).
bool IsWireable(BlockType type, Connection c);
// The first wireable connection of block id that is 0, if any.
std::optional<Connection> NextFreeConnection(const Sim& s, int32_t id);

// Where a wire dragged from a block and dropped at a point goes.
struct WireTarget {
  int32_t block = 0;                     // 0: the point is on no block
  std::optional<Connection> connection;  // none: the block has no free connection
};
// The connection whose line ends at the point (the short stub at the left of a
// block's label, one row for each connection that draws a line from a placed block),
// else the next free connection of `picked`, the block whose picking square holds the
// point (as the diagram finds it; 0 or -1 for none).
WireTarget WireTargetAt(const Sim& s, int32_t x, int32_t y, int32_t picked);

// Connection c of block `to` set to `from` as typing the ID into the block dialog and
// pressing Apply does: the same checks and messages, the grid taken back as it
// stands, one compute pass. False when the block dialog refuses the block.
bool WireBlock(Sim& s, int32_t from, int32_t to, Connection c);

// The letter of a connection as the block dialog's captions name it.
char ConnectionLetter(Connection c);

// The names of these edits, as the Edit menu shows them after "Undo " and "Redo ".
std::string WireName(int32_t from, int32_t to, Connection c);
std::string MoveBlocksName(const BlockIds& ids);
std::string DeleteBlocksName(const BlockIds& ids);
std::string PasteName(const BlockIds& ids);

}  // namespace trevolan

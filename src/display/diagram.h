#pragma once
#include <cstdint>
#include <string>

#include "display/canvas.h"
#include "model/sim.h"

// The diagram: every placed block as a coloured label with a number line under it,
// the lines from the blocks on its connections, outline shapes, Notes, Visualizer
// pictures and an optional grid. Drawing is immediate: nothing is kept between paints.
// A full redraw clears and draws everything with links; a run redraws single blocks or
// all blocks over the old picture without links, so the labels animate while the lines
// of the last full redraw stay.
namespace trevolan {

// Clear, grid, all blocks with their links. LinksFlag is set while it draws.
void RedrawDiagram(Sim& s, Canvas& c);
// Every placed block 1..HighestBlock in two passes: all but Integrators and
// Visualizers first, then Integrators, Notes and Visualizers over them.
void DrawAllBlocks(Sim& s, Canvas& c);
// One block by the rule of its type; blocks with XX <= 0 are not drawn.
void DrawBlock(Sim& s, Canvas& c, int id);
// The label cell at (XX, YY) in the style Displ, grey when the block is off.
void DrawBlockLabel(Sim& s, Canvas& c, int id, Rgb fill, Rgb text);
// The number line under the label, by NumberMode.
void DrawBlockNumber(Sim& s, Canvas& c, int id);
// The number line's text for NumberMode 2 (scaled integer) and 3 (4 decimals).
std::string FormatBlockNumber(const Sim& s, double x);
// The lines from the blocks on connections A, B, C, D and P, each with a thick stub.
void DrawInputLinks(Sim& s, Canvas& c, int id);
// One thin line from the middle of `from`'s label to the left of `to`'s.
void DrawLink(Sim& s, Canvas& c, int from, int to, Rgb colour);
// A Note: its comment as free text in the font style of its State.
void DrawNote(Sim& s, Canvas& c, int id);
// The dotted grid with its coordinates and the marker of the last click.
void DrawGrid(Sim& s, Canvas& c);
// The lowest ID 0..HighestBlock whose 13 x 13 square at (XX, YY) holds the point,
// placed or not; -1 when none.
int32_t BlockAtPoint(const Sim& s, int32_t x, int32_t y);

// The label's text in style `displ`: "*", the type letter, letter and ID, or the name.
std::string LabelText(const TBlock& b, int32_t displ, const std::string& name);

}  // namespace trevolan

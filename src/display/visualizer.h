#pragma once
#include "display/canvas.h"
#include "model/sim.h"

namespace trevolan {

// The Visualizer block's picture at its position, by its State: 0 number, 1 vertical
// bar, 2 horizontal bar, 3 triangle, 4 quadrilateral, 5 XY plot of a generator's or
// memory's table, 6 belt or memory strip, 7 ellipse. Writes the block's Value: the
// input as a percentage of its full scale (or the input itself without one). A mode 5
// or 6 Visualizer whose source is of the wrong type becomes a Number Visualizer named
// "Not_G_or_M" or "Not_B_or_M".
void DrawVisualizer(Sim& s, Canvas& c, int id);

}  // namespace trevolan

#pragma once
#include <cstdint>

#include "model/sim.h"

// Zoom of the diagram. The model's coordinates never change: the diagram is drawn at
// its own pixels and shown scaled, and every point of the mouse goes back into model
// coordinates before a hit test, a click or a drag sees it.
namespace trevolan {

inline constexpr double kMinZoom = 0.25, kMaxZoom = 4.0;

// The next larger and smaller of the zoom steps 25 %, 33 %, 50 %, 67 %, 75 %, 100 %,
// 125 %, 150 %, 200 %, 300 %, 400 %; the end steps stay.
double ZoomIn(double zoom);
double ZoomOut(double zoom);

// A point of the shown picture at `zoom` in model pixels: the model pixel it lies in.
int32_t ModelCoordinate(double shown, double zoom);

// Where a mouse button went up, in model pixels. Below 100 % one screen pixel spans
// several model pixels, so a release within one screen pixel of the press (a click at
// any zoom) is taken at the press's own model point.
int32_t ReleaseCoordinate(double pressed, double released, int32_t pressed_model, double zoom);

// The extent from (0, 0) of what the placed blocks draw, in model pixels (at least 1).
struct Extent {
  int32_t width, height;
};
Extent BlocksExtent(const Sim& s);
// About the size of what a block draws from its corner (XX, YY): its label of at most
// 11 characters, or a Note's comment, over two lines.
Extent LabelSize(const TBlock& b);

// The zoom that shows all of `extent` in a view of that size, within the zoom range.
double FitZoom(Extent extent, int32_t view_width, int32_t view_height);

}  // namespace trevolan

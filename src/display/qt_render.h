#pragma once
#include <functional>
#include <string>

#include <QImage>

#include "display/time_plot.h"
#include "model/sim.h"

// Images of what the window shows, for the batch runner's export and for tests.
namespace trevolan {

// The diagram as a full paint of the window draws it now (which, like any paint,
// updates Visualizer Values and ends with LinksFlag cleared), cut to the part in use:
// from the top-left corner to 20 pixels past the last drawn pixel, at least 200 x 120
// and at most the 1400 x 1000 of the drawing area.
QImage RenderDiagramImage(Sim& s);
// The same part of the diagram drawn `scale` times as large from the same paint (text
// and lines drawn at that resolution, not enlarged pixels), and marked as a picture of
// scale x 96 dots per inch, so that a viewer that reads the mark shows it at the
// window's size with the detail of a screen of that pixel ratio (the user guide).
QImage RenderDiagramImage(Sim& s, double scale);

// The plot panel as it would show now if it were visible: prepared with `form` (whose
// PanelWidth and PanelHeight give the image's size), the time plot inside its box and
// the axis and legend labels.
QImage RenderPlotImage(Sim& s, PlotPanelForm& form);

// The formats of pictures written to files, chosen by the file's extension: ".svg"
// and ".pdf" (in any case) are vector drawings of the same paint, anything else PNG.
enum class ImageFormat { Png, Svg, Pdf };
ImageFormat ImageFormatOf(const std::string& path);

// The diagram as RenderDiagramImage paints it, or the plot panel as RenderPlotImage
// does, written to `path` in the format of its extension; the file is replaced only
// when the whole picture was written, IoError otherwise.
// A PNG diagram is drawn at `scale` (vector drawings are the same at any scale).
void WriteDiagramFile(Sim& s, const std::string& path, double scale = 1);
void WritePlotFile(Sim& s, PlotPanelForm& form, const std::string& path);

// A picture of width x height pixels painted by `paint` on the Qt canvas, as the plot
// panel's is, written to `path` in the format of its extension (a study's --plot).
void WriteCanvasFile(const std::string& path, int width, int height, const std::function<void(Canvas&)>& paint);

// The image as a PNG file, replacing the file only when the whole image was written;
// IoError otherwise.
void WritePng(const QImage& image, const std::string& path);

}  // namespace trevolan

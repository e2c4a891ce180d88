#pragma once
#include <string>

#include "display/canvas.h"
#include "model/sim.h"

// The diagram as SVG text without Qt, for faces that have no Qt (the Python package's
// picture of a model in a notebook). Texts are measured by an estimate of the 8-point
// sans-serif font (6 pixels a character) and drawn in the viewer's sans-serif, so the
// picture is the diagram's, not the window's pixel for pixel: the window and the batch
// runner's render-diagram draw through Qt.
namespace trevolan {

class SvgCanvas : public Canvas {
 public:
  void Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  void FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  void Ellipse(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  void Polygon(std::span<const Point> points) override;
  void TextOut(int32_t x, int32_t y, std::string_view text) override;
  int32_t TextWidth(std::string_view text) const override;

  // The document: what was drawn, on a white page up to 20 pixels past the last of it.
  std::string Document() const;

 protected:
  void Line(Point from, Point to) override;

 private:
  void Extend(int32_t x, int32_t y);
  std::string Stroke() const;

  std::string body_;
  int32_t right_ = 0, bottom_ = 0;
};

// The diagram of the model as it is now, as an SVG document.
std::string DiagramSvg(Sim& s);

}  // namespace trevolan

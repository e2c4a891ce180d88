#pragma once
#include <array>

#include <QFont>
#include <QFontMetrics>

#include "display/canvas.h"

class QPainter;

namespace trevolan {

// Makes sure the process has a QGuiApplication, which fonts and image painting need.
// Without one already made (the window makes its own), it makes one on the offscreen
// platform unless QT_QPA_PLATFORM names another, so that images are painted the same
// way with or without a display.
void EnsureGuiApplication();

// The one font of the diagram and the plot panel in a style: DejaVu Sans, 11 pixels
// to the em (8 points at 96 dots per inch), loaded from its file so that every
// platform plugin finds it. Its glyphs are crisp bitmaps at their own size; `smooth`
// gives them antialiased edges, for a painter that scales them.
QFont DiagramFont(FontStyle style, bool smooth = false);

// A canvas that paints with a QPainter on a widget or an image. Lines, shapes and text
// are drawn without antialiasing, shapes edge-exclusive as the canvas contract says;
// text stands on its opaque cell of one line pitch. A `smooth` canvas is for a painter
// that scales the picture (a zoomed diagram): its text is drawn at the scale with
// antialiased edges, so that it stays sharp, while lines and fills stay aliased and
// so cover whole pixels, as a label redrawn over itself during a run needs.
class QtCanvas final : public Canvas {
 public:
  explicit QtCanvas(QPainter& painter, bool smooth = false);

  void Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  void FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  void Ellipse(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  void Polygon(std::span<const Point> points) override;
  void TextOut(int32_t x, int32_t y, std::string_view text) override;
  int32_t TextWidth(std::string_view text) const override;

 protected:
  void Line(Point from, Point to) override;

 private:
  void ApplyPen();
  void ApplyBrush();
  const QFontMetrics& Metrics() const { return metrics_[static_cast<size_t>(font.style)]; }

  QPainter& painter_;
  std::array<QFont, 4> fonts_;
  std::array<QFontMetrics, 4> metrics_;
};

}  // namespace trevolan

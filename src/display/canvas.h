#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "display/colours.h"

namespace trevolan {

enum class PenStyle : uint8_t { Solid, Dotted, Dashed };
enum class FontStyle : uint8_t { Regular, Bold, Italic, BoldItalic };

struct Point {
  int32_t x = 0, y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Pen {
  Rgb colour{};
  int32_t width = 1;
  PenStyle style = PenStyle::Solid;
  friend bool operator==(const Pen&, const Pen&) = default;
};

struct Font {
  Rgb colour{};
  FontStyle style = FontStyle::Regular;
  friend bool operator==(const Font&, const Font&) = default;
};

// A surface the diagram and the time plot are drawn on. The pen, the brush colour and
// the font are plain state that carries over from one drawing call to the next, as the
// drawing procedures expect; each primitive uses the state as it stands when called.
//
// Rectangles are given by two opposite corners in any order; the right and bottom
// edges are exclusive, so (0, 0)-(10, 10) covers the pixels 0..9 both ways.
class Canvas {
 public:
  // Text is one 8-point sans-serif font, 11 pixels high, lines 13 pixels apart.
  static constexpr int32_t kLinePitch = 13;

  virtual ~Canvas() = default;

  Pen pen{};
  Rgb brush{255, 255, 255};
  Font font{};

  // The pen position: MoveTo sets it, LineTo draws from it and leaves it at the end.
  void MoveTo(int32_t x, int32_t y) {
    pos_ = {x, y};
    OnMoveTo(pos_);
  }
  void LineTo(int32_t x, int32_t y) {
    const Point from = pos_;
    pos_ = {x, y};
    Line(from, pos_);
  }
  Point PenPos() const { return pos_; }

  // Outlined with the pen and filled with the brush.
  virtual void Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) = 0;
  // Filled with the brush, no outline.
  virtual void FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) = 0;
  // The ellipse inscribed in the rectangle, outlined and filled.
  virtual void Ellipse(int32_t x1, int32_t y1, int32_t x2, int32_t y2) = 0;
  // The closed polygon through the points, outlined and filled.
  virtual void Polygon(std::span<const Point> points) = 0;
  // The text with its top-left corner at (x, y), in the font, on an opaque cell of the
  // brush colour.
  virtual void TextOut(int32_t x, int32_t y, std::string_view text) = 0;
  // The width in pixels of the text in the current font.
  virtual int32_t TextWidth(std::string_view text) const = 0;
  // False for a canvas that shows nothing: drawing then skips composing the texts that
  // cannot fail, which is most of its work.
  virtual bool Paints() const { return true; }

 protected:
  // The line from `from` to `to`, without its end point.
  virtual void Line(Point from, Point to) = 0;
  virtual void OnMoveTo(Point /*to*/) {}

 private:
  Point pos_{};
};

// A canvas that paints nothing. The batch runner draws on it at the moments the window
// would paint, so that what drawing computes (Visualizer Values, repairs, errors) is the
// same with and without a window.
class NullCanvas final : public Canvas {
 public:
  void Rectangle(int32_t, int32_t, int32_t, int32_t) override {}
  void FillRect(int32_t, int32_t, int32_t, int32_t) override {}
  void Ellipse(int32_t, int32_t, int32_t, int32_t) override {}
  void Polygon(std::span<const Point>) override {}
  void TextOut(int32_t, int32_t, std::string_view) override {}
  // A nominal advance of 6 pixels a character, as no font is at hand.
  int32_t TextWidth(std::string_view text) const override { return static_cast<int32_t>(6 * text.size()); }
  bool Paints() const override { return false; }

 protected:
  void Line(Point, Point) override {}
};

}  // namespace trevolan

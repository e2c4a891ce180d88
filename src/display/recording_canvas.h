#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "display/canvas.h"

namespace trevolan {

enum class DrawKind : uint8_t { MoveTo, Line, Rectangle, FillRect, Ellipse, Polygon, Text };

// One drawing call with the canvas state it was made in. `points` holds the pen
// position (MoveTo), the two ends (Line), the two corners as given (Rectangle,
// FillRect, Ellipse) or the corners (Polygon).
struct DrawOp {
  DrawKind kind{};
  std::vector<Point> points;
  std::string text;
  Pen pen{};
  Rgb brush{};
  Font font{};
};

// A canvas that remembers every call, so tests can check what was drawn and in what
// order.
class RecordingCanvas final : public Canvas {
 public:
  void Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  void FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  void Ellipse(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  void Polygon(std::span<const Point> points) override;
  void TextOut(int32_t x, int32_t y, std::string_view text) override;
  // A fixed advance of 6 pixels a character.
  int32_t TextWidth(std::string_view text) const override { return static_cast<int32_t>(6 * text.size()); }

  std::vector<DrawOp> ops;

  // The calls of one kind, in order.
  std::vector<DrawOp> Of(DrawKind kind) const;
  // The texts drawn, in order.
  std::vector<std::string> Texts() const;
  void Clear() { ops.clear(); }

 protected:
  void Line(Point from, Point to) override;
  void OnMoveTo(Point to) override;

 private:
  void Record(DrawKind kind, std::vector<Point> points, std::string_view text = {});
};

}  // namespace trevolan

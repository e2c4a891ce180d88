#include "display/recording_canvas.h"

namespace trevolan {

void RecordingCanvas::Record(DrawKind kind, std::vector<Point> points, std::string_view text) {
  ops.push_back(DrawOp{kind, std::move(points), std::string(text), pen, brush, font});
}

void RecordingCanvas::Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  Record(DrawKind::Rectangle, {{x1, y1}, {x2, y2}});
}

void RecordingCanvas::FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  Record(DrawKind::FillRect, {{x1, y1}, {x2, y2}});
}

void RecordingCanvas::Ellipse(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  Record(DrawKind::Ellipse, {{x1, y1}, {x2, y2}});
}

void RecordingCanvas::Polygon(std::span<const Point> points) {
  Record(DrawKind::Polygon, std::vector<Point>(points.begin(), points.end()));
}

void RecordingCanvas::TextOut(int32_t x, int32_t y, std::string_view text) { Record(DrawKind::Text, {{x, y}}, text); }

void RecordingCanvas::Line(Point from, Point to) { Record(DrawKind::Line, {from, to}); }

void RecordingCanvas::OnMoveTo(Point to) { Record(DrawKind::MoveTo, {to}); }

std::vector<DrawOp> RecordingCanvas::Of(DrawKind kind) const {
  std::vector<DrawOp> out;
  for (const DrawOp& op : ops) {
    if (op.kind == kind) out.push_back(op);
  }
  return out;
}

std::vector<std::string> RecordingCanvas::Texts() const {
  std::vector<std::string> out;
  for (const DrawOp& op : ops) {
    if (op.kind == DrawKind::Text) out.push_back(op.text);
  }
  return out;
}

}  // namespace trevolan

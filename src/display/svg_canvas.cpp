#include "display/svg_canvas.h"

#include <algorithm>
#include <cstdio>

#include "display/diagram.h"

namespace trevolan {

namespace {

constexpr int32_t kMaxWidth = 1400, kMaxHeight = 1000, kMargin = 20;
constexpr int32_t kCharWidth = 6;

std::string Colour(Rgb c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
  return buf;
}

// The text as SVG character data: markup characters escaped, control characters left out.
std::string Escaped(std::string_view text) {
  std::string out;
  for (const char ch : text) {
    switch (ch) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default:
        if (static_cast<unsigned char>(ch) >= 0x20) out += ch;
    }
  }
  return out;
}

std::string Number(int32_t v) { return std::to_string(v); }

}  // namespace

void SvgCanvas::Extend(int32_t x, int32_t y) {
  right_ = std::max(right_, std::clamp(x, 0, kMaxWidth));
  bottom_ = std::max(bottom_, std::clamp(y, 0, kMaxHeight));
}

std::string SvgCanvas::Stroke() const {
  std::string s = " stroke=\"" + Colour(pen.colour) + "\" stroke-width=\"" + Number(std::max(1, pen.width)) + "\"";
  if (pen.style == PenStyle::Dotted) s += " stroke-dasharray=\"1,2\"";
  if (pen.style == PenStyle::Dashed) s += " stroke-dasharray=\"4,2\"";
  return s;
}

void SvgCanvas::Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const int32_t l = std::min(x1, x2), t = std::min(y1, y2);
  const int32_t w = std::abs(x2 - x1), h = std::abs(y2 - y1);
  if (w <= 0 || h <= 0) return;
  body_ += "<rect x=\"" + Number(l) + "\" y=\"" + Number(t) + "\" width=\"" + Number(w - 1) + "\" height=\"" +
           Number(h - 1) + "\" fill=\"" + Colour(brush) + "\"" + Stroke() + "/>\n";
  if (!(brush == Rgb{255, 255, 255} && pen.colour == Rgb{255, 255, 255})) Extend(l + w, t + h);
}

void SvgCanvas::FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const int32_t l = std::min(x1, x2), t = std::min(y1, y2);
  const int32_t w = std::abs(x2 - x1), h = std::abs(y2 - y1);
  if (w <= 0 || h <= 0) return;
  body_ += "<rect x=\"" + Number(l) + "\" y=\"" + Number(t) + "\" width=\"" + Number(w) + "\" height=\"" +
           Number(h) + "\" fill=\"" + Colour(brush) + "\"/>\n";
  // White on the white page shows nothing: it does not make the page larger (a clear of
  // the whole paint box).
  if (!(brush == Rgb{255, 255, 255})) Extend(l + w, t + h);
}

void SvgCanvas::Ellipse(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const double cx = (x1 + x2) / 2.0, cy = (y1 + y2) / 2.0;
  const double rx = std::abs(x2 - x1) / 2.0, ry = std::abs(y2 - y1) / 2.0;
  char buf[96];
  std::snprintf(buf, sizeof buf, "<ellipse cx=\"%g\" cy=\"%g\" rx=\"%g\" ry=\"%g\"", cx, cy, rx, ry);
  body_ += std::string(buf) + " fill=\"" + Colour(brush) + "\"" + Stroke() + "/>\n";
  Extend(std::max(x1, x2), std::max(y1, y2));
}

void SvgCanvas::Polygon(std::span<const Point> points) {
  if (points.empty()) return;
  std::string list;
  for (const Point& p : points) {
    list += (list.empty() ? "" : " ") + Number(p.x) + "," + Number(p.y);
    Extend(p.x, p.y);
  }
  body_ += "<polygon points=\"" + list + "\" fill=\"" + Colour(brush) + "\"" + Stroke() + "/>\n";
}

void SvgCanvas::TextOut(int32_t x, int32_t y, std::string_view text) {
  if (text.empty()) return;
  const int32_t w = TextWidth(text);
  FillRect(x, y, x + w, y + kLinePitch);  // the opaque cell of the brush colour
  Extend(x + w, y + kLinePitch);
  const bool bold = font.style == FontStyle::Bold || font.style == FontStyle::BoldItalic;
  const bool italic = font.style == FontStyle::Italic || font.style == FontStyle::BoldItalic;
  body_ += "<text x=\"" + Number(x) + "\" y=\"" + Number(y + 10) + "\" fill=\"" + Colour(font.colour) + "\"" +
           (bold ? " font-weight=\"bold\"" : "") + (italic ? " font-style=\"italic\"" : "") + ">" + Escaped(text) +
           "</text>\n";
}

int32_t SvgCanvas::TextWidth(std::string_view text) const {
  int32_t characters = 0;
  for (const char ch : text) characters += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;  // UTF-8 starts
  return characters * kCharWidth;
}

void SvgCanvas::Line(Point from, Point to) {
  body_ += "<line x1=\"" + Number(from.x) + "\" y1=\"" + Number(from.y) + "\" x2=\"" + Number(to.x) + "\" y2=\"" +
           Number(to.y) + "\"" + Stroke() + "/>\n";
  Extend(std::max(from.x, to.x), std::max(from.y, to.y));
}

std::string SvgCanvas::Document() const {
  const int32_t w = std::clamp(right_ + kMargin, 200, kMaxWidth), h = std::clamp(bottom_ + kMargin, 120, kMaxHeight);
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(w) + "\" height=\"" + Number(h) +
         "\" viewBox=\"0 0 " + Number(w) + " " + Number(h) +
         "\" font-family=\"DejaVu Sans, sans-serif\" font-size=\"11\" shape-rendering=\"crispEdges\">\n"
         "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n" +
         body_ + "</svg>\n";
}

std::string DiagramSvg(Sim& s) {
  SvgCanvas canvas;
  RedrawDiagram(s, canvas);
  return canvas.Document();
}

}  // namespace trevolan

#include "display/visualizer.h"

#include <array>
#include <cmath>
#include <string>
#include <utility>

#include "display/diagram.h"
#include "display/pixels.h"
#include "model/numbers.h"

namespace trevolan {

namespace {

using namespace colour;

constexpr double kGuard = 1e-19;  // keeps a full scale of 0 from dividing by zero
constexpr std::string_view kBlankNumber = "          ";

// What every mode starts from: the input v, the full scale fs (0 for none) and the
// percentage p that becomes the block's Value.
struct Reading {
  double v, fs;
  int32_t p;
};

void DrawLabel(Sim& s, Canvas& c, int id) { DrawBlockLabel(s, c, id, kSilver, kBlack); }

// A source of the wrong type turns the Visualizer into a Number Visualizer that says so.
void MarkWrongSource(TBlock& b, const char* name) {
  b.Name = name;
  b.Displ = 3;
  b.State = 0;
}

// The least and greatest of stored[first..last], starting from stored[first].
std::pair<double, double> Extremes(const TBlock& src, int64_t first, int64_t last) {
  double lo = StoredAt(src, first), hi = lo;
  for (int64_t i = first + 1; i <= last; ++i) {
    const double y = StoredAt(src, i);
    if (y < lo) lo = y;
    if (y > hi) hi = y;
  }
  return {lo, hi};
}

// The range of a table's axis: from 0 over the full scale when there is one, else over
// the data, widened by 1 each way when the data are all equal. Returns {min, range}.
std::pair<double, double> AxisRange(const TBlock& src, int64_t first, int64_t last, double full_scale) {
  if (full_scale != 0) return {0.0, full_scale};
  auto [lo, hi] = Extremes(src, first, last);
  if (lo == hi) {
    hi += 1;
    lo -= 1;
  }
  return {lo, hi - lo};
}

void DrawNumberMode(Sim& s, Canvas& c, int id, const Reading& r) {
  DrawLabel(s, c, id);
  const TBlock& b = s.block(id);
  c.brush = kButtonFace;
  c.font.colour = kBlack;
  const int32_t y = Px(b.YY + int64_t{Canvas::kLinePitch});
  switch (s.NumberMode) {
    case 0:
    case 2:
    case 3:
      // Unscaled in every mode but 1, unlike the number lines of other blocks.
      c.TextOut(b.XX, y, kBlankNumber);
      if (c.Paints()) c.TextOut(b.XX, y, FormatFixed(r.v, 4, 10));
      break;
    case 1:
      c.TextOut(b.XX, y, kBlankNumber);
      if (c.Paints()) c.TextOut(b.XX, y, std::to_string(b.ID));
      break;
    default: break;
  }
}

// Modes 1 and 2: a frame W x H standing on (XX, YY), with a bar for v against the full
// scale, rising (or hanging) from the base line or reaching right (or left) from XX.
void DrawBarMode(Sim& s, Canvas& c, int id, const Reading& r, bool vertical) {
  DrawLabel(s, c, id);
  const TBlock& b = s.block(id);
  const int64_t x = b.XX, y = b.YY;
  const int64_t w = b.Bn != 0 ? b.Bn : 50, h = b.Cn != 0 ? b.Cn : 50;
  c.pen.colour = kBlack;
  c.pen.width = 1;
  c.brush = kWhite;
  c.Rectangle(Px(x), Px(y - h), Px(x + w), Px(y));
  Rgb bar = kGreen;
  if (r.p <= 0) bar = kColourScale[5];
  if (r.p >= 100) bar = kColourScale[10];
  const int64_t full = vertical ? h : w;
  int64_t len = Nearest(static_cast<double>(full) * r.v / (r.fs + kGuard));
  if (len > full) len = full;
  if (len < -full) len = -full;
  c.brush = bar;
  if (vertical) {
    c.FillRect(Px(x), Px(y - len), Px(x + w), Px(y));
  } else {
    c.FillRect(Px(x), Px(y - h), Px(x + len), Px(y));
  }
}

// Modes 3, 4 and 7: a triangle, quadrilateral or ellipse filled with the animation
// colour of the percentage. Without a full scale the colour takes the percentage of
// the span ColourMax - ColourMin.
void DrawShapeMode(Sim& s, Canvas& c, int id, const Reading& r) {
  const TBlock& b = s.block(id);
  const int32_t colour_percent = r.fs == 0 ? Nearest(Quotient(100 * r.v, s.ColourMax - s.ColourMin)) : r.p;
  DrawLabel(s, c, id);
  c.brush = ColourForPercent(colour_percent);
  c.pen.colour = kBlack;
  c.pen.width = 1;
  const int64_t x = b.XX, y = b.YY;
  const auto corner = [&](int32_t dx, double height) { return Point{Px(x + dx), Px(y - Nearest(height))}; };
  switch (b.State) {
    case 3: {
      const std::array<Point, 3> points{Point{b.XX, b.YY}, corner(b.Bn, b.bb), corner(b.Cn, b.cc)};
      c.Polygon(points);
      break;
    }
    case 4: {
      const std::array<Point, 4> points{Point{b.XX, b.YY}, corner(b.Bn, b.bb), corner(b.Cn, b.cc),
                                        corner(b.Dn, b.dd)};
      c.Polygon(points);
      break;
    }
    default: {
      // Standing on (XX, YY), Bn wide and Cn high.
      const int64_t half = Nearest(b.Bn / 2.0);
      c.Ellipse(Px(x - half), Px(y - b.Cn), Px(x + half), Px(y));
      break;
    }
  }
}

// Mode 5: the table of a function generator or a memory as an XY plot: y data in
// stored[1..n], x data in stored[n + 1..2n], in a frame W x H over a caption strip.
void DrawTableMode(Sim& s, Canvas& c, int id, const Reading& r) {
  TBlock& b = s.block(id);
  const TBlock& src = s.block(b.An);
  if (src.Type == BlockType::Empty) {
    DrawLabel(s, c, id);
    return;
  }
  if (src.Type != BlockType::Generator && src.Type != BlockType::Memory) {
    MarkWrongSource(b, "Not_G_or_M");
    return;
  }
  const int64_t n = StoredHigh(src) / 2;
  const int64_t w = std::llabs(int64_t{b.Bn}), h = std::llabs(int64_t{b.Cn});
  const double x_full_scale = s.V(b.Dn) + b.dd;
  const std::pair<double, double> y_axis = AxisRange(src, 1, n, r.fs);
  const std::pair<double, double> x_axis = AxisRange(src, n + 1, 2 * n, x_full_scale);
  const double ymin = y_axis.first, ys = static_cast<double>(h) / y_axis.second;
  const double xmin = x_axis.first, xs = static_cast<double>(w) / x_axis.second;

  DrawLabel(s, c, id);
  const int64_t x = b.XX, base = b.YY - int64_t{20};
  c.brush = kWhite;
  c.pen.colour = kBlack;
  c.pen.width = 1;
  c.Rectangle(b.XX, b.YY, Px(x + w), Px(base - h));
  c.MoveTo(b.XX, Px(base));
  c.LineTo(Px(x + w), Px(base));
  c.pen.style = PenStyle::Dashed;
  const int32_t xc = Px(x + w / 2), yc = Px(base - h / 2);
  c.MoveTo(xc, Px(base));
  c.LineTo(xc, Px(base - h));
  c.MoveTo(b.XX, yc);
  c.LineTo(Px(x + w), yc);

  const std::string caption = src.Type == BlockType::Generator ? "Function Gen. " + std::to_string(src.ID)
                                              : s.block(src.An).Name + " vs " + s.block(src.Bn).Name;
  c.TextOut(Px(x + 5), Px(b.YY - int64_t{17}), caption);

  c.pen.colour = kBlue;
  c.pen.style = PenStyle::Solid;
  const auto px = [&](int64_t i) { return Px(x + Nearest((StoredAt(src, n + i) - xmin + b.bb) * xs)); };
  const auto py = [&](int64_t i) { return Px(base - Nearest((StoredAt(src, i) - ymin + b.aa) * ys)); };
  c.MoveTo(px(1), py(1));
  for (int64_t i = 2; i <= n; ++i) c.LineTo(px(i), py(i));
}

// Mode 6: a strip from (XX, YY) to the end point (Bn, bb), with one green bar per item
// of a belt (or per entry of a memory's first half), each as tall against the strip as
// its contents against the span.
void DrawStripMode(Sim& s, Canvas& c, int id, const Reading& r) {
  TBlock& b = s.block(id);
  const TBlock& src = s.block(b.An);
  if (src.Type == BlockType::Empty) {
    DrawLabel(s, c, id);
    return;
  }
  if (src.Type != BlockType::Belt && src.Type != BlockType::Memory) {
    MarkWrongSource(b, "Not_B_or_M");
    return;
  }
  const bool belt = src.Type == BlockType::Belt;
  const int64_t n = belt ? StoredHigh(src) : StoredHigh(src) / 2;
  double ymin = 0, span = r.fs;
  if (span == 0) {
    span = 1;
    if (belt) {
      if (src.aa > 0) span = std::fabs(src.aa);  // the belt's capacity
    } else {
      const auto [lo, hi] = Extremes(src, 1, n);
      ymin = lo;
      if (hi != lo) span = hi - lo;
    }
  }

  DrawLabel(s, c, id);
  const int64_t x = b.XX, y = b.YY;
  const int64_t ex = b.Bn, ey = Nearest(b.bb);
  c.pen = Pen{kBlue, 2, PenStyle::Solid};
  c.MoveTo(b.XX, b.YY);
  c.LineTo(Px(ex), Px(ey));
  const int64_t thickness = b.Cn != 0 ? b.Cn : 10;
  const int64_t bar_width = b.cc != 0 ? Nearest(b.cc) : 5;
  const double scale = static_cast<double>(thickness) / span;
  c.pen.colour = kBlack;
  c.pen.width = 1;
  c.brush = kWhite;
  const std::array<Point, 4> strip{Point{b.XX, b.YY}, Point{Px(ex), Px(ey)}, Point{Px(ex), Px(ey - thickness)},
                                   Point{b.XX, Px(y - thickness)}};
  c.Polygon(strip);
  c.brush = kGreen;
  for (int64_t i = 1; i <= n; ++i) {
    const int64_t bx = x + Nearest(static_cast<double>(i) * static_cast<double>(ex - x) / static_cast<double>(n));
    const int64_t by = y + Nearest(static_cast<double>(i) * static_cast<double>(ey - y) / static_cast<double>(n));
    const int64_t height = Nearest(scale * (StoredAt(src, i) - ymin));
    c.FillRect(Px(bx), Px(by), Px(bx + bar_width), Px(by - height));
  }
}

}  // namespace

void DrawVisualizer(Sim& s, Canvas& c, int id) {
  TBlock& b = s.block(id);
  Reading r{};
  r.v = s.V(b.An) + b.aa;
  r.fs = std::fabs(s.V(b.Pn) + b.pp);
  r.p = Nearest(r.fs != 0 ? 100 * r.v / (r.fs + kGuard) : r.v);
  b.Value = r.p;
  if (s.LinksFlag) DrawLink(s, c, b.An, id, kSilver);
  switch (b.State) {
    case 0: DrawNumberMode(s, c, id, r); break;
    case 1: DrawBarMode(s, c, id, r, true); break;
    case 2: DrawBarMode(s, c, id, r, false); break;
    case 3:
    case 4:
    case 7: DrawShapeMode(s, c, id, r); break;
    case 5: DrawTableMode(s, c, id, r); break;
    case 6: DrawStripMode(s, c, id, r); break;
    default: break;  // another mode draws nothing but the link
  }
}

}  // namespace trevolan

#include "display/qt_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <QColor>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QPen>
#include <QPolygon>
#include <QString>

#if defined(__SANITIZE_ADDRESS__)
// Fontconfig, under Qt's font database, keeps its caches until the process ends and
// never frees them; the leak checker of sanitizer builds is told so, and nothing else.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif

namespace trevolan {

namespace {

// Coordinates are kept within this distance of the origin before they reach the
// painter: far beyond any canvas, and well inside what the rasterizer handles.
constexpr int32_t kCoordinateLimit = 1 << 14;

int32_t Clamped(int32_t v) { return std::clamp(v, -kCoordinateLimit, kCoordinateLimit); }
QPoint ClampedPoint(Point p) { return QPoint(Clamped(p.x), Clamped(p.y)); }

// The segment from a to b cut to the square within kCoordinateLimit (Liang-Barsky);
// false when nothing of it lies inside.
bool ClipSegment(Point a, Point b, QPoint& from, QPoint& to) {
  const double x0 = a.x, y0 = a.y, dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
  double t0 = 0, t1 = 1;
  const double limit = kCoordinateLimit;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0 + limit, limit - x0, y0 + limit, limit - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
  }
  from = QPoint(static_cast<int>(std::lround(x0 + t0 * dx)), static_cast<int>(std::lround(y0 + t0 * dy)));
  to = QPoint(static_cast<int>(std::lround(x0 + t1 * dx)), static_cast<int>(std::lround(y0 + t1 * dy)));
  return true;
}

// The rectangle between two corners in any order, right and bottom exclusive, as
// left, top, width and height; width or height 0 when it is empty.
QRect Normalized(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const int32_t l = Clamped(std::min(x1, x2)), r = Clamped(std::max(x1, x2));
  const int32_t t = Clamped(std::min(y1, y2)), b = Clamped(std::max(y1, y2));
  return QRect(l, t, r - l, b - t);
}

QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

Qt::PenStyle ToQtPenStyle(PenStyle style) {
  switch (style) {
    case PenStyle::Dotted: return Qt::DotLine;
    case PenStyle::Dashed: return Qt::DashLine;
    case PenStyle::Solid: break;
  }
  return Qt::SolidLine;
}

// The families of the font files, loaded once; empty when the files are missing.
QString DiagramFontFamily() {
  static const QString family = [] {
    const char* const dir = "/usr/share/fonts/truetype/dejavu/";
    QString name;
    for (const char* file : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf",
                             "DejaVuSans-BoldOblique.ttf"}) {
      const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(dir) + QString::fromLatin1(file));
      if (id >= 0 && name.isEmpty()) {
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (!families.isEmpty()) name = families.front();
      }
    }
    return name;
  }();
  return family;
}

// Qt's own messages go to standard error as usual, except its remark that a headless
// process has no runtime folder, which says nothing about the images.
void FilterQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR"))) return;
  const QByteArray text = qFormatLogMessage(type, context, message).toLocal8Bit();
  std::fprintf(stderr, "%s\n", text.constData());
  if (type == QtFatalMsg) std::abort();
}

}  // namespace

void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(FilterQtMessages);
  static int argc = 1;
  static char name[] = "trevolan";
  static char* argv[] = {name, nullptr};
  // Made once and kept until the process ends, as Qt expects of its application.
  static QGuiApplication* const app = new QGuiApplication(argc, argv);
  (void)app;
}

QFont DiagramFont(FontStyle style, bool smooth) {
  QFont font;
  const QString family = DiagramFontFamily();
  if (family.isEmpty()) {
    font.setStyleHint(QFont::SansSerif);
    font.setFamily(QStringLiteral("sans-serif"));
  } else {
    font.setFamily(family);
  }
  font.setPixelSize(11);
  // Crisp glyphs in exactly the font colour, like the small bitmap fonts of a desktop.
  font.setStyleStrategy(smooth ? QFont::PreferAntialias : QFont::NoAntialias);
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setBold(style == FontStyle::Bold || style == FontStyle::BoldItalic);
  font.setItalic(style == FontStyle::Italic || style == FontStyle::BoldItalic);
  return font;
}

QtCanvas::QtCanvas(QPainter& painter, bool smooth)
    : painter_(painter),
      fonts_{DiagramFont(FontStyle::Regular, smooth), DiagramFont(FontStyle::Bold, smooth),
             DiagramFont(FontStyle::Italic, smooth), DiagramFont(FontStyle::BoldItalic, smooth)},
      // Widths in the model's pixels, the same at every zoom.
      metrics_{QFontMetrics(DiagramFont(FontStyle::Regular)), QFontMetrics(DiagramFont(FontStyle::Bold)),
               QFontMetrics(DiagramFont(FontStyle::Italic)), QFontMetrics(DiagramFont(FontStyle::BoldItalic))} {
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, smooth);
}

void QtCanvas::ApplyPen() {
  QPen qpen(ToQColor(pen.colour));
  qpen.setWidth(std::clamp(pen.width, 0, 100));
  qpen.setStyle(ToQtPenStyle(pen.style));
  qpen.setCapStyle(Qt::FlatCap);
  qpen.setJoinStyle(Qt::MiterJoin);
  painter_.setPen(qpen);
}

void QtCanvas::ApplyBrush() { painter_.setBrush(ToQColor(brush)); }

void QtCanvas::Line(Point from, Point to) {
  QPoint a, b;
  if (!ClipSegment(from, to, a, b)) return;
  ApplyPen();
  painter_.drawLine(a, b);
}

void QtCanvas::Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const QRect r = Normalized(x1, y1, x2, y2);
  if (r.width() <= 0 || r.height() <= 0) return;
  ApplyPen();
  ApplyBrush();
  // QRect's drawn outline covers width + 1 pixels, so one less keeps the right and
  // bottom edges exclusive.
  painter_.drawRect(r.adjusted(0, 0, -1, -1));
}

void QtCanvas::FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const QRect r = Normalized(x1, y1, x2, y2);
  if (r.width() <= 0 || r.height() <= 0) return;
  painter_.fillRect(r, ToQColor(brush));
}

void QtCanvas::Ellipse(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const QRect r = Normalized(x1, y1, x2, y2);
  if (r.width() <= 0 || r.height() <= 0) return;
  ApplyPen();
  ApplyBrush();
  painter_.drawEllipse(r.adjusted(0, 0, -1, -1));
}

void QtCanvas::Polygon(std::span<const Point> points) {
  QPolygon polygon;
  polygon.reserve(static_cast<qsizetype>(points.size()));
  for (const Point& p : points) polygon << ClampedPoint(p);
  ApplyPen();
  ApplyBrush();
  painter_.drawPolygon(polygon);
}

void QtCanvas::TextOut(int32_t x, int32_t y, std::string_view text) {
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const QFontMetrics& m = Metrics();
  const QPoint at = ClampedPoint({x, y});
  painter_.fillRect(QRect(at.x(), at.y(), m.horizontalAdvance(s), kLinePitch), ToQColor(brush));
  painter_.setFont(fonts_[static_cast<size_t>(font.style)]);
  painter_.setPen(ToQColor(font.colour));
  painter_.drawText(QPoint(at.x(), at.y() + m.ascent()), s);
}

int32_t QtCanvas::TextWidth(std::string_view text) const {
  return Metrics().horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace trevolan

#include "display/qt_render.h"

#include <algorithm>
#include <cctype>
#include <functional>

#include <QBuffer>
#include <QByteArray>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <QSvgGenerator>

#include "display/diagram.h"
#include "display/qt_canvas.h"
#include "model/atomic_file.h"

namespace trevolan {

namespace {

constexpr int kDiagramWidth = 1400, kDiagramHeight = 1000;
constexpr int kMargin = 20, kMinWidth = 200, kMinHeight = 120;
constexpr int kScreenDpi = 96;  // one pixel of the window is one pixel of the picture

// The extent from (0, 0) of every pixel that is not white.
QSize DrawnExtent(const QImage& image) {
  int right = 0, bottom = 0;
  const QRgb white = qRgb(255, 255, 255);
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = image.width() - 1; x >= 0; --x) {
      if (line[x] != white) {
        right = std::max(right, x + 1);
        bottom = y + 1;
        break;
      }
    }
  }
  return QSize(right, bottom);
}

// The part of a diagram picture in use: to 20 pixels past the last drawn pixel, within
// the minimum size and the drawing area.
QSize UsedSize(const QImage& image) {
  const QSize used = DrawnExtent(image);
  return QSize(std::clamp(used.width() + kMargin, kMinWidth, kDiagramWidth),
               std::clamp(used.height() + kMargin, kMinHeight, kDiagramHeight));
}

// Shows the plot for the time of a paint, as the visible panel does.
class ShowPlot {
 public:
  explicit ShowPlot(Sim& s) : s_(s), saved_(s.PlotFlag) { s.PlotFlag = true; }
  ~ShowPlot() { s_.PlotFlag = saved_; }
  ShowPlot(const ShowPlot&) = delete;
  ShowPlot& operator=(const ShowPlot&) = delete;

 private:
  Sim& s_;
  bool saved_;
};

void DrawLabel(QtCanvas& c, const PlotLabel& label) {
  c.brush = label.background;
  c.font = Font{label.colour, FontStyle::Regular};
  c.TextOut(label.left, label.top, label.caption);
}

}  // namespace

QImage RenderDiagramImage(Sim& s) {
  EnsureGuiApplication();
  QImage image(kDiagramWidth, kDiagramHeight, QImage::Format_RGB32);
  image.fill(Qt::white);  // the paint box's own colour
  {
    QPainter painter(&image);
    QtCanvas canvas(painter);
    RedrawDiagram(s, canvas);
  }
  return image.copy(QRect(QPoint(0, 0), UsedSize(image)));
}

namespace {

void PaintPlotPanel(Sim& s, PlotPanelForm& form, QPainter& painter) {
  painter.fillRect(QRect(0, 0, form.PanelWidth, form.PanelHeight), QColor(192, 192, 192));  // the panel
  const QRect box(form.BoxLeft, form.BoxTop, form.BoxWidth, form.BoxHeight);
  painter.fillRect(box, Qt::white);
  {
    // The plot is drawn in the box's own coordinates and shows only what falls in it.
    painter.save();
    painter.translate(box.topLeft());
    painter.setClipRect(QRect(QPoint(0, 0), box.size()));
    QtCanvas canvas(painter);
    const ShowPlot shown(s);
    DrawTimePlot(s, canvas, form.Zoom);
    painter.restore();
  }
  QtCanvas labels(painter);
  for (const PlotLabel* label : {&form.GrMinTLb, &form.GrMaxTLb, &form.GrMaxYLb, &form.GrMinYLb}) {
    DrawLabel(labels, *label);
  }
  for (const PlotLabel& label : form.Legend) DrawLabel(labels, label);
}

// The diagram's paint, recorded so that it can be played on a raster and on vector
// devices alike, and the size of the part in use.
struct RecordedDiagram {
  QPicture picture;
  QSize size;
};

RecordedDiagram RecordDiagram(Sim& s) {
  EnsureGuiApplication();
  RecordedDiagram d;
  {
    QPainter painter(&d.picture);
    QtCanvas canvas(painter);
    RedrawDiagram(s, canvas);
  }
  QImage image(kDiagramWidth, kDiagramHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.drawPicture(0, 0, d.picture);
  }
  d.size = UsedSize(image);
  return d;
}

// Paints on a vector device (SVG or PDF) of `size` pixels and returns its bytes.
std::string PaintVector(ImageFormat format, QSize size, const std::function<void(QPainter&)>& paint) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const auto draw = [&](QPaintDevice& device) {
    QPainter painter;
    if (!painter.begin(&device)) throw IoError("I/O error: the picture could not be drawn");
    painter.setClipRect(QRect(QPoint(0, 0), size));
    paint(painter);
    painter.end();
  };
  if (format == ImageFormat::Svg) {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setResolution(kScreenDpi);
    svg.setTitle(QStringLiteral("Trevolan"));
    draw(svg);
  } else {
    QPdfWriter pdf(&buffer);
    pdf.setResolution(kScreenDpi);
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setPageSize(QPageSize(QSizeF(size) * 72.0 / kScreenDpi, QPageSize::Point, QString(), QPageSize::ExactMatch));
    pdf.setCreator(QStringLiteral("Trevolan"));
    draw(pdf);
  }
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

QImage RenderPlotImage(Sim& s, PlotPanelForm& form) {
  EnsureGuiApplication();
  GrPlotPnlPrep(s, form);
  QImage image(std::max(form.PanelWidth, 1), std::max(form.PanelHeight, 1), QImage::Format_RGB32);
  QPainter painter(&image);
  PaintPlotPanel(s, form, painter);
  painter.end();
  return image;
}

ImageFormat ImageFormatOf(const std::string& path) {
  const size_t dot = path.find_last_of("./");
  if (dot == std::string::npos || path[dot] != '.') return ImageFormat::Png;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "svg") return ImageFormat::Svg;
  if (ext == "pdf") return ImageFormat::Pdf;
  return ImageFormat::Png;
}

QImage RenderDiagramImage(Sim& s, double scale) {
  const RecordedDiagram d = RecordDiagram(s);
  QImage image((QSizeF(d.size) * scale).toSize(), QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    painter.drawPicture(0, 0, d.picture);
  }
  const int dots_per_meter = qRound(kScreenDpi * scale / 0.0254);
  image.setDotsPerMeterX(dots_per_meter);
  image.setDotsPerMeterY(dots_per_meter);
  return image;
}

void WriteDiagramFile(Sim& s, const std::string& path, double scale) {
  const ImageFormat format = ImageFormatOf(path);
  if (format == ImageFormat::Png) return WritePng(scale == 1 ? RenderDiagramImage(s) : RenderDiagramImage(s, scale), path);
  const RecordedDiagram d = RecordDiagram(s);
  WriteFileAtomically(path, PaintVector(format, d.size, [&d](QPainter& p) { p.drawPicture(0, 0, d.picture); }));
}

void WritePlotFile(Sim& s, PlotPanelForm& form, const std::string& path) {
  const ImageFormat format = ImageFormatOf(path);
  if (format == ImageFormat::Png) return WritePng(RenderPlotImage(s, form), path);
  EnsureGuiApplication();
  GrPlotPnlPrep(s, form);
  const QSize size(std::max(form.PanelWidth, 1), std::max(form.PanelHeight, 1));
  WriteFileAtomically(path, PaintVector(format, size, [&](QPainter& p) { PaintPlotPanel(s, form, p); }));
}

void WriteCanvasFile(const std::string& path, int width, int height, const std::function<void(Canvas&)>& paint) {
  EnsureGuiApplication();
  const QSize size(std::max(width, 1), std::max(height, 1));
  const ImageFormat format = ImageFormatOf(path);
  if (format != ImageFormat::Png) {
    WriteFileAtomically(path, PaintVector(format, size, [&paint](QPainter& p) {
                          QtCanvas canvas(p);
                          paint(canvas);
                        }));
    return;
  }
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    QtCanvas canvas(painter);
    paint(canvas);
  }
  WritePng(image, path);
}

void WritePng(const QImage& image, const std::string& path) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) throw IoError("I/O error: the image could not be encoded as PNG");
  WriteFileAtomically(path, std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
}

}  // namespace trevolan

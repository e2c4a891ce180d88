#include "display/qt_render.h"

#include <algorithm>

#include <QBuffer>
#include <QByteArray>
#include <QPainter>

#include "display/diagram.h"
#include "display/qt_canvas.h"
#include "model/atomic_file.h"

namespace trevolan {

namespace {

constexpr int kDiagramWidth = 1400, kDiagramHeight = 1000;
constexpr int kMargin = 20, kMinWidth = 200, kMinHeight = 120;

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
  const QSize used = DrawnExtent(image);
  const int width = std::clamp(used.width() + kMargin, kMinWidth, kDiagramWidth);
  const int height = std::clamp(used.height() + kMargin, kMinHeight, kDiagramHeight);
  return image.copy(0, 0, width, height);
}

QImage RenderPlotImage(Sim& s, PlotPanelForm& form) {
  EnsureGuiApplication();
  GrPlotPnlPrep(s, form);
  QImage image(std::max(form.PanelWidth, 1), std::max(form.PanelHeight, 1), QImage::Format_RGB32);
  image.fill(QColor(192, 192, 192));  // the panel
  QPainter painter(&image);
  const QRect box(form.BoxLeft, form.BoxTop, form.BoxWidth, form.BoxHeight);
  painter.fillRect(box, Qt::white);
  {
    // The plot is drawn in the box's own coordinates and shows only what falls in it.
    painter.save();
    painter.translate(box.topLeft());
    painter.setClipRect(QRect(QPoint(0, 0), box.size()));
    QtCanvas canvas(painter);
    const ShowPlot shown(s);
    DrawTimePlot(s, canvas);
    painter.restore();
  }
  QtCanvas labels(painter);
  for (const PlotLabel* label : {&form.GrMinTLb, &form.GrMaxTLb, &form.GrMaxYLb, &form.GrMinYLb}) {
    DrawLabel(labels, *label);
  }
  for (const PlotLabel& label : form.Legend) DrawLabel(labels, label);
  painter.end();
  return image;
}

void WritePng(const QImage& image, const std::string& path) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) throw IoError("I/O error: the image could not be encoded as PNG");
  WriteFileAtomically(path, std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
}

}  // namespace trevolan

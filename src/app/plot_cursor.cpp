#include "app/plot_cursor.h"

#include <algorithm>

#include <QMouseEvent>
#include <QPainter>

#include "app/main_window.h"
#include "app/paint_box.h"
#include "app/widgets.h"

namespace trevolan {

namespace {

constexpr int kTextMargin = 4;

}  // namespace

PlotCursor::PlotCursor(TForm1& window) : QWidget(window.plot_box()), window_(window), box_(window.plot_box()) {
  setObjectName(QStringLiteral("PlotCursor"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  resize(box_->size());
  box_->setMouseTracking(true);
  box_->setStatusTip(QStringLiteral("Drag across the plot to zoom to a time range; double-click to show the whole run"));
  box_->installEventFilter(this);
}

QString PlotCursor::Text() const { return reading_ ? QString::fromStdString(ReadingText(*reading_)) : QString(); }

void PlotCursor::Hover(int x) {
  const Sim& s = window_.sim();
  const bool inside = x >= s.PlotLeft && x <= s.PlotLeft + s.PlotWidth;
  reading_ = inside && s.PlotFlag ? ReadPlotAt(s, window_.plot_panel().Zoom, x) : std::nullopt;
  update();
}

void PlotCursor::SetZoom(const PlotZoom& zoom) {
  window_.plot_panel().Zoom = zoom;
  window_.guard().Repaint(&window_, [this] {
    window_.frontend().GrPlotPnlPrep();
    window_.frontend().DrawTimePlot();
  });
}

bool PlotCursor::eventFilter(QObject* watched, QEvent* event) {
  if (watched != box_) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::Resize:
      resize(box_->size());
      break;
    case QEvent::Leave:
      reading_.reset();
      update();
      break;
    case QEvent::MouseMove: {
      const int x = static_cast<QMouseEvent*>(event)->position().toPoint().x();
      if (drag_from_) drag_to_ = x;
      Hover(x);
      break;
    }
    case QEvent::MouseButtonPress: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton) drag_from_ = drag_to_ = mouse->position().toPoint().x();
      break;
    }
    case QEvent::MouseButtonRelease: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton || !drag_from_) break;
      const int from = *drag_from_, to = mouse->position().toPoint().x();
      drag_from_.reset();
      const Sim& s = window_.sim();
      if (const std::optional<PlotZoom> zoom = ZoomedPlot(s, window_.plot_panel().Zoom, from, to)) SetZoom(*zoom);
      Hover(to);
      break;
    }
    case QEvent::MouseButtonDblClick:
      drag_from_.reset();
      SetZoom(PlotZoom());
      break;
    default:
      break;
  }
  return false;
}

void PlotCursor::paintEvent(QPaintEvent* /*event*/) {
  const Sim& s = window_.sim();
  QPainter painter(this);
  const int top = s.PlotTop, bottom = s.PlotTop + s.PlotHeight;
  if (drag_from_ && std::abs(drag_to_ - *drag_from_) >= kMinZoomDrag) {
    // The time range the drag will zoom to.
    const int left = std::min(*drag_from_, drag_to_), right = std::max(*drag_from_, drag_to_);
    painter.fillRect(QRect(left, top, right - left, bottom - top), QColor(0, 0, 255, 40));
  }
  if (!reading_) return;
  painter.setPen(QPen(QColor(80, 80, 80), 1));
  painter.drawLine(reading_->x, top, reading_->x, bottom);

  // The time and the values beside the line, on the side with room for them.
  const QFontMetrics metrics(font());
  const QStringList lines = Text().split(QLatin1Char('\n'));
  int width = 0;
  for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
  const QSize box(width + 2 * kTextMargin, static_cast<int>(lines.size()) * metrics.height() + 2 * kTextMargin);
  int left = reading_->x + 6;
  if (left + box.width() > this->width()) left = reading_->x - 6 - box.width();
  const QRect frame(QPoint(std::max(left, 0), top + 4), box);
  painter.fillRect(frame, QColor(255, 255, 255, 230));
  painter.drawRect(frame.adjusted(0, 0, -1, -1));
  for (int i = 0; i < lines.size(); ++i) {
    const size_t channel = static_cast<size_t>(i) - 1;
    const Rgb colour = i > 0 && channel < reading_->channels.size() ? reading_->channels[channel].colour : Rgb{0, 0, 0};
    painter.setPen(ToColor(colour));
    painter.drawText(frame.left() + kTextMargin, frame.top() + kTextMargin + i * metrics.height() + metrics.ascent(),
                     lines[i]);
  }
}

}  // namespace trevolan

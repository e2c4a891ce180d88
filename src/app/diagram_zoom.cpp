#include "app/diagram_zoom.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include "app/paint_box.h"
#include "display/zoom.h"

namespace trevolan {

DiagramZoom::DiagramZoom(QScrollArea* area, PaintBox* box, QSize picture_size, std::function<QSize()> extent)
    : QObject(area), area_(area), box_(box), picture_size_(picture_size), extent_(std::move(extent)) {
  area_->viewport()->installEventFilter(this);
}

void DiagramZoom::AddItems(QMenu* view) {
  const auto item = [this, view](const char* caption, const char* name, const QKeySequence& key, auto action) {
    QAction* a = view->addAction(QString::fromLatin1(caption));
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(key);
    connect(a, &QAction::triggered, this, action);
    return a;
  };
  // Ctrl+= as well, the same key as Ctrl++ without Shift on most keyboards.
  item("Zoom &In", "ZoomInItem", QKeySequence::ZoomIn, [this] { SetZoom(ZoomIn(zoom())); })
      ->setShortcuts({QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
  item("Zoom &Out", "ZoomOutItem", QKeySequence::ZoomOut, [this] { SetZoom(ZoomOut(zoom())); });
  item("&Actual Size", "ActualSizeItem", QKeySequence(Qt::CTRL | Qt::Key_0), [this] { SetZoom(1); });
  item("&Fit", "FitItem", QKeySequence(), [this] { Fit(); });
}

double DiagramZoom::zoom() const { return box_->zoom(); }

void DiagramZoom::SetZoom(double zoom, QPoint anchor) {
  zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
  const double old = box_->zoom();
  if (zoom == old) return;
  if (anchor.x() < 0) anchor = KeyAnchor();
  QScrollBar* h = area_->horizontalScrollBar();
  QScrollBar* v = area_->verticalScrollBar();
  // The model point under the anchor before, put under it again after.
  const QPointF model((h->value() + anchor.x()) / old, (v->value() + anchor.y()) / old);
  box_->SetZoom(zoom, picture_size_);
  area_->widget()->adjustSize();
  h->setValue(static_cast<int>(model.x() * zoom) - anchor.x());
  v->setValue(static_cast<int>(model.y() * zoom) - anchor.y());
  if (on_zoom) on_zoom(zoom);
}

QPoint DiagramZoom::KeyAnchor() const {
  // The middle of a large canvas is mostly empty: zooming about it loses the model
  // from view. The pointer over the diagram says where the user looks; otherwise the
  // top left of what is shown stays, where the model begins.
  QWidget* viewport = area_->viewport();
  const QPoint pointer = viewport->mapFromGlobal(QCursor::pos());
  return viewport->rect().contains(pointer) ? pointer : QPoint(0, 0);
}

void DiagramZoom::ShowTopLeft() {
  area_->horizontalScrollBar()->setValue(0);
  area_->verticalScrollBar()->setValue(0);
}

void DiagramZoom::Fit() {
  const QSize e = extent_();
  const QSize view = area_->viewport()->size();
  SetZoom(FitZoom(Extent{e.width(), e.height()}, view.width(), view.height()));
  ShowTopLeft();
}

bool DiagramZoom::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Wheel) {
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (wheel->modifiers() & Qt::ControlModifier) {
      const int steps = wheel->angleDelta().y();
      if (steps != 0) SetZoom(steps > 0 ? ZoomIn(zoom()) : ZoomOut(zoom()), wheel->position().toPoint());
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace trevolan

#include "app/diagram_pan.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include "app/paint_box.h"

namespace trevolan {

DiagramPan::DiagramPan(QScrollArea* area, PaintBox* box) : QObject(area), area_(area), box_(box) {
  // Space goes to whichever widget of the window has the focus: the application sees
  // it on its way there.
  qApp->installEventFilter(this);
  area_->viewport()->installEventFilter(this);
}

void DiagramPan::SpaceKey(QObject* watched, QEvent* event) {
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() != Qt::Key_Space || key->isAutoRepeat()) return;
  auto* widget = qobject_cast<QWidget*>(watched);
  // A blank typed into a field (the find box) is text, not the pan key.
  if (!widget || widget->window() != area_->window() || qobject_cast<QLineEdit*>(widget)) return;
  space_ = event->type() == QEvent::KeyPress;
  if (box_) box_->setCursor(space_ ? Qt::OpenHandCursor : Qt::ArrowCursor);
}

bool DiagramPan::Mouse(QEvent* event) {
  auto* mouse = static_cast<QMouseEvent*>(event);
  QScrollBar* h = area_->horizontalScrollBar();
  QScrollBar* v = area_->verticalScrollBar();
  const QPoint at = mouse->globalPosition().toPoint();
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      if (!space_ || mouse->button() != Qt::LeftButton) return false;
      panning_ = true;
      from_ = at;
      scroll_from_ = QPoint(h->value(), v->value());
      box_->setCursor(Qt::ClosedHandCursor);
      return true;
    case QEvent::MouseMove:
      if (!panning_) return false;
      h->setValue(scroll_from_.x() - (at.x() - from_.x()));
      v->setValue(scroll_from_.y() - (at.y() - from_.y()));
      return true;
    case QEvent::MouseButtonRelease:
      if (!panning_ || mouse->button() != Qt::LeftButton) return panning_;
      panning_ = false;
      box_->setCursor(space_ ? Qt::OpenHandCursor : Qt::ArrowCursor);
      return true;
    default:
      return false;
  }
}

bool DiagramPan::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      SpaceKey(watched, event);  // noted only: the key goes on to its widget
      break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
      if (box_ && watched == box_ && Mouse(event)) return true;
      break;
    case QEvent::Wheel:
      if (watched == area_->viewport()) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if ((wheel->modifiers() & Qt::ShiftModifier) && !(wheel->modifiers() & Qt::ControlModifier)) {
          // Some platforms turn the wheel with Shift into a sideways one already.
          const QPoint d = wheel->angleDelta();
          QScrollBar* h = area_->horizontalScrollBar();
          h->setValue(h->value() - (d.y() != 0 ? d.y() : d.x()));
          return true;
        }
      }
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace trevolan

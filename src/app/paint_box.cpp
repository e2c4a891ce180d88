#include "app/paint_box.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QTimer>

#include "display/zoom.h"

namespace trevolan {

Surface::Surface(QWidget* box, QSize size) : box_(box), image_(size, QImage::Format_RGB32) { image_.fill(Qt::white); }

Canvas& Surface::Begin() {
  if (!painter_) {
    painter_.emplace(&image_);
    canvas_.emplace(*painter_);
    canvas_->pen = pen_;
    canvas_->brush = brush_;
    canvas_->font = font_;
    canvas_->MoveTo(pos_.x, pos_.y);
  }
  if (!update_pending_) {
    update_pending_ = true;
    box_->update();
  }
  return *canvas_;
}

void Surface::End() {
  if (!painter_) return;
  pen_ = canvas_->pen;
  brush_ = canvas_->brush;
  font_ = canvas_->font;
  pos_ = canvas_->PenPos();
  canvas_.reset();
  painter_->end();
  painter_.reset();
}

void Surface::Resize(QSize size) {
  if (size == image_.size()) return;
  End();
  image_ = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  image_.fill(Qt::white);
}

void Surface::Clear() {
  End();
  image_.fill(Qt::white);
}

PaintBox::PaintBox(QWidget* parent, QSize size) : QWidget(parent), surface_(this, size) {
  resize(size);
  setAttribute(Qt::WA_OpaquePaintEvent);
  MarkStale();
}

void PaintBox::MarkStale() {
  if (stale_queued_) return;
  stale_queued_ = true;
  // Outside the paint event: a repaint may raise an error, and its box is modal.
  QTimer::singleShot(0, this, [this] {
    stale_queued_ = false;
    if (on_stale) on_stale();
  });
}

void PaintBox::SetZoom(double zoom, QSize picture_size) {
  zoom_ = zoom;
  setFixedSize((QSizeF(picture_size) * zoom).toSize());
  update();
}

QPoint PaintBox::ToPicture(QPointF at) const {
  return QPoint(ModelCoordinate(at.x(), zoom_), ModelCoordinate(at.y(), zoom_));
}

void PaintBox::paintEvent(QPaintEvent* event) {
  surface_.Shown();
  const QImage& image = surface_.image();
  QPainter painter(this);
  const QRect r = event->rect();
  painter.fillRect(r, Qt::white);  // beyond the picture, if the box is larger
  if (zoom_ == 1) {
    painter.drawImage(r.topLeft(), image, r);
    return;
  }
  // Smaller pictures are smoothed, so that thin lines and text stay visible; larger
  // ones show each pixel as a square.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, zoom_ < 1);
  painter.setClipRect(r);
  painter.scale(zoom_, zoom_);
  painter.drawImage(0, 0, image);
}

void PaintBox::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  MarkStale();  // shown again, perhaps after the state it showed has changed
}

void PaintBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (zoom_ != 1) return;  // the picture keeps its size; only the view of it changed
  surface_.Resize(size());
  MarkStale();
}

MouseButton ToMouseButton(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton: return MouseButton::Left;
    case Qt::RightButton: return MouseButton::Right;
    default: return MouseButton::Middle;  // any other button picks and places, and does nothing else
  }
}

void PaintBox::mousePressEvent(QMouseEvent* event) {
  pressed_at_ = event->position();
  pressed_picture_ = ToPicture(pressed_at_);
  if (on_press) on_press(ToMouseButton(event->button()), pressed_picture_);
}

void PaintBox::mouseReleaseEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  const QPoint picture(ReleaseCoordinate(pressed_at_.x(), at.x(), pressed_picture_.x(), zoom_),
                       ReleaseCoordinate(pressed_at_.y(), at.y(), pressed_picture_.y(), zoom_));
  if (on_release) on_release(ToMouseButton(event->button()), picture);
}

}  // namespace trevolan

#include "app/paint_box.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QTimer>

#include "display/zoom.h"

namespace trevolan {

Surface::Surface(QWidget* box, QSize size) : box_(box), image_(size, QImage::Format_RGB32), model_size_(size) {
  image_.fill(Qt::white);
}

Canvas& Surface::Begin() {
  if (!painter_) {
    painter_.emplace(&image_);
    painter_->scale(scale_, scale_);
    canvas_.emplace(*painter_, scale_ != 1);
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
  if (size == model_size_ && scale_ == 1) return;
  model_size_ = size.expandedTo(QSize(1, 1));
  scale_ = 1;
  End();
  image_ = QImage(model_size_, QImage::Format_RGB32);
  image_.fill(Qt::white);
}

void Surface::SetScale(double scale) {
  if (scale == scale_) return;
  scale_ = scale;
  End();
  image_ = QImage((QSizeF(model_size_) * scale).toSize().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
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
  surface_.Resize(picture_size);
  surface_.SetScale(zoom);
  setFixedSize((QSizeF(picture_size) * zoom).toSize());
  MarkStale();
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
  painter.drawImage(r.topLeft(), image, r);
  if (!outline_.isEmpty()) {
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(Shown(outline_).adjusted(0, 0, -1, -1));
  }
  if (on_overlay) {
    painter.scale(zoom_, zoom_);
    on_overlay(painter);
  }
}

QRect PaintBox::Shown(QRect picture) const {
  return QRectF(QPointF(picture.topLeft()) * zoom_, QSizeF(picture.size()) * zoom_).toAlignedRect();
}

void PaintBox::SetOutline(QRect outline) {
  if (outline == outline_) return;
  update(Shown(outline_));
  outline_ = outline;
  update(Shown(outline_));
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
  pressed_modifiers_ = event->modifiers();
  if (on_press) on_press(ToMouseButton(event->button()), pressed_picture_);
}

void PaintBox::mouseReleaseEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  const QPoint picture(ReleaseCoordinate(pressed_at_.x(), at.x(), pressed_picture_.x(), zoom_),
                       ReleaseCoordinate(pressed_at_.y(), at.y(), pressed_picture_.y(), zoom_));
  SetOutline(QRect());
  if (on_release) on_release(ToMouseButton(event->button()), picture);
}

void PaintBox::mouseMoveEvent(QMouseEvent* event) {
  if (on_move) on_move(event->buttons(), ToPicture(event->position()));
}

}  // namespace trevolan

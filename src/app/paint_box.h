#pragma once
#include <functional>
#include <optional>

#include <QImage>
#include <QPainter>
#include <QWidget>

#include "display/canvas.h"
#include "display/main_form.h"
#include "display/qt_canvas.h"

namespace trevolan {

// The picture of a paint box, kept between paints. The core draws in immediate mode
// over what is there (a run animates the labels while the links of the last full
// redraw stay), so the picture lives here and the box only shows it. The painter stays
// open from the first drawing call until the box next shows the picture, so a run that
// draws many blocks per step opens it once; the canvas's pen, brush and font carry
// over from one drawing call to the next, as the drawing procedures expect. A surface
// with a scale other than 1 holds the picture at that scale and draws on it in the
// model's pixels through a scaling painter, so that lines and text are drawn at the
// scale rather than enlarged from their pixels.
class Surface {
 public:
  Surface(QWidget* box, QSize size);
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  // The canvas to draw on; the box is asked to show the picture anew.
  Canvas& Begin();
  // Ends the drawing, keeping the canvas's state for the next.
  void End();
  // A new white picture of that size in the model's pixels (the box resized).
  void Resize(QSize size);
  // A new white picture of the same model size drawn at `scale`.
  void SetScale(double scale);
  // The picture made white again.
  void Clear();
  const QImage& image() {
    End();
    return image_;
  }
  // The box has shown the picture.
  void Shown() { update_pending_ = false; }

 private:
  QWidget* box_;
  QImage image_;
  QSize model_size_;
  double scale_ = 1;
  std::optional<QPainter> painter_;
  std::optional<QtCanvas> canvas_;
  Pen pen_{};
  Rgb brush_{255, 255, 255};
  Font font_{};
  Point pos_{};
  bool update_pending_ = false;
};

// A paint box: shows its surface's picture and reports the mouse. A picture that has
// gone stale (the box shown or resized) is repainted as a whole
// through `repaint`, outside the paint event. A zoomed box draws its picture at the
// zoom and reports the mouse in the model's pixels; at 100 % the picture is the
// model's pixels.
class PaintBox : public QWidget {
 public:
  using MouseHandler = std::function<void(MouseButton, QPoint)>;

  PaintBox(QWidget* parent, QSize size);
  Surface& surface() { return surface_; }

  // Shows the picture of `picture_size` model pixels at `zoom` (1 is 100 %); the box
  // takes the scaled size, and the picture is drawn anew at that scale.
  void SetZoom(double zoom, QSize picture_size);
  double zoom() const { return zoom_; }
  // A point of the box in the picture's pixels.
  QPoint ToPicture(QPointF at) const;

  // An outline drawn over the picture, in the picture's pixels (a block being dragged);
  // an empty one draws none.
  void SetOutline(QRect outline);

  // The keyboard modifiers held when the last button went down.
  Qt::KeyboardModifiers pressed_modifiers() const { return pressed_modifiers_; }
  // Drawn over the picture and the outline, in the picture's pixels (the selection,
  // a rubber band); the box is asked to paint again when it changes.
  std::function<void(QPainter&)> on_overlay;

  MouseHandler on_press, on_release;
  // The mouse moved to a point, with these buttons held (tracked only when the box has
  // mouse tracking on).
  std::function<void(Qt::MouseButtons, QPoint)> on_move;
  std::function<void()> on_stale;  // a repaint of the whole picture is due

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void MarkStale();
  QRect Shown(QRect picture) const;  // a rectangle of the picture on the box

  Surface surface_;
  bool stale_queued_ = false;
  double zoom_ = 1;
  QRect outline_;
  QPointF pressed_at_;       // where the last button went down, in the box's pixels
  QPoint pressed_picture_;   // the same point in the picture's pixels
  Qt::KeyboardModifiers pressed_modifiers_;
};

// The button of a mouse event as the window tells them apart.
MouseButton ToMouseButton(Qt::MouseButton button);

}  // namespace trevolan

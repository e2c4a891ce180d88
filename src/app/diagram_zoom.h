#pragma once
#include <functional>

#include <QObject>
#include <QPoint>
#include <QSize>

class QAction;
class QMenu;
class QScrollArea;

namespace trevolan {

class PaintBox;

// The zoom of the diagram: View, Zoom In / Zoom Out (QKeySequence::ZoomIn, ZoomOut),
// Actual Size (Ctrl+0), Fit, and Ctrl with the mouse wheel over the diagram, which
// keeps the point under the pointer where it is. Only the view is scaled: the paint
// box reports every point in model pixels.
class DiagramZoom : public QObject {
 public:
  // `extent` gives the size in model pixels of what Fit must show.
  DiagramZoom(QScrollArea* area, PaintBox* box, QSize picture_size, std::function<QSize()> extent);

  // Adds the four items to the menu.
  void AddItems(QMenu* view);
  double zoom() const;
  // Sets the zoom, keeping the point `anchor` of the viewport in place; when none is
  // given (the keys and the menu), the point under the pointer when it is over the
  // diagram, else the top left of the visible part.
  void SetZoom(double zoom, QPoint anchor = QPoint(-1, -1));
  void Fit();
  // Scrolls to the diagram's top left corner (a model just opened).
  void ShowTopLeft();

  std::function<void(double)> on_zoom;  // the zoom changed

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPoint KeyAnchor() const;

  QScrollArea* area_;
  PaintBox* box_;
  QSize picture_size_;
  std::function<QSize()> extent_;
};

}  // namespace trevolan

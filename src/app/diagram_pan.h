#pragma once
#include <QObject>
#include <QPoint>
#include <QPointer>

#include "app/paint_box.h"

class QScrollArea;

namespace trevolan {

// Panning the diagram: a drag with the Space bar held moves the view with the mouse,
// and the wheel with Shift scrolls it sideways. A drag with Space never reaches the
// paint box, so it picks, moves and toggles no block.
class DiagramPan : public QObject {
 public:
  DiagramPan(QScrollArea* area, PaintBox* box);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SpaceKey(QObject* watched, QEvent* event);
  bool Mouse(QEvent* event);

  QScrollArea* area_;
  QPointer<PaintBox> box_;  // gone before this filter when the window closes
  bool space_ = false;    // the Space bar is held in the window
  bool panning_ = false;  // a drag with Space is under way
  QPoint from_;           // where it began, on the screen
  QPoint scroll_from_;    // the scroll position then
};

}  // namespace trevolan

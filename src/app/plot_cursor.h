#pragma once
#include <optional>

#include <QString>
#include <QWidget>

#include "display/plot_reading.h"

namespace trevolan {

class TForm1;
class PaintBox;

// The time plot read with the mouse. Over the plot a vertical cursor stands at the
// recorded row nearest to the pointer and shows its time and each channel's value; a
// drag across the plot zooms it to that time range, and a double-click shows the whole
// run again. The zoom is the plot panel's (its form's Zoom), so a picture exported
// from the panel keeps it. A transparent layer over the plot box: the box's picture
// stays the core's drawing.
class PlotCursor : public QWidget {
 public:
  explicit PlotCursor(TForm1& window);

  // What the cursor shows, one line each for the time and the channels; empty when it
  // is not shown.
  QString Text() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Hover(int x);
  void SetZoom(const PlotZoom& zoom);

  TForm1& window_;
  PaintBox* box_;
  std::optional<PlotReading> reading_;
  std::optional<int> drag_from_;  // where a drag across the plot began
  int drag_to_ = 0;
};

}  // namespace trevolan

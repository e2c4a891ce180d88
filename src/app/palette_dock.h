#pragma once
#include <QDockWidget>
#include <QImage>
#include <QListWidget>
#include <QPointer>

#include "model/block.h"

namespace trevolan {

class TForm1;

// The MIME type of a block type dragged from the palette: its letter.
inline constexpr const char* kBlockTypeMime = "application/x-trevolan-block-type";

// The block palette's list: one entry per block type of the Create menu, under a
// heading per family, each with its label as the diagram draws it. An entry dragged
// out carries its type letter.
class PaletteList : public QListWidget {
 public:
  explicit PaletteList(QWidget* parent);

 protected:
  QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
};

// The block palette, a dock of the main window (View, Block Palette). An entry dropped
// on the diagram creates a block of its type where it is dropped: the drop point
// becomes the last click and the type's Create menu item runs, dialog, undo and all.
class PaletteDock : public QDockWidget {
 public:
  explicit PaletteDock(TForm1& window);

  // The picture of a type in the palette: the label of a new block of the type, drawn by
  // the diagram's own drawing at `scale` times its pixels.
  static QImage TypePicture(BlockType type, double scale);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TForm1& window_;
  // The diagram whose drops it takes, held apart from the window and as a plain object:
  // the window's children, the diagram too, still send events while they and the window
  // are being destroyed.
  QPointer<QObject> diagram_;
};

}  // namespace trevolan

#pragma once
#include <functional>
#include <string>

#include <QObject>
#include <QPoint>
#include <QString>

#include "display/main_form.h"
#include "editing/selection_edit.h"
#include "editing/undo.h"

class QMenu;
class QPainter;

namespace trevolan {

class PaintBox;

// The diagram's gestures beyond its plain clicks and drags, and the selection they
// work on:
// - Shift+drag from one block to another wires the source into the target's next free
//   connection, or into the connection whose line end it is dropped on;
// - Ctrl+click takes a block into the selection or out of it; Ctrl+drag draws a rubber
//   band whose blocks join the selection; a click on empty diagram clears it;
// - a plain drag of a selected block moves the whole selection;
// - Delete, Ctrl+C and Ctrl+V delete, copy and paste the selection (Edit menu).
// A Shift or Ctrl press that ends as a click within a pixel is left to the plain rules,
// which a press always runs first. The edits themselves are the core's
// (editing/selection_edit); this only maps the mouse and the keys onto them.
class DiagramSelection : public QObject {
 public:
  // Runs a handler that may edit the model, as one undo step named by `name`.
  using EditRunner = std::function<void(const std::function<void()>& handler,
                                        const std::function<std::string(const ModelChange&)>& name)>;

  DiagramSelection(QObject* parent, PaintBox* box, std::function<Sim&()> sim, EditRunner edit,
                   std::function<void(const QString&)> status);

  // Delete Selection (Delete), Copy Selection (Ctrl+C) and Paste (Ctrl+V).
  void AddItems(QMenu* edit);

  // After the plain press has run: notes a gesture the modifiers start.
  void Press(MouseButton button, QPoint at);
  // The mouse moved with a button held: the rubber line, the band or the moving
  // selection follows it. False when no gesture of these runs.
  bool Move(QPoint at);
  // The button went up: true when a gesture of these took the release (and ended it
  // as a plain release ends: nothing picked, the point recorded, a repaint).
  bool Release(MouseButton button, QPoint at);

  const BlockIds& selected() const { return selected_; }
  void Select(BlockIds ids);
  void Clear() { Select({}); }

 private:
  enum class Gesture { kNone, kWire, kSelect, kMoveSelection };

  // The selection without the blocks that an undo or another edit took away.
  BlockIds Present() const;
  void Paint(QPainter& p) const;
  void PaintWireTarget(QPainter& p) const;
  void EndRelease(QPoint at);
  void Wire(QPoint at);
  void DeleteSelection();
  void CopySelection();
  void Paste();

  PaintBox* box_;
  std::function<Sim&()> sim_;
  EditRunner edit_;
  std::function<void(const QString&)> status_;
  BlockIds selected_;
  BlockClip clip_;
  Gesture gesture_ = Gesture::kNone;
  int32_t from_ = 0;    // the block the gesture started on
  QPoint start_, at_;   // where it started and where the mouse is, in the picture's pixels
  bool dragged_ = false;  // moved beyond a click
};

}  // namespace trevolan

#include "app/diagram_selection.h"

#include <algorithm>
#include <iterator>

#include <QAction>
#include <QMenu>
#include <QPainter>

#include "app/paint_box.h"
#include "display/diagram.h"
#include "display/zoom.h"

namespace trevolan {

namespace {

const QColor kSelectionColour(0, 120, 215);

QString Number(int32_t id) { return QString::number(id); }

}  // namespace

DiagramSelection::DiagramSelection(QObject* parent, PaintBox* box, std::function<Sim&()> sim, EditRunner edit,
                                   std::function<void(const QString&)> status)
    : QObject(parent), box_(box), sim_(std::move(sim)), edit_(std::move(edit)), status_(std::move(status)) {
  box_->on_overlay = [this](QPainter& p) { Paint(p); };
}

void DiagramSelection::AddItems(QMenu* edit) {
  const auto item = [this, edit](const char* caption, const char* name, QKeySequence::StandardKey key, auto act) {
    QAction* a = edit->addAction(QString::fromLatin1(caption));
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(key);
    connect(a, &QAction::triggered, this, act);
  };
  edit->addSeparator();
  item("&Delete Selection", "DeleteSelectionItem", QKeySequence::Delete, [this] { DeleteSelection(); });
  item("Copy &Selection", "CopySelectionItem", QKeySequence::Copy, [this] { CopySelection(); });
  item("&Paste", "PasteItem", QKeySequence::Paste, [this] { Paste(); });
}

void DiagramSelection::Select(BlockIds ids) {
  selected_ = std::move(ids);
  box_->update();
}

BlockIds DiagramSelection::Present() const {
  const Sim& s = sim_();
  BlockIds present;
  for (const int32_t id : selected_) {
    const TBlock& b = s.block(id);
    if (id <= s.HighestBlock && b.XX > 0 && b.Type != BlockType::Empty) present.push_back(id);
  }
  return present;
}

void DiagramSelection::Press(MouseButton button, QPoint at) {
  gesture_ = Gesture::kNone;
  dragged_ = false;
  start_ = at_ = at;
  if (button != MouseButton::Left) return;
  const Sim& s = sim_();
  from_ = s.PickedBlock;
  const bool on_block = from_ > 0 && s.block(from_).Type != BlockType::Empty;
  const Qt::KeyboardModifiers keys = box_->pressed_modifiers();
  if (keys & Qt::ShiftModifier) {
    if (on_block) gesture_ = Gesture::kWire;
  } else if (keys & Qt::ControlModifier) {
    gesture_ = Gesture::kSelect;
    if (!on_block || s.block(from_).XX <= 0) from_ = 0;  // a click here selects nothing
  } else if (on_block && std::binary_search(selected_.begin(), selected_.end(), from_) && Present().size() > 1) {
    gesture_ = Gesture::kMoveSelection;
  }
}

bool DiagramSelection::Move(QPoint at) {
  if (gesture_ == Gesture::kNone) return false;
  at_ = at;
  dragged_ = dragged_ || !MainForm::IsClick(sim_(), at.x(), at.y());
  box_->setCursor(!dragged_                             ? Qt::ArrowCursor
                  : gesture_ == Gesture::kWire          ? Qt::CrossCursor
                  : gesture_ == Gesture::kMoveSelection ? Qt::ClosedHandCursor
                                                        : Qt::ArrowCursor);
  box_->update();
  return true;
}

bool DiagramSelection::Release(MouseButton button, QPoint at) {
  const Gesture gesture = gesture_;
  gesture_ = Gesture::kNone;
  box_->update();
  if (gesture == Gesture::kNone || button != MouseButton::Left) return false;
  Sim& s = sim_();
  const bool click = MainForm::IsClick(s, at.x(), at.y());
  switch (gesture) {
    case Gesture::kWire:
      if (click) return false;
      Wire(at);
      return true;
    case Gesture::kSelect:
      if (click && from_ <= 0) return false;  // a plain click's rules: the place recorded
      edit_(
          [this, at, click] {
            if (click) {
              BlockIds ids = selected_;
              ToggleInSelection(ids, from_);
              Select(std::move(ids));
            } else {
              BlockIds ids;
              const BlockIds band = BlocksInRect(sim_(), start_.x(), start_.y(), at.x(), at.y());
              std::set_union(selected_.begin(), selected_.end(), band.begin(), band.end(), std::back_inserter(ids));
              Select(std::move(ids));
            }
            EndRelease(at);
          },
          [](const ModelChange&) { return std::string(); });
      return true;
    case Gesture::kMoveSelection: {
      if (click) return false;
      const BlockIds moved = Present();
      edit_(
          [this, at, &moved] {
            Sim& model = sim_();
            const TBlock& picked = model.block(from_);
            MoveBlocks(model, moved, int64_t{at.x()} - picked.XX, int64_t{at.y()} - picked.YY);
            EndRelease(at);
          },
          [&moved](const ModelChange&) { return MoveBlocksName(moved); });
      return true;
    }
    case Gesture::kNone: break;
  }
  return false;
}

// As every release of the mouse on the diagram ends: nothing picked, the point kept as
// the place of the next new block, a repaint.
void DiagramSelection::EndRelease(QPoint at) {
  Sim& s = sim_();
  s.PickedBlock = 0;
  s.LastX = at.x();
  s.LastY = at.y();
  s.NotifyFormPaint();
}

void DiagramSelection::Wire(QPoint at) {
  WireTarget target;
  edit_(
      [this, at, &target] {
        Sim& s = sim_();
        target = WireTargetAt(s, at.x(), at.y(), BlockAtPoint(s, at.x(), at.y()));
        if (target.block > 0 && target.block != from_) {
          if (target.connection) {
            if (WireBlock(s, from_, target.block, *target.connection)) {
              status_(QStringLiteral("Block %1 is connection %2 of block %3")
                          .arg(Number(from_), QChar::fromLatin1(ConnectionLetter(*target.connection)),
                               Number(target.block)));
            }
          } else {
            status_(QStringLiteral("Block %1 has no free connection: drop on the end of one of its lines to "
                                   "re-wire it")
                        .arg(Number(target.block)));
          }
        }
        EndRelease(at);
      },
      [this, &target](const ModelChange&) {
        return WireName(from_, target.block, target.connection.value_or(Connection::A));
      });
}

void DiagramSelection::DeleteSelection() {
  const BlockIds present = Present();
  if (present.empty()) {
    status_(QStringLiteral("No blocks selected: Ctrl+click or Ctrl+drag selects blocks"));
    return;
  }
  BlockIds deleted;
  edit_(
      [this, &present, &deleted] {
        deleted = DeleteBlocks(sim_(), present);
        Clear();
      },
      [&deleted](const ModelChange&) { return DeleteBlocksName(deleted); });
}

void DiagramSelection::CopySelection() {
  const BlockIds present = Present();
  if (present.empty()) {
    status_(QStringLiteral("No blocks selected: Ctrl+click or Ctrl+drag selects blocks"));
    return;
  }
  clip_ = CopyBlocks(sim_(), present);
  status_(QStringLiteral("Copied %1 block(s): click where the copies should go, then press Ctrl+V")
              .arg(present.size()));
}

void DiagramSelection::Paste() {
  if (clip_.blocks.empty()) {
    status_(QStringLiteral("Nothing copied: select blocks and press Ctrl+C first"));
    return;
  }
  BlockIds pasted;
  edit_(
      [this, &pasted] {
        Sim& s = sim_();
        pasted = PasteBlocks(s, clip_, s.LastX, s.LastY);
        if (!pasted.empty()) Select(pasted);
      },
      [&pasted](const ModelChange&) { return PasteName(pasted); });
}

// The block a wire dropped here would go to, framed, with the letter of the connection
// it would take; framed in red when it has no free connection.
void DiagramSelection::PaintWireTarget(QPainter& p) const {
  const Sim& s = sim_();
  const WireTarget target = WireTargetAt(s, at_.x(), at_.y(), BlockAtPoint(s, at_.x(), at_.y()));
  if (target.block <= 0 || target.block == from_) return;
  const TBlock& b = s.block(target.block);
  const Extent size = LabelSize(b);
  p.setPen(QPen(target.connection ? kSelectionColour : QColor(Qt::red), 2));
  p.drawRect(QRect(b.XX - 2, b.YY - 2, size.width + 4, size.height + 4));
  if (target.connection) {
    p.drawText(QPoint(b.XX + size.width + 8, b.YY + 10), QString(QChar::fromLatin1(ConnectionLetter(*target.connection))));
  }
}

void DiagramSelection::Paint(QPainter& p) const {
  const Sim& s = sim_();
  const BlockIds present = Present();
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kSelectionColour, 2));
  for (const int32_t id : present) {
    const TBlock& b = s.block(id);
    const Extent size = LabelSize(b);
    p.drawRect(QRect(b.XX - 2, b.YY - 2, size.width + 4, size.height + 4));
  }
  if (!dragged_) return;
  p.setPen(QPen(kSelectionColour, 1, Qt::DashLine));
  switch (gesture_) {
    case Gesture::kWire: {
      const TBlock& b = s.block(from_);
      p.setPen(QPen(kSelectionColour, 2, Qt::DashLine));
      p.drawLine(QPoint(b.XX + 6, b.YY + 6), at_);
      PaintWireTarget(p);
      break;
    }
    case Gesture::kSelect:
      p.setBrush(QColor(0, 120, 215, 40));
      p.drawRect(QRect(start_, at_).normalized());
      break;
    case Gesture::kMoveSelection: {
      const TBlock& picked = s.block(from_);
      const QPoint by(at_.x() - picked.XX, at_.y() - picked.YY);
      p.setPen(QPen(Qt::black, 1, Qt::DashLine));
      for (const int32_t id : present) {
        const TBlock& b = s.block(id);
        const Extent size = LabelSize(b);
        p.drawRect(QRect(QPoint(b.XX, b.YY) + by, QSize(size.width, size.height)));
      }
      break;
    }
    case Gesture::kNone: break;
  }
}

}  // namespace trevolan

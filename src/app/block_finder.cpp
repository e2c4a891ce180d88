#include "app/block_finder.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

#include "app/paint_box.h"
#include "display/block_find.h"
#include "display/zoom.h"

namespace trevolan {

namespace {

constexpr int kEdgeGap = 8;
constexpr int kOutlineMs = 1500;  // how long the found block stays outlined

}  // namespace

BlockFinder::BlockFinder(QScrollArea* area, PaintBox* box, std::function<const Sim&()> sim)
    : QFrame(area), area_(area), box_(box), sim_(std::move(sim)) {
  setObjectName(QStringLiteral("FindBlockRow"));
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(6, 4, 4, 4);
  row->addWidget(new QLabel(QStringLiteral("Find block:"), this));
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QStringLiteral("FindBlockEdit"));
  edit_->setPlaceholderText(QStringLiteral("ID or name"));
  edit_->setMinimumWidth(140);
  row->addWidget(edit_);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("FindBlockStatus"));
  row->addWidget(status_);
  auto* close = new QToolButton(this);
  close->setText(QStringLiteral("×"));
  close->setToolTip(QStringLiteral("Close (Esc)"));
  row->addWidget(close);
  connect(close, &QToolButton::clicked, this, &QWidget::hide);
  connect(edit_, &QLineEdit::returnPressed, this, [this] { FindNext(); });
  area_->installEventFilter(this);
  hide();
}

void BlockFinder::AddItem(QMenu* menu) {
  QAction* a = menu->addAction(QStringLiteral("&Find Block..."));
  a->setObjectName(QStringLiteral("FindBlockItem"));
  a->setShortcut(QKeySequence::Find);
  a->setStatusTip(QStringLiteral("Finds a block by its ID or name and shows it in the middle of the diagram"));
  connect(a, &QAction::triggered, this, [this] { Open(); });
}

void BlockFinder::Open() {
  show();
  raise();
  Place();
  edit_->setFocus();
  edit_->selectAll();
}

void BlockFinder::Place() {
  adjustSize();
  const QWidget* view = area_->viewport();
  move(std::max(0, view->x() + view->width() - width() - kEdgeGap), view->y() + kEdgeGap);
}

bool BlockFinder::FindNext() {
  const QString text = edit_->text();
  const std::vector<int32_t> found = FindBlocks(sim_(), text.toStdString());
  if (text != last_text_) next_ = 0;
  last_text_ = text;
  if (found.empty()) {
    status_->setText(QStringLiteral("No block has the ID or name \"%1\"").arg(text.trimmed()));
    Place();
    return false;
  }
  const size_t index = static_cast<size_t>(next_) % found.size();
  next_ = static_cast<int>(index) + 1;
  const int32_t id = found[index];
  Centre(id);
  QString said = QStringLiteral("Block %1 %2").arg(id).arg(QString::fromStdString(sim_().block(id).Name));
  if (found.size() > 1) said += QStringLiteral(" (%1 of %2)").arg(index + 1).arg(found.size());
  status_->setText(said);
  Place();
  return true;
}

void BlockFinder::Centre(int32_t id) {
  const TBlock& b = sim_().block(id);
  const Extent label = LabelSize(b);
  const double zoom = box_->zoom();
  const QPointF middle = QPointF(b.XX + label.width / 2.0, b.YY + label.height / 2.0) * zoom;
  const QWidget* view = area_->viewport();
  area_->horizontalScrollBar()->setValue(qRound(middle.x() - view->width() / 2.0));
  area_->verticalScrollBar()->setValue(qRound(middle.y() - view->height() / 2.0));
  const QRect outline(b.XX, b.YY, label.width, label.height);
  box_->SetOutline(outline);
  QTimer::singleShot(kOutlineMs, box_, [box = box_] { box->SetOutline(QRect()); });
}

void BlockFinder::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    hide();
    return;
  }
  QFrame::keyPressEvent(event);
}

bool BlockFinder::eventFilter(QObject* watched, QEvent* event) {
  if (watched == area_ && event->type() == QEvent::Resize && isVisible()) Place();
  return QFrame::eventFilter(watched, event);
}

}  // namespace trevolan

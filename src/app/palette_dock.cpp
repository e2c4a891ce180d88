#include "app/palette_dock.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include <QAction>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QSettings>

#include "app/main_window.h"
#include "app/paint_box.h"
#include "display/diagram.h"
#include "display/qt_canvas.h"
#include "editing/new_block.h"
#include "model/catalogue.h"

namespace trevolan {

namespace {

constexpr int kPictureId = 101;
constexpr QSize kPictureSize(44, 16);  // a new block's label, "A101 ", with room around it
constexpr const char* kShownKey = "window/palette";

// The families of the palette, in the user guide's order; a type of the Create menu
// that none lists comes under "Other".
struct Family {
  const char* name;
  const char* letters;
};
constexpr Family kFamilies[] = {
    {"Continuous", "IJF"},
    {"Arithmetic and functions", "&X%ELSQGMZ"},
    {"Petri nets and material flow", "CABD"},
    {"Logic and switching", "HKRTW@"},
    {"Display and notes", "NV"},
};

// A menu caption as text: the accelerator marks taken out, "&&" kept as "&".
QString PlainCaption(const char* caption) {
  QString text = QString::fromUtf8(caption);
  text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  text.remove(QLatin1Char('&'));
  text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
  return text;
}

// The types the Create menu makes, by family.
std::vector<std::pair<QString, std::vector<const BlockTypeInfo*>>> TypesByFamily() {
  std::vector<std::pair<QString, std::vector<const BlockTypeInfo*>>> families;
  for (const Family& f : kFamilies) families.push_back({QString::fromLatin1(f.name), {}});
  families.push_back({QStringLiteral("Other"), {}});
  for (const BlockTypeInfo& info : BlockTypes()) {
    if (!info.menu_caption || info.type == BlockType::Pid) continue;  // "P not assigned" makes nothing
    size_t k = 0;
    while (k < std::size(kFamilies) && std::string_view(kFamilies[k].letters).find(TypeLetter(info.type)) == std::string_view::npos) ++k;
    families[k].second.push_back(&info);
  }
  std::erase_if(families, [](const auto& f) { return f.second.empty(); });
  return families;
}

}  // namespace

QImage PaletteDock::TypePicture(BlockType type, double scale) {
  static Sim* const s = new Sim();  // one model for every picture, never shown
  NewBlock(*s, type, kPictureId, 1, 1);
  TBlock& b = s->block(kPictureId);
  b.An = b.Bn = b.Cn = b.Dn = b.Pn = 0;  // the label alone, without the lines of its defaults
  QImage image((QSizeF(kPictureSize) * scale).toSize(), QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.scale(scale, scale);
    QtCanvas canvas(painter, scale != 1);
    DrawBlock(*s, canvas, kPictureId);
  }
  image.setDevicePixelRatio(scale);
  return image;
}

PaletteList::PaletteList(QWidget* parent) : QListWidget(parent) {
  setObjectName(QStringLiteral("PaletteList"));
  setDragEnabled(true);
  setDragDropMode(QAbstractItemView::DragOnly);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setIconSize(kPictureSize);
  const double scale = std::max(1.0, devicePixelRatioF());
  for (const auto& [family, types] : TypesByFamily()) {
    auto* heading = new QListWidgetItem(family, this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->setFlags(Qt::ItemIsEnabled);  // not selected, not dragged
    for (const BlockTypeInfo* info : types) {
      auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(PaletteDock::TypePicture(info->type, scale))),
                                       PlainCaption(info->menu_caption), this);
      item->setData(Qt::UserRole, QChar::fromLatin1(TypeLetter(info->type)));
      item->setToolTip(QString::fromUtf8(info->menu_hint) + QStringLiteral(" (drag onto the diagram)"));
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
    }
  }
  // Every caption whole, beside the scroll bar.
  setMinimumWidth(sizeHintForColumn(0) + 2 * frameWidth() + verticalScrollBar()->sizeHint().width());
}

QMimeData* PaletteList::mimeData(const QList<QListWidgetItem*>& items) const {
  if (items.isEmpty()) return nullptr;
  auto* data = new QMimeData;
  data->setData(QString::fromLatin1(kBlockTypeMime), items.front()->data(Qt::UserRole).toString().toLatin1());
  return data;
}

PaletteDock::PaletteDock(TForm1& window) : QDockWidget(QStringLiteral("Blocks"), &window), window_(window) {
  setObjectName(QStringLiteral("PaletteDock"));
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  setWidget(new PaletteList(this));
  // Hidden until asked for, so that the diagram keeps the window's width; once shown or
  // hidden from the View menu it stays so in the next sessions.
  QAction* toggle = toggleViewAction();
  toggle->setObjectName(QStringLiteral("PaletteItem"));
  toggle->setText(QStringLiteral("Block &Palette"));
  toggle->setStatusTip(QStringLiteral("Shows the block types; drag one onto the diagram to create it there"));
  setVisible(QSettings().value(QLatin1String(kShownKey), false).toBool());
  connect(toggle, &QAction::triggered, this, [](bool shown) { QSettings().setValue(QLatin1String(kShownKey), shown); });
  // Docked beside the diagram it takes width the control bar needs: the window's least
  // width grows by the palette's while it is docked and shown.
  const int least_width = window_.minimumWidth();
  const auto fit_window = [this, least_width] {
    const bool beside = isVisible() && !isFloating();
    window_.setMinimumWidth(least_width + (beside ? minimumSizeHint().width() : 0));
  };
  connect(this, &QDockWidget::visibilityChanged, this, fit_window);
  connect(this, &QDockWidget::topLevelChanged, this, fit_window);
  PaintBox* diagram = window_.diagram_box();
  diagram->setAcceptDrops(true);
  diagram->installEventFilter(this);
  diagram_ = diagram;
}

bool PaletteDock::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type t = event->type();
  if (watched != diagram_.data() || (t != QEvent::DragEnter && t != QEvent::DragMove && t != QEvent::Drop))
    return QDockWidget::eventFilter(watched, event);
  auto* drop = static_cast<QDropEvent*>(event);
  const QByteArray letter = drop->mimeData()->data(QString::fromLatin1(kBlockTypeMime));
  const BlockType type = letter.size() == 1 ? TypeOfLetter(letter[0]) : BlockType::Empty;
  const std::string item = std::string("Create") + TypeLetter(type) + "Item";
  auto* create = IsBlockType(type) ? window_.findChild<QAction*>(QString::fromStdString(item)) : nullptr;
  if (!create) return false;  // not a block type: a file dropped goes on to the window
  drop->acceptProposedAction();
  if (t == QEvent::Drop) {
    // As a click there and the Create menu's item for the type.
    const QPoint at = window_.diagram_box()->ToPicture(drop->position());
    window_.sim().LastX = at.x();
    window_.sim().LastY = at.y();
    create->trigger();
  }
  return true;
}

}  // namespace trevolan

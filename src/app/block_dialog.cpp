#include "app/block_dialog.h"

#include <algorithm>

#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>

#include "app/widgets.h"

namespace trevolan {

namespace {

constexpr int kHeight = 320;  // the design's 348 less the title bar

struct LabelPlace {
  LabelField TBlockFm::*field;
  int left, top;
  const char* name;
};

constexpr LabelPlace kLabels[] = {
    {&TBlockFm::Label1, 24, 16, "Label1"},    {&TBlockFm::Label2, 24, 48, "Label2"},
    {&TBlockFm::Label3, 152, 16, "Label3"},   {&TBlockFm::Label4, 40, 80, "Label4"},
    {&TBlockFm::Label5, 40, 112, "Label5"},   {&TBlockFm::Label16, 16, 144, "Label16"},
    {&TBlockFm::Label17, 16, 176, "Label17"}, {&TBlockFm::Label18, 104, 160, "Label18"},
    {&TBlockFm::Label14, 248, 32, "Label14"}, {&TBlockFm::Label15, 320, 32, "Label15"},
    {&TBlockFm::Label7, 160, 48, "Label7"},   {&TBlockFm::Label8, 160, 80, "Label8"},
    {&TBlockFm::Label9, 160, 112, "Label9"},  {&TBlockFm::Label10, 160, 144, "Label10"},
    {&TBlockFm::Label11, 160, 176, "Label11"}, {&TBlockFm::Label6, 20, 212, "Label6"},
    {&TBlockFm::Label12, 248, 208, "Label12"}, {&TBlockFm::Label13, 24, 232, "Label13"},
    {&TBlockFm::Label19, 456, 8, "Label19"},
};

}  // namespace

BlockDialog::BlockDialog(QWidget* parent, EventGuard& guard) : QDialog(parent), guard_(guard) {
  setObjectName(QStringLiteral("BlockFm"));
  setModal(true);
  // Each edit where the form's layout puts it.
  for (const BlockEdit& e : BlockFormLayout()) edits_.emplace_back(e.edit, PlacedEdit(this, e.left, e.top, e.width, e.name));
  for (size_t i = 0; i < std::size(kLabels); ++i) {
    const LabelPlace& l = kLabels[i];
    labels_[i] = {l.field, PlacedLabel(this, l.left, l.top, l.name)};
  }
  // X and Y stand out in bold.
  for (auto* bold : {findChild<QLabel*>(QStringLiteral("Label4")), findChild<QLabel*>(QStringLiteral("Label5"))}) {
    QFont f = bold->font();
    f.setBold(true);
    bold->setFont(f);
  }
  // The value's caption is drawn over a long rule text, as it stands on its right.
  findChild<QLabel*>(QStringLiteral("Label12"))->raise();

  DataGrid = new QTableWidget(this);
  DataGrid->setObjectName(QStringLiteral("DataGrid"));
  SetDesignPlace(DataGrid, QRect(456, 24, 193, 281));
  DataGrid->setColumnCount(2);
  DataGrid->verticalHeader()->setVisible(false);
  DataGrid->setColumnWidth(0, 86);
  DataGrid->setColumnWidth(1, 83);
  DataGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  DataGrid->setEditTriggers(QAbstractItemView::AllEditTriggers);

  DeleteBtn = PlacedButton(this, 24, 280, 121, "DeleteBtn");
  ApplyBtn = PlacedButton(this, 160, 280, 121, "ApplyBtn");
  CancelBtn = PlacedButton(this, 296, 280, 121, "CancelBtn");
  connect(ApplyBtn, &QPushButton::clicked, this, [this] { ApplyBtnClick(); });
  connect(DeleteBtn, &QPushButton::clicked, this, [this] { DeleteBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { reject(); });
  ApplyBtn->setDefault(true);
  FormToWidgets();
}

void BlockDialog::FormToWidgets() {
  setWindowTitle(Q(form_.Caption));
  for (auto& [field, edit] : edits_) Show(edit, form_.*field);
  for (auto& [field, label] : labels_) Show(label, form_.*field);
  Show(DeleteBtn, form_.DeleteBtn);
  Show(ApplyBtn, form_.ApplyBtn);
  Show(CancelBtn, form_.CancelBtn);
  DataGrid->setVisible(form_.DataGrid.visible);
  // Stretched as far as this type's captions need at the font in use.
  FitDesign(this, QSize(form_.Width, kHeight));
  // The value's caption ends where its field begins, however long the type's caption.
  QLabel* value_label = findChild<QLabel*>(QStringLiteral("Label12"));
  const QWidget* value_edit = findChild<QWidget*>(QStringLiteral("Edit12"));
  value_label->move(std::min(value_label->x(), value_edit->x() - 4 - value_label->width()), value_label->y());

  const StringGrid& g = form_.DataGrid;
  const int rows = std::max(g.RowCount() - 1, 0);
  DataGrid->clearContents();
  DataGrid->setRowCount(rows);
  QStringList header;
  for (int c = 0; c < 2; ++c) header << Q(g.Cell(c, 0));
  DataGrid->setHorizontalHeaderLabels(header);
  for (int r = 1; r <= rows; ++r) {
    for (int c = 0; c < 2; ++c) DataGrid->setItem(r - 1, c, new QTableWidgetItem(Q(g.Cell(c, r))));
  }
}

void BlockDialog::WidgetsToForm() {
  for (auto& [field, edit] : edits_) Take(edit, form_.*field);
  StringGrid& g = form_.DataGrid;
  for (int r = 1; r < g.RowCount() && r - 1 < DataGrid->rowCount(); ++r) {
    for (int c = 0; c < 2; ++c) {
      const QTableWidgetItem* item = DataGrid->item(r - 1, c);
      g.cells[static_cast<size_t>(r)][static_cast<size_t>(c)] = item ? S(item->text()) : std::string();
    }
  }
}

void BlockDialog::Execute(Sim& s, QRect block) {
  s_ = &s;
  form_.FormActivate(s);
  FormToWidgets();
  // Beside the block, so that the block stays in sight, and on the block's screen.
  const QScreen* screen = QGuiApplication::screenAt(block.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (screen) move(PlaceBeside(block, frameGeometry().size(), screen->availableGeometry()));
  exec();
}

void BlockDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier && on_help && s_) {
    on_help(s_->block(s_->PickedBlock).Type);
    return;
  }
  QDialog::keyPressEvent(event);
}

void BlockDialog::ApplyBtnClick() {
  guard_.Run(this, [this] {
    WidgetsToForm();
    form_.ApplyBtnClick(*s_);
  });
  if (form_.closed) accept();
}

void BlockDialog::DeleteBtnClick() {
  guard_.Run(this, [this] {
    WidgetsToForm();
    form_.DeleteBtnClick(*s_);
  });
  if (form_.closed) accept();
}

void BlockDialog::reject() {
  if (s_) guard_.Run(this, [this] { form_.CancelBtnClick(*s_); });
  QDialog::reject();
}

}  // namespace trevolan

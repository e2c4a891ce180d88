#include "app/number_dialog.h"

#include <QBoxLayout>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/widgets.h"

namespace trevolan {

namespace {

QLabel* NamedLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

QLineEdit* NamedEdit(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 9);
  return edit;
}

}  // namespace

// Laid out from the font's metrics: every caption shows whole at any font size, and the
// dialog takes the size its contents need.
NumberDialog::NumberDialog(QWidget* parent, EventGuard& guard) : QDialog(parent), guard_(guard) {
  setObjectName(QStringLiteral("NumberDatFm"));
  setModal(true);
  SetBackground(this, QColor(192, 192, 192));  // silver
  auto* scale = new QHBoxLayout;
  scale->setSpacing(3);
  for (size_t k = 0; k < form_.Panels.size(); ++k) {
    const ColourPanel& p = form_.Panels[k];
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel%1").arg(k + 1));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setFixedSize(p.width, p.height);
    SetBackground(panel, ToColor(p.colour));
    scale->addWidget(panel, 0, Qt::AlignTop);
  }
  scale->addStretch();
  QLineEdit* Edit1 = NamedEdit(this, "Edit1");
  QLineEdit* Edit2 = NamedEdit(this, "Edit2");
  QLineEdit* Edit3 = NamedEdit(this, "Edit3");
  QLineEdit* Edit4 = NamedEdit(this, "Edit4");
  QLabel* Label1 = NamedLabel(this, "Label1");
  QLabel* Label2 = NamedLabel(this, "Label2");
  QLabel* Label3 = NamedLabel(this, "Label3");
  QLabel* Label4 = NamedLabel(this, "Label4");
  QLabel* Label5 = NamedLabel(this, "Label5");
  QLabel* Label6 = NamedLabel(this, "Label6");
  QLabel* Label7 = NamedLabel(this, "Label7");
  QLabel* Label8 = NamedLabel(this, "Label8");
  edits_ = {{{&TNumberDatFm::Edit1, Edit1},
             {&TNumberDatFm::Edit2, Edit2},
             {&TNumberDatFm::Edit3, Edit3},
             {&TNumberDatFm::Edit4, Edit4}}};
  labels_ = {{{&TNumberDatFm::Label1, Label1},
              {&TNumberDatFm::Label2, Label2},
              {&TNumberDatFm::Label4, Label4},
              {&TNumberDatFm::Label3, Label3},
              {&TNumberDatFm::Label8, Label8},
              {&TNumberDatFm::Label5, Label5},
              {&TNumberDatFm::Label6, Label6},
              {&TNumberDatFm::Label7, Label7}}};
  ApplyBtn = new QPushButton(this);
  ApplyBtn->setObjectName(QStringLiteral("ApplyBtn"));
  CancelBtn = new QPushButton(this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  DefaultsBtn = new QPushButton(this);
  DefaultsBtn->setObjectName(QStringLiteral("DefaultsBtn"));
  for (QPushButton* b : {ApplyBtn, CancelBtn, DefaultsBtn}) b->setAutoDefault(false);

  // The span of the animation colours under the scale: minimum on the left, maximum on
  // the right.
  auto* span = new QHBoxLayout;
  span->addWidget(Edit1);
  span->addWidget(Label2);
  span->addStretch();
  span->addWidget(Label4);
  span->addStretch();
  span->addWidget(Label3);
  span->addWidget(Edit2);
  // The scaled numbers on the left, the buttons on the right.
  auto* scaled_row = new QHBoxLayout;
  scaled_row->addWidget(Label6);
  scaled_row->addWidget(Edit3);
  scaled_row->addSpacing(12);
  scaled_row->addWidget(Label7);
  scaled_row->addWidget(Edit4);
  scaled_row->addStretch();
  auto* scaled = new QVBoxLayout;
  scaled->addWidget(Label8);
  scaled->addWidget(Label5);
  scaled->addLayout(scaled_row);
  scaled->addStretch();
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(ApplyBtn);
  buttons->addWidget(CancelBtn);
  buttons->addWidget(DefaultsBtn);
  auto* lower = new QHBoxLayout;
  lower->addLayout(scaled, 1);
  lower->addSpacing(16);
  lower->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addWidget(Label1);
  layout->addLayout(scale);
  layout->addLayout(span);
  layout->addSpacing(8);
  layout->addLayout(lower);

  connect(ApplyBtn, &QPushButton::clicked, this, [this] {
    guard_.Run(this, [this] {
      WidgetsToForm();
      form_.ApplyBtnClick(*s_);
    });
  });
  connect(CancelBtn, &QPushButton::clicked, this, [this] {
    guard_.Run(this, [this] { form_.CancelBtnClick(); });
    reject();
  });
  connect(DefaultsBtn, &QPushButton::clicked, this, [this] {
    guard_.Run(this, [this] { form_.DefaultsBtnClick(*s_); });
    FormToWidgets();
  });
  FormToWidgets();
}

void NumberDialog::FormToWidgets() {
  setWindowTitle(Q(form_.Caption));
  for (auto& [field, edit] : edits_) Show(edit, form_.*field);
  for (auto& [field, label] : labels_) Show(label, form_.*field);
  Show(ApplyBtn, form_.ApplyBtn);
  Show(CancelBtn, form_.CancelBtn);
  Show(DefaultsBtn, form_.DefaultsBtn);
}

void NumberDialog::WidgetsToForm() {
  for (auto& [field, edit] : edits_) Take(edit, form_.*field);
}

void NumberDialog::Execute(Sim& s) {
  s_ = &s;
  form_.FormActivate(s);
  FormToWidgets();
  if (parentWidget()) move(parentWidget()->geometry().center() - rect().center());
  exec();
}

}  // namespace trevolan

#include "app/number_dialog.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/widgets.h"

namespace trevolan {

NumberDialog::NumberDialog(QWidget* parent, EventGuard& guard) : QDialog(parent), guard_(guard) {
  setObjectName(QStringLiteral("NumberDatFm"));
  setModal(true);
  SetBackground(this, QColor(192, 192, 192));  // silver
  for (size_t k = 0; k < form_.Panels.size(); ++k) {
    const ColourPanel& p = form_.Panels[k];
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel%1").arg(k + 1));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setGeometry(p.left, p.top, p.width, p.height);
    SetBackground(panel, ToColor(p.colour));
  }
  edits_ = {{{&TNumberDatFm::Edit1, PlacedEdit(this, 24, 64, 57, "Edit1")},
             {&TNumberDatFm::Edit2, PlacedEdit(this, 384, 64, 57, "Edit2")},
             {&TNumberDatFm::Edit3, PlacedEdit(this, 56, 152, 57, "Edit3")},
             {&TNumberDatFm::Edit4, PlacedEdit(this, 224, 152, 57, "Edit4")}}};
  labels_ = {{{&TNumberDatFm::Label1, PlacedLabel(this, 24, 8, "Label1")},
              {&TNumberDatFm::Label2, PlacedLabel(this, 84, 67, "Label2")},
              {&TNumberDatFm::Label4, PlacedLabel(this, 164, 67, "Label4")},
              {&TNumberDatFm::Label3, PlacedLabel(this, 336, 67, "Label3")},
              {&TNumberDatFm::Label8, PlacedLabel(this, 24, 116, "Label8")},
              {&TNumberDatFm::Label5, PlacedLabel(this, 24, 136, "Label5")},
              {&TNumberDatFm::Label6, PlacedLabel(this, 24, 155, "Label6")},
              {&TNumberDatFm::Label7, PlacedLabel(this, 160, 155, "Label7")}}};
  ApplyBtn = PlacedButton(this, 356, 96, 85, "ApplyBtn");
  CancelBtn = PlacedButton(this, 356, 128, 85, "CancelBtn");
  DefaultsBtn = PlacedButton(this, 356, 160, 85, "DefaultsBtn");
  setFixedSize(form_.Width, form_.Height);

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

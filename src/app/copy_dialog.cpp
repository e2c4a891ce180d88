#include "app/copy_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/widgets.h"

namespace trevolan {

CopyDialog::CopyDialog(QWidget* parent, EventGuard& guard)
    : QDialog(parent),
      guard_(guard),
      InstructLb(PlacedLabel(this, 16, 12, "InstructLb")),
      FromLb(PlacedLabel(this, 16, 44, "FromLb")),
      ToLb(PlacedLabel(this, 16, 76, "ToLb")),
      LocationLb(PlacedLabel(this, 16, 108, "LocationLb")),
      LinksLb(PlacedLabel(this, 16, 128, "LinksLb")),
      FromID(PlacedEdit(this, 160, 41, 57, "FromID")),
      ToID(PlacedEdit(this, 160, 73, 57, "ToID")),
      ApplyBtn(PlacedButton(this, 16, 156, 100, "ApplyBtn")),
      CancelBtn(PlacedButton(this, 132, 156, 100, "CancelBtn")) {
  setObjectName(QStringLiteral("CopyFm"));
  setModal(true);
  setFixedSize(400, 196);
  connect(ApplyBtn, &QPushButton::clicked, this, [this] {
    guard_.Run(this, [this] {
      Take(FromID, form_.FromID);
      Take(ToID, form_.ToID);
      form_.ApplyBtnClick(*s_);
    });
    if (form_.closed) accept();
  });
  connect(CancelBtn, &QPushButton::clicked, this, [this] {
    guard_.Run(this, [this] { form_.CancelBtnClick(*s_); });
    reject();
  });
  FormToWidgets();
}

void CopyDialog::FormToWidgets() {
  setWindowTitle(Q(form_.Caption));
  for (auto [label, field] : {std::pair{InstructLb, &form_.InstructLb}, std::pair{FromLb, &form_.FromLb},
                              std::pair{ToLb, &form_.ToLb}, std::pair{LocationLb, &form_.LocationLb},
                              std::pair{LinksLb, &form_.LinksLb}}) {
    Show(label, *field);
  }
  Show(FromID, form_.FromID);
  Show(ToID, form_.ToID);
  Show(ApplyBtn, form_.ApplyBtn);
  Show(CancelBtn, form_.CancelBtn);
}

void CopyDialog::Execute(Sim& s) {
  s_ = &s;
  form_.Open(s);
  FormToWidgets();
  exec();
}

}  // namespace trevolan

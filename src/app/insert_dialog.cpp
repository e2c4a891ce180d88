#include "app/insert_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/widgets.h"

namespace trevolan {

InsertDialog::InsertDialog(QWidget* parent, EventGuard& guard)
    : QDialog(parent),
      guard_(guard),
      InstructLb(PlacedLabel(this, 16, 12, "InstructLb")),
      TypeLb(PlacedLabel(this, 16, 44, "TypeLb")),
      SequenceLb(PlacedLabel(this, 16, 76, "SequenceLb")),
      LocationLb(PlacedLabel(this, 16, 108, "LocationLb")),
      TypEdit(PlacedEdit(this, 144, 41, 41, "TypEdit")),
      Edit2(PlacedEdit(this, 144, 73, 57, "Edit2")),
      ApplyBtn(PlacedButton(this, 16, 140, 100, "ApplyBtn")),
      CancelBtn(PlacedButton(this, 132, 140, 100, "CancelBtn")) {
  setObjectName(QStringLiteral("InsertFm"));
  setModal(true);
  setFixedSize(380, 180);
  connect(ApplyBtn, &QPushButton::clicked, this, [this] {
    guard_.Run(this, [this] {
      Take(TypEdit, form_.TypEdit);
      Take(Edit2, form_.Edit2);
      form_.ApplyBtnClick(*s_, [this] {
        accept();  // the insert dialog goes before the block dialog comes
        if (show_block_dialog_) show_block_dialog_();
      });
    });
    if (form_.closed) accept();
  });
  connect(CancelBtn, &QPushButton::clicked, this, [this] {
    guard_.Run(this, [this] { form_.CancelBtnClick(*s_); });
    reject();
  });
  FormToWidgets();
}

void InsertDialog::FormToWidgets() {
  setWindowTitle(Q(form_.Caption));
  for (auto [label, field] : {std::pair{InstructLb, &form_.InstructLb}, std::pair{TypeLb, &form_.TypeLb},
                              std::pair{SequenceLb, &form_.SequenceLb}, std::pair{LocationLb, &form_.LocationLb}}) {
    Show(label, *field);
  }
  Show(TypEdit, form_.TypEdit);
  Show(Edit2, form_.Edit2);
  Show(ApplyBtn, form_.ApplyBtn);
  Show(CancelBtn, form_.CancelBtn);
}

void InsertDialog::Execute(Sim& s, std::function<void()> show_block_dialog) {
  s_ = &s;
  show_block_dialog_ = std::move(show_block_dialog);
  form_.Open(s);
  FormToWidgets();
  exec();
  Take(TypEdit, form_.TypEdit);  // the type typed stays for the next opening, however it closed
}

}  // namespace trevolan

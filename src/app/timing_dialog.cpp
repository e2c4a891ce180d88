#include "app/timing_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/widgets.h"

namespace trevolan {

namespace {

struct Row {
  LabelField TTimingFm::*label;
  EditField TTimingFm::*edit;
  const char* label_name;
  const char* edit_name;
};

// The fields in the order they stand, one a row.
constexpr Row kRows[] = {
    {&TTimingFm::Label1, &TTimingFm::Edit1, "Label1", "Edit1"},
    {&TTimingFm::Label8, &TTimingFm::Edit8, "Label8", "Edit8"},
    {&TTimingFm::Label2, &TTimingFm::Edit2, "Label2", "Edit2"},
    {&TTimingFm::Label4, &TTimingFm::Edit4, "Label4", "Edit4"},
    {&TTimingFm::Label5, &TTimingFm::Edit5, "Label5", "Edit5"},
    {&TTimingFm::Label9, &TTimingFm::Edit9, "Label9", "Edit9"},
    {&TTimingFm::Label6, &TTimingFm::Edit6, "Label6", "Edit6"},
    {&TTimingFm::Label7, &TTimingFm::Edit7, "Label7", "Edit7"},
    {&TTimingFm::Label10, &TTimingFm::Edit10, "Label10", "Edit10"},
    {&TTimingFm::Label3, &TTimingFm::Edit3, "Label3", "Edit3"},
};

constexpr int kRowHeight = 28, kTop = 16, kLabelLeft = 16, kEditLeft = 144, kEditWidth = 121;

}  // namespace

TimingDialog::TimingDialog(QWidget* parent, EventGuard& guard) : QDialog(parent), guard_(guard) {
  setObjectName(QStringLiteral("TimingFm"));
  setModal(true);
  for (size_t i = 0; i < std::size(kRows); ++i) {
    const Row& r = kRows[i];
    const int top = kTop + static_cast<int>(i) * kRowHeight;
    labels_[i] = {r.label, PlacedLabel(this, kLabelLeft, top + 3, r.label_name)};
    edits_[i] = {r.edit, PlacedEdit(this, kEditLeft, top, kEditWidth, r.edit_name)};
  }
  const int buttons_left = kEditLeft + kEditWidth + 24;
  Apply = PlacedButton(this, buttons_left, kTop, 121, "Apply");
  Cancel = PlacedButton(this, buttons_left, kTop + 2 * kRowHeight, 121, "Cancel");
  DefaultsBtn = PlacedButton(this, buttons_left, kTop + 4 * kRowHeight, 121, "DefaultsBtn");
  setFixedSize(buttons_left + 121 + 16, kTop + 10 * kRowHeight + 8);

  connect(Apply, &QPushButton::clicked, this, [this] {
    guard_.Run(this, [this] {
      WidgetsToForm();
      form_.ApplyClick(*s_);
    });
    if (form_.closed) accept();
  });
  connect(Cancel, &QPushButton::clicked, this, [this] {
    guard_.Run(this, [this] { form_.CancelClick(*s_); });
    reject();
  });
  connect(DefaultsBtn, &QPushButton::clicked, this, [this] {
    guard_.Run(this, [this] { form_.DefaultsBtnClick(*s_); });
    FormToWidgets();
  });
  FormToWidgets();
}

void TimingDialog::FormToWidgets() {
  setWindowTitle(Q(form_.Caption));
  for (auto& [field, edit] : edits_) Show(edit, form_.*field);
  for (auto& [field, label] : labels_) Show(label, form_.*field);
  Show(Apply, form_.Apply);
  Show(Cancel, form_.Cancel);
  Show(DefaultsBtn, form_.DefaultsBtn);
}

void TimingDialog::WidgetsToForm() {
  for (auto& [field, edit] : edits_) Take(edit, form_.*field);
}

void TimingDialog::Execute(Sim& s) {
  s_ = &s;
  form_.FormActivate(s);
  FormToWidgets();
  exec();
}

}  // namespace trevolan

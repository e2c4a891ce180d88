#pragma once
#include <array>
#include <utility>

#include <QDialog>

#include "app/event_guard.h"
#include "display/number_form.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace trevolan {

// The Number Display Controls dialog (TNumberDatFm): the colour scale in 21 panels,
// the span of the animation colours and the origin and factor of the scaled numbers.
// It stays open after Apply and Restore Defaults; Cancel closes it.
class NumberDialog : public QDialog {
 public:
  NumberDialog(QWidget* parent, EventGuard& guard);
  void Execute(Sim& s);
  TNumberDatFm& form() { return form_; }

 private:
  void FormToWidgets();
  void WidgetsToForm();

  EventGuard& guard_;
  Sim* s_ = nullptr;
  TNumberDatFm form_;
  std::array<std::pair<EditField TNumberDatFm::*, QLineEdit*>, 4> edits_{};
  std::array<std::pair<LabelField TNumberDatFm::*, QLabel*>, 8> labels_{};
  QPushButton *ApplyBtn = nullptr, *CancelBtn = nullptr, *DefaultsBtn = nullptr;
};

}  // namespace trevolan

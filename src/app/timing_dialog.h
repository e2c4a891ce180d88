#pragma once
#include <array>
#include <utility>

#include <QDialog>

#include "app/event_guard.h"
#include "editing/timing_form.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace trevolan {

// The timing dialog (TTimingFm): the clock parameters, filled from the globals each
// time it opens; the form applies them.
class TimingDialog : public QDialog {
 public:
  TimingDialog(QWidget* parent, EventGuard& guard);
  void Execute(Sim& s);
  TTimingFm& form() { return form_; }

 private:
  void FormToWidgets();
  void WidgetsToForm();

  EventGuard& guard_;
  Sim* s_ = nullptr;
  TTimingFm form_;
  std::array<std::pair<EditField TTimingFm::*, QLineEdit*>, 10> edits_{};
  std::array<std::pair<LabelField TTimingFm::*, QLabel*>, 10> labels_{};
  QPushButton *Apply = nullptr, *Cancel = nullptr, *DefaultsBtn = nullptr;
};

}  // namespace trevolan

#pragma once
#include <functional>

#include <QDialog>

namespace trevolan {

// The about box (THelpFm), shown by the Help menu.
class THelpFm : public QDialog {
 public:
  // `show_guide` opens the user guide, from the box's User Guide button.
  THelpFm(QWidget* parent, std::function<void()> show_guide);
};

}  // namespace trevolan

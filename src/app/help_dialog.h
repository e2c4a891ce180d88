#pragma once
#include <QDialog>

namespace trevolan {

// The about box (THelpFm), shown by the Help menu.
class THelpFm : public QDialog {
 public:
  explicit THelpFm(QWidget* parent);
};

}  // namespace trevolan

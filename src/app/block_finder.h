#pragma once
#include <cstdint>
#include <functional>

#include <QFrame>

class QLabel;
class QLineEdit;
class QMenu;
class QScrollArea;

namespace trevolan {

struct Sim;
class PaintBox;

// Find Block (Ctrl+F): a find row over the diagram's top right corner. Enter centres
// the next block whose ID or name the text gives (FindBlocks) and outlines it for a
// moment; when none matches the row says so. Escape closes it.
class BlockFinder : public QFrame {
 public:
  BlockFinder(QScrollArea* area, PaintBox* box, std::function<const Sim&()> sim);

  // Adds the item "&Find Block..." (Ctrl+F) to the menu.
  void AddItem(QMenu* menu);
  // Shows the row with its text selected for typing.
  void Open();
  // Centres the next matching block; false, with the message, when none matches.
  bool FindNext();
  // Scrolls the diagram so that the block's label is in the middle of the view.
  void Centre(int32_t id);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Place();

  QScrollArea* area_;
  PaintBox* box_;
  std::function<const Sim&()> sim_;
  QLineEdit* edit_;
  QLabel* status_;
  QString last_text_;
  int next_ = 0;  // which of the matches of the same text comes next
};

}  // namespace trevolan

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "window_support.h"

namespace trevolan::testing {
namespace {

// Captions that do not show whole in a window: a label or button narrower than its
// text, one reaching beyond the window, or a label lying on another control.
std::vector<std::string> CutCaptions(QWidget* window) {
  std::vector<std::string> cut;
  const QList<QWidget*> children = window->findChildren<QWidget*>();
  const auto place = [window](QWidget* w) { return QRect(w->mapTo(window, QPoint(0, 0)), w->size()); };
  const auto is_control = [](QWidget* w) {
    return qobject_cast<QLabel*>(w) || qobject_cast<QPushButton*>(w) || qobject_cast<QLineEdit*>(w);
  };
  for (QWidget* w : children) {
    auto* label = qobject_cast<QLabel*>(w);
    auto* button = qobject_cast<QPushButton*>(w);
    if (!(label || button) || !w->isVisibleTo(window)) continue;
    const QString text = label ? label->text() : button->text();
    if (text.isEmpty()) continue;
    const std::string name = (w->objectName() + " \"" + text + "\"").toStdString();
    // A button's style may ask more than its caption needs; the caption is what counts.
    const int needed = label ? label->sizeHint().width() : button->fontMetrics().horizontalAdvance(text) + 8;
    if (needed > w->width()) cut.push_back(name + " is narrower than its text");
    if (!window->rect().contains(place(w))) cut.push_back(name + " reaches beyond the window");
    if (!label) continue;
    for (QWidget* other : children) {
      if (other == w || !is_control(other) || !other->isVisibleTo(window)) continue;
      if (place(w).intersects(place(other))) cut.push_back(name + " lies on " + other->objectName().toStdString());
    }
  }
  return cut;
}

// Every dialog and the control bar at a font scaled by `scale`.
class DialogLayout : public WindowTest, public ::testing::WithParamInterface<double> {
 protected:
  void SetUp() override {
    font_ = QApplication::font();
    QFont scaled = font_;
    scaled.setPointSizeF(font_.pointSizeF() * GetParam());
    QApplication::setFont(scaled);
  }
  void TearDown() override {
    WindowTest::TearDown();
    QApplication::setFont(font_);
  }

  // The captions cut in the modal dialog that `open` brings up.
  std::vector<std::string> CutInDialog(const std::function<void()>& open) {
    Modals modals;
    std::vector<std::string> cut;
    modals.Then([&](QWidget* dialog) {
      cut = CutCaptions(dialog);
      for (std::string& c : cut) c = dialog->objectName().toStdString() + ": " + c;
      qobject_cast<QDialog*>(dialog)->reject();
    });
    open();
    return cut;
  }

 private:
  QFont font_;
};

TEST_P(DialogLayout, EveryCaptionShowsWhole) {
  Open();
  std::vector<std::string> cut;
  const auto add = [&cut](const std::vector<std::string>& more) { cut.insert(cut.end(), more.begin(), more.end()); };
  add(CutInDialog([&] { Click("NumbersBtn", Qt::RightButton); }));
  add(CutInDialog([&] { QTest::mouseClick(Find<QWidget>("TickPnl"), Qt::LeftButton); }));
  add(CutInDialog([&] { Click("GraphBtn", Qt::RightButton); }));
  add(CutInDialog([&] { Click("Button1", Qt::RightButton); }));
  add(CutInDialog([&] { Item("InsertItem")->trigger(); }));
  add(CutInDialog([&] { Item("CopyItem")->trigger(); }));

  Click("Button1");
  auto* link = Find<QWidget>("User1");
  ASSERT_TRUE(link->isVisible());
  add(CutCaptions(link));
  Click("Button1");

  // The main window at its narrowest keeps every caption of the control bar.
  window->resize(window->minimumWidth(), window->height());
  QApplication::processEvents();
  add(CutCaptions(Find<QWidget>("SimControl")));
  EXPECT_LE(window->minimumWidth(), 1100);
  EXPECT_TRUE(cut.empty()) << ::testing::PrintToString(cut);
}

INSTANTIATE_TEST_SUITE_P(Fonts, DialogLayout, ::testing::Values(1.0, 1.25),
                         [](const auto& info) { return info.param == 1.0 ? "Default" : "Scaled125"; });

}  // namespace
}  // namespace trevolan::testing

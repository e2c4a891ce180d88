#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/main_window.h"
#include "link/memory_workbook.h"
#include "support/test_support.h"

namespace trevolan::testing {

// Acts on the modal dialogs and message boxes the window opens, one action each, in
// the order they come up. A modal widget that nobody expected is written down and
// closed after a while, so that a test fails instead of hanging.
class Modals {
 public:
  using Action = std::function<void(QWidget*)>;

  Modals() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }
  ~Modals() {
    timer_.stop();
    EXPECT_TRUE(actions_.empty()) << actions_.size() << " expected dialogs never came up";
    EXPECT_TRUE(unexpected.empty()) << "unexpected: " << unexpected.front();
  }

  // The next modal widget gets this action.
  void Then(Action action) { actions_.push_back(std::move(action)); }
  // The next modal widget is a message box: its text is recorded and it is closed.
  void ThenMessage() {
    Then([this](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr) << "expected a message box, got " << w->objectName().toStdString();
      messages.push_back(box->text().toStdString());
      box->accept();
    });
  }
  bool done() const { return actions_.empty(); }

  std::vector<std::string> messages;    // texts of the boxes closed by ThenMessage
  std::vector<std::string> unexpected;  // modal widgets that came up without an action

 private:
  void Poll() {
    QWidget* w = QApplication::activeModalWidget();
    if (!w) {
      idle_.invalidate();
      return;
    }
    if (pending_) return;
    if (!actions_.empty()) {
      // Run from a timer of its own: while this one's slot runs, it cannot fire again
      // for a box that the action brings up.
      pending_ = true;
      QTimer::singleShot(0, [this, w = QPointer<QWidget>(w)] {
        pending_ = false;
        if (!w || actions_.empty()) return;
        Action action = std::move(actions_.front());
        actions_.pop_front();
        action(w);
      });
      return;
    }
    if (!idle_.isValid()) idle_.start();
    if (idle_.elapsed() > 3000) {
      auto* box = qobject_cast<QMessageBox*>(w);
      unexpected.push_back(box ? "message box: " + box->text().toStdString() : w->windowTitle().toStdString());
      if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
      idle_.invalidate();
    }
  }

  QTimer timer_;
  std::deque<Action> actions_;
  QElapsedTimer idle_;
  bool pending_ = false;
};

// A main window made and shown for one test, on a workbook in memory.
class WindowTest : public ::testing::Test {
 protected:
  // The window, started with these command-line arguments.
  void Open(std::vector<std::string> args = {}) {
    TForm1::Options options;
    options.args = std::move(args);
    options.make_workbook = [this] {
      workbook = std::make_shared<MemoryWorkbook>();
      return workbook;
    };
    window = std::make_unique<TForm1>(std::move(options));
    window->resize(1100, 800);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->main_form().activated; }, 5000));
    QApplication::processEvents();
  }
  void TearDown() override {
    window.reset();
    QApplication::processEvents();
  }

  Sim& s() { return window->sim(); }
  // The caption as the title bar shows it: the mark of unsaved changes as "*".
  std::string Caption() const {
    QString title = window->windowTitle();
    title.replace(QStringLiteral("[*]"), window->isWindowModified() ? QStringLiteral("*") : QString());
    return title.toStdString();
  }

  template <typename T>
  T* Find(const char* name) {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  template <typename T>
  static T* Child(QWidget* parent, const char* name) {
    T* w = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QAction* Item(const char* name) {
    QAction* a = window->findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_NE(a, nullptr) << name;
    return a;
  }
  void Click(const char* button, Qt::MouseButton b = Qt::LeftButton) {
    QWidget* w = Find<QWidget>(button);
    if (w) QTest::mouseClick(w, b);
  }
  static void Type(QWidget* dialog, const char* edit, const std::string& text) {
    if (auto* e = Child<QLineEdit>(dialog, edit)) e->setText(QString::fromStdString(text));
  }
  static void Press(QWidget* dialog, const char* button) {
    if (auto* b = Child<QPushButton>(dialog, button)) QTest::mouseClick(b, Qt::LeftButton);
  }
  // In a file dialog, the full path typed as the file name, and OK.
  static void ChooseFile(QWidget* w, const std::string& path) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr) << "expected a file dialog";
    Type(dialog, "fileNameEdit", path);
    static_cast<QDialog*>(dialog)->accept();
  }
  static std::string Text(QWidget* dialog, const char* edit) {
    auto* e = Child<QLineEdit>(dialog, edit);
    return e ? e->text().toStdString() : std::string();
  }

  std::unique_ptr<TForm1> window;
  std::shared_ptr<MemoryWorkbook> workbook;
};

}  // namespace trevolan::testing

// The window's tests: one QApplication for the whole run, on the offscreen platform
// unless QT_QPA_PLATFORM names another.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "app/main_window.h"

namespace {

// The offscreen platform remarks on every window that it cannot do what only a real
// display does; those remarks say nothing about the tests.
void QuietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtDebugMsg || type == QtWarningMsg) {
    if (message.startsWith(QStringLiteral("This plugin does not support")) ||
        message.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR"))) {
      return;
    }
  }
  std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toLocal8Bit().constData());
}

}  // namespace

namespace trevolan::testing {
// A child process of a test, started with TREVOLAN_WINDOW_TEST_CHILD set (window
// tests that need a program to kill); returns its exit status.
int RunChild(const std::string& role);
}  // namespace trevolan::testing

int main(int argc, char** argv) {
  qInstallMessageHandler(QuietQtMessages);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The user's settings and state folders (recent files, recovery copies) lie in a
  // folder of the test run, never in the real home; a child process uses its parent's.
  std::unique_ptr<QTemporaryDir> home;
  const char* child = std::getenv("TREVOLAN_WINDOW_TEST_CHILD");
  if (!child) {
    home = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/trevolan-window-test-XXXXXX"));
    qputenv("XDG_DATA_HOME", (home->path() + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home->path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home->path() + QStringLiteral("/cache")).toLocal8Bit());
  }
  QApplication app(argc, argv);
  trevolan::PrepareApplication();
  if (child) return trevolan::testing::RunChild(child);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

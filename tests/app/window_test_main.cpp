// The window's tests: one QApplication for the whole run, on the offscreen platform
// unless QT_QPA_PLATFORM names another.
#include <gtest/gtest.h>

#include <cstdio>

#include <QApplication>

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

int main(int argc, char** argv) {
  qInstallMessageHandler(QuietQtMessages);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  trevolan::PrepareApplication();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

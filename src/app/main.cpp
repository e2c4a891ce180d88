// trevolan: the desktop window. With one argument, the model file it opens at start.
#include <QApplication>

#include "app/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  trevolan::PrepareApplication();
  trevolan::TForm1::Options options;
  // Qt has taken its own options (such as -platform) out of the list.
  const QStringList args = QApplication::arguments();
  for (qsizetype i = 1; i < args.size(); ++i) options.args.push_back(args[i].toStdString());
  trevolan::TForm1 window(std::move(options));
  // Where and how large the user left it, else maximized.
  if (window.RestoreWindowSettings()) {
    window.show();
  } else {
    window.showMaximized();
  }
  return QApplication::exec();
}

// trevolan: the desktop window. With one argument, the model file it opens at start.
#include <QApplication>
#include <cstring>
#include <iostream>
#include <string>

#include "app/data_folders.h"
#include "app/main_window.h"
#include "trevolan_version.h"

namespace {

void PrintUsage() {
  const std::string examples = trevolan::ExamplesFolder();
  std::cout << "usage: trevolan [MODEL] [Qt options]\n"
               "       trevolan --help\n"
               "       trevolan --version\n\n"
               "Opens the Trevolan window, a simulator of block diagrams that mix continuous models\n"
               "with Petri nets and discrete material flow. With MODEL, the window reads that model\n"
               "file when it first shows. Qt's own options apply, such as -platform offscreen.\n\n"
            << (examples.empty() ? "" : "Example models: " + examples + "\n")
            << "The batch runner without a window: trevolan-cli. The manual: man trevolan.\n";
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt starts, so that they need no display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintUsage();
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::cout << "trevolan " << trevolan::kVersion << '\n';
      return 0;
    }
  }
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

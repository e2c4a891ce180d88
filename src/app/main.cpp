// trevolan: the desktop window. With one argument, the model file it opens at start.
#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "app/data_folders.h"
#include "app/main_window.h"
#include "trevolan_commit.h"
#include "trevolan_version.h"

namespace {

void PrintUsage() {
  const std::string examples = trevolan::ExamplesFolder();
  const std::string guide = trevolan::GuideFile();
  std::cout << "usage: trevolan [MODEL] [Qt options]\n"
               "       trevolan --help\n"
               "       trevolan --version\n\n"
               "Opens the Trevolan window, a simulator of block diagrams that mix continuous models\n"
               "with Petri nets and discrete material flow. With MODEL, the window reads that model\n"
               "file when it first shows. Qt's own options apply, such as -platform offscreen.\n\n"
            << (examples.empty() ? "" : "Example models: " + examples + "\n")
            << (guide.empty() ? "" : "User guide: " + guide + " (F1 in the window)\n")
            << "The batch runner without a window: trevolan-cli. The manual: man trevolan.\n";
}

// Whether Qt can show a window: a display to connect to, or a platform chosen by the
// user (QT_QPA_PLATFORM, -platform). Without either, Qt would abort the program.
bool HasDisplay(int argc, char** argv) {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0 || std::strncmp(argv[i], "-platform=", 10) == 0) return true;
  }
  return false;
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
      std::cout << "trevolan " << trevolan::kVersion << " (" << trevolan::kCommit << ")\n";
      return 0;
    }
  }
  if (!HasDisplay(argc, argv)) {
    std::cerr << "trevolan: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                 "Run a model without a window with trevolan-cli, for example\n"
                 "  trevolan-cli run MODEL --tape tape.txt\n"
                 "or start the window on Qt's offscreen platform: QT_QPA_PLATFORM=offscreen trevolan MODEL\n";
    return 1;
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

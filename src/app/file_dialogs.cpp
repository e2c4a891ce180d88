#include "app/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include "app/data_folders.h"

namespace trevolan {

namespace {

std::optional<std::string> Choose(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
  return files.front().toStdString();
}

QString StartFolder() {
  const QString folder = QString::fromLatin1(kModelFolder);
  return QDir(folder).exists() ? folder : QDir::currentPath();
}

}  // namespace

std::optional<std::string> ChooseModelFile(QWidget* parent) {
  QFileDialog dialog(parent, QStringLiteral("Open"), StartFolder(),
                     QStringLiteral("Text Files (*.txt);;HTML files (*.htm);;Any File (*)"));
  dialog.setObjectName(QStringLiteral("OpenDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  // The examples that ship with the program are one click away from wherever it starts.
  if (const std::string examples = ExamplesFolder(); !examples.empty()) {
    dialog.setSidebarUrls(dialog.sidebarUrls() << QUrl::fromLocalFile(QString::fromStdString(examples)));
  }
  return Choose(dialog);
}

std::optional<std::string> ChooseSaveFile(QWidget* parent, const std::string& suggested) {
  QFileDialog dialog(parent, QStringLiteral("Save As"), QDir::currentPath(), QStringLiteral("Text (*.txt)"));
  if (!suggested.empty()) {
    const QFileInfo file(QString::fromStdString(suggested));
    dialog.setDirectory(file.absolutePath());
    dialog.selectFile(file.fileName());
  }
  dialog.setObjectName(QStringLiteral("SaveDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  return Choose(dialog);
}

std::optional<std::string> ChooseExportFile(QWidget* parent, ExportKind kind, const char* title) {
  const bool picture = kind == ExportKind::Picture;
  QFileDialog dialog(parent, QString::fromLatin1(title), QDir::currentPath(),
                     picture ? QStringLiteral("PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)")
                             : QStringLiteral("CSV (*.csv)"));
  dialog.setObjectName(QStringLiteral("ExportDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(picture ? QStringLiteral("png") : QStringLiteral("csv"));
  // A name typed without an extension gets the one of the type chosen.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
    const qsizetype star = filter.indexOf(QLatin1String("*."));
    if (star >= 0) dialog.setDefaultSuffix(filter.mid(star + 2, filter.indexOf(QLatin1Char(')'), star) - star - 2));
  });
  return Choose(dialog);
}

std::optional<std::string> ChooseWorkbookFile(QWidget* parent) {
  QFileDialog dialog(parent, QStringLiteral("Link XL File into Model"), QDir::currentPath(),
                     QStringLiteral("Excel (*.xls);;Calc workbooks (*.ods *.fods *.xlsx *.xls)"));
  dialog.setObjectName(QStringLiteral("OpenWorkBook"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  return Choose(dialog);
}

}  // namespace trevolan

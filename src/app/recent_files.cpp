#include "app/recent_files.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace trevolan {

namespace {

constexpr const char* kKey = "recentFiles";

}  // namespace

RecentFiles::RecentFiles(QMenu* menu, std::function<void(const QString&)> open)
    : QObject(menu), menu_(menu), open_(std::move(open)) {
  Rebuild();
}

QStringList RecentFiles::files() const { return QSettings().value(QLatin1String(kKey)).toStringList(); }

void RecentFiles::Store(const QStringList& files) {
  QSettings().setValue(QLatin1String(kKey), files);
  Rebuild();
}

void RecentFiles::Add(const QString& path) {
  const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  QStringList list = files();
  list.removeAll(absolute);
  list.prepend(absolute);
  while (list.size() > kMaxFiles) list.removeLast();
  Store(list);
}

void RecentFiles::Remove(const QString& path) {
  QStringList list = files();
  list.removeAll(path);
  Store(list);
}

void RecentFiles::Rebuild() {
  menu_->clear();
  const QStringList list = files();
  QStringList names;
  for (const QString& path : list) names << QFileInfo(path).fileName();
  for (int i = 0; i < list.size(); ++i) {
    const QString& path = list[i];
    // "&1 model.txt" with the whole path as the hint; && keeps an ampersand of the name.
    // Two models of one name are told apart by their folders.
    QString caption = QStringLiteral("&%1 %2").arg(i + 1).arg(names[i]);
    if (names.count(names[i]) > 1) caption += QStringLiteral(" (%1)").arg(QFileInfo(path).absolutePath());
    caption.replace(QLatin1Char('&'), QLatin1String("&&")).replace(0, 2, QStringLiteral("&"));
    QAction* a = menu_->addAction(caption);
    a->setObjectName(QStringLiteral("RecentItem%1").arg(i + 1));
    a->setToolTip(path);
    a->setStatusTip(path);
    connect(a, &QAction::triggered, this, [this, path] { Choose(path); });
  }
  menu_->setEnabled(!list.isEmpty());
}

void RecentFiles::Choose(const QString& path) {
  if (QFileInfo::exists(path)) {
    open_(path);
    return;
  }
  Remove(path);
  if (on_missing) on_missing(path);
}

}  // namespace trevolan
